// Parameters: the family functions the nodes call, and the parameter handles.
#include "host/parms.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <functional>
#include <stdexcept>

#include "host/journal.h"
#include "host/kept.h"
#include "host/nodes.h"
#include "host/parmtemplates.h"
#include "model/enums.h"
#include "model/errors.h"

namespace kalhost
{

// --- Shared look-ups -------------------------------------------------------------------

double currentFrame() { return theScene().clock().frame(); }

bool isInScene(std::shared_ptr<SceneNode> const &node) { return node && node->isInScene(); }

bool isOfEnumeration(KOM_EnumValue const &value, std::type_info const &enumeration)
{
    return std::string(value.enumType->name()) == enumeration.name();
}

std::string formatNumber(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.*g", 15, value);
    return text;
}

std::shared_ptr<SceneParmTuple> findTuple(SceneNode const &node, std::string const &name)
{
    for (auto const &tuple : node.parmTuples)
        if (tuple->info.name == name)
            return tuple;
    return nullptr;
}

// The tuple and component index of the parameter `name` of `node`; index -1 when none.
std::pair<std::shared_ptr<SceneParmTuple>, int> findParm(SceneNode const &node, std::string const &name)
{
    for (auto const &tuple : node.parmTuples)
        for (std::size_t i = 0; i < tuple->parms.size(); ++i)
            if (tuple->parms[i].name == name)
                return {tuple, static_cast<int>(i)};
    return {nullptr, -1};
}

bool holdsTuple(SceneNode const &node, std::shared_ptr<SceneParmTuple> const &tuple)
{
    for (auto const &held : node.parmTuples)
        if (held == tuple)
            return true;
    return false;
}

// --- Changing values -------------------------------------------------------------------

void requireUnlocked(SceneParm const &parm)
{
    if (parm.locked)
        throw KOM_PermissionError(("The parameter is locked: " + parm.name).c_str());
}

// A constant value replaces the expression; an animated parameter gets a keyframe at the
// current frame instead, unless the change is pending (shown now, keyed later).
void assignNumber(SceneParmTuple const &tuple, SceneParm &parm, double value, bool pending)
{
    if (tuple.info.dataType == KOM_StringParmData)
        throw KOM_TypeError("The parameter holds strings");
    requireUnlocked(parm);
    if (tuple.info.dataType == KOM_IntParmData)
        value = std::round(value);
    if (!parm.keyframes.empty() && !pending)
    {
        auto &keys = parm.keyframes;
        auto it = keys.begin();
        while (it != keys.end() && it->frame < currentFrame())
            ++it;
        if (it != keys.end() && it->frame == currentFrame())
        {
            it->data.value = value;
            it->data.expression.reset();
        }
        else
        {
            SceneKeyframe key{currentFrame()};
            key.data.time = (key.frame - 1.0) / theScene().clock().fps;
            key.data.value = value;
            keys.insert(it, key);
        }
        return;
    }
    parm.number = value;
    if (!pending)
        parm.expression.clear();
}

void assignText(SceneParmTuple const &tuple, SceneParm &parm, std::string const &text, bool pending)
{
    if (tuple.info.dataType != KOM_StringParmData)
        throw KOM_TypeError("The parameter holds numbers");
    requireUnlocked(parm);
    parm.text = text;
    if (!pending)
    {
        parm.expression.clear();
        parm.keyframes.clear();
    }
}

void revert(SceneParmTuple const &tuple, SceneParm &parm, std::size_t index)
{
    requireUnlocked(parm);
    parm.number = index < tuple.info.defaults.size() ? tuple.info.defaults[index] : 0.0;
    parm.text = index < tuple.info.textDefaults.size() ? tuple.info.textDefaults[index] : tuple.info.textDefault;
    parm.expression.clear();
    parm.expressionLanguage = nullptr;
    parm.keyframes.clear();
}

std::shared_ptr<SceneParmTuple> makeTuple(ParmTupleInfo const &info, bool spare)
{
    auto tuple = std::make_shared<SceneParmTuple>();
    tuple->info = info;
    tuple->spare = spare;
    for (std::size_t i = 0; i < info.componentNames.size(); ++i)
    {
        SceneParm parm;
        parm.name = info.componentNames[i];
        tuple->parms.push_back(parm);
        revert(*tuple, tuple->parms.back(), i);
    }
    return tuple;
}

// --- Handles ---------------------------------------------------------------------------

ParmHandle::ParmHandle(std::shared_ptr<SceneNode> const &node, std::shared_ptr<SceneParmTuple> const &tuple,
                   int index)
    : myNode(node), myTuple(tuple), myIndex(index)
{
}

Located ParmHandle::locate() const
{
    auto node = myNode.lock();
    auto tuple = myTuple.lock();
    if (!node || !tuple || !isInScene(node) || !holdsTuple(*node, tuple))
        throw KOM_ObjectWasDeleted();
    return {node, tuple, tuple->parms[myIndex]};
}

std::string ParmHandle::fullPath() const
{
    Located at = locate();
    std::string const nodePath = at.node->path();
    return (nodePath == "/" ? "" : nodePath) + "/" + at.parm.name;
}

std::string ParmHandle::path()
{
    hostQuery("Parm.path");
    return fullPath();
}

std::string ParmHandle::__repr__()
{
    hostOperation("Parm.__repr__");
    Located at = locate();
    return "<kal.Parm " + at.parm.name + " in " + at.node->path() + ">";
}

KOM_Node *ParmHandle::node()
{
    hostQuery("Parm.node");
    return NodeHandle::handleFor(locate().node);
}

KOM_ParmTuple *ParmHandle::tuple()
{
    hostQuery("Parm.tuple");
    Located at = locate();
    return ownedTupleHandle(at.node, at.tuple);
}

KOM_ParmTemplate *ParmHandle::parmTemplate()
{
    hostOperation("Parm.parmTemplate");
    return newParmTemplate(locate().tuple->info);
}

std::string ParmHandle::name()
{
    hostQuery("Parm.name");
    return locate().parm.name;
}

std::string ParmHandle::description()
{
    hostOperation("Parm.description");
    return locate().tuple->info.label;
}

int ParmHandle::componentIndex()
{
    hostOperation("Parm.componentIndex");
    locate();
    return myIndex;
}

std::vector<std::string> ParmHandle::menuItems()
{
    hostOperation("Parm.menuItems");
    Located at = locate();
    if (at.tuple->info.menuItems.empty())
        throw KOM_OperationFailed("The parameter has no menu");
    return at.tuple->info.menuItems;
}

void ParmHandle::pressButton()
{
    hostOperation("Parm.pressButton");
    Located at = locate();
    requireUnlocked(at.parm);
    throw KOM_OperationFailed("The parameter is not a button");
}

void ParmHandle::set(float value)
{
    hostOperation("Parm.set", value);
    Located at = locate();
    assignNumber(*at.tuple, at.parm, value, false);
}

void ParmHandle::setPending(float value)
{
    hostOperation("Parm.setPending", value);
    Located at = locate();
    assignNumber(*at.tuple, at.parm, value, true);
}

void ParmHandle::set(int value)
{
    hostOperation("Parm.set", value);
    Located at = locate();
    assignNumber(*at.tuple, at.parm, value, false);
}

void ParmHandle::setPending(int value)
{
    hostOperation("Parm.setPending", value);
    Located at = locate();
    assignNumber(*at.tuple, at.parm, value, true);
}

void ParmHandle::set(char const *value)
{
    hostOperation("Parm.set", value);
    Located at = locate();
    assignText(*at.tuple, at.parm, value ? value : "", false);
}

void ParmHandle::setPending(char const *value)
{
    hostOperation("Parm.setPending", value);
    Located at = locate();
    assignText(*at.tuple, at.parm, value ? value : "", true);
}

void ParmHandle::set(KOM_Parm &parm, KOM_EnumValue *language)
{
    hostOperation("Parm.set", parm, language);
    Located at = locate();
    auto source = dynamic_cast<ParmHandle *>(&parm);
    if (!source)
        throw KOM_TypeError("The parameter belongs to another host");
    std::string const sourcePath = source->fullPath();
    requireUnlocked(at.parm);
    assignExpression(at, "ch(\"" + sourcePath + "\")", language);
}

void ParmHandle::revertToDefaults()
{
    hostOperation("Parm.revertToDefaults");
    Located at = locate();
    revert(*at.tuple, at.parm, myIndex);
}

void ParmHandle::revertToAndRestorePermanentDefaults()
{
    hostOperation("Parm.revertToAndRestorePermanentDefaults");
    Located at = locate();
    revert(*at.tuple, at.parm, myIndex);
}

void ParmHandle::setExpression(char const *expression, KOM_EnumValue *language)
{
    hostOperation("Parm.setExpression", expression, language);
    Located at = locate();
    requireUnlocked(at.parm);
    if (!expression || !*expression)
        throw KOM_TypeError("An expression cannot be empty");
    assignExpression(at, expression, language);
}

std::string ParmHandle::expression()
{
    hostOperation("Parm.expression");
    return requireExpression().expression;
}

KOM_EnumValue *ParmHandle::expressionLanguage()
{
    hostOperation("Parm.expressionLanguage");
    return const_cast<KOM_EnumValue *>(requireExpression().expressionLanguage);
}

// A keyframe without a time is set at the current frame. Numeric parameters take numeric
// keyframes with a value or an expression, string parameters string keyframes.
void ParmHandle::setKeyframe(KOM_BaseKeyframe &keyframe)
{
    hostOperation("Parm.setKeyframe", keyframe);
    Located at = locate();
    requireUnlocked(at.parm);
    KeyframeData const &data = keyframeData(keyframe);
    if (at.tuple->info.dataType == KOM_StringParmData)
    {
        if (!dynamic_cast<KOM_StringKeyframe *>(&keyframe) || !data.expression)
            throw KOM_TypeError("A string parameter takes string keyframes with an expression");
    }
    else if (!dynamic_cast<KOM_Keyframe *>(&keyframe) || !(data.value || data.expression))
        throw KOM_TypeError("A numeric parameter takes keyframes with a value or an expression");
    SceneKeyframe key{data.time ? *data.time * theScene().clock().fps + 1.0 : currentFrame(), data};
    if (!std::isfinite(key.frame))
        throw KOM_TypeError("The keyframe's time is not a finite number");
    auto &keys = at.parm.keyframes;
    auto it = keys.begin();
    while (it != keys.end() && it->frame < key.frame)
        ++it;
    if (it != keys.end() && it->frame == key.frame)
        *it = key;
    else
        keys.insert(it, key);
    at.parm.expression.clear();
}

float ParmHandle::evalAsFloat()
{
    hostQuery("Parm.evalAsFloat");
    return static_cast<float>(evalNumber(locate(), currentFrame()));
}

float ParmHandle::evalAsFloatAtFrame(float frame)
{
    hostQuery("Parm.evalAsFloatAtFrame", frame);
    return static_cast<float>(evalNumber(locate(), frame));
}

int ParmHandle::evalAsInt()
{
    hostQuery("Parm.evalAsInt");
    return static_cast<int>(std::lround(evalNumber(locate(), currentFrame())));
}

int ParmHandle::evalAsIntAtFrame(float frame)
{
    hostQuery("Parm.evalAsIntAtFrame", frame);
    return static_cast<int>(std::lround(evalNumber(locate(), frame)));
}

std::string ParmHandle::evalAsString()
{
    hostQuery("Parm.evalAsString");
    return evalText(locate(), currentFrame());
}

std::string ParmHandle::evalAsStringAtFrame(float frame)
{
    hostQuery("Parm.evalAsStringAtFrame", frame);
    return evalText(locate(), frame);
}

std::string ParmHandle::unexpandedString()
{
    hostOperation("Parm.unexpandedString");
    Located at = locate();
    if (at.tuple->info.dataType != KOM_StringParmData)
        throw KOM_OperationFailed("The parameter holds numbers");
    return at.parm.expression.empty() ? at.parm.text : at.parm.expression;
}

void ParmHandle::deleteAllKeyframes()
{
    hostOperation("Parm.deleteAllKeyframes");
    Located at = locate();
    requireUnlocked(at.parm);
    if (!at.parm.keyframes.empty() && at.tuple->info.dataType != KOM_StringParmData)
        at.parm.number = evalNumber(at, currentFrame());
    at.parm.keyframes.clear();
}

KOM_Parm *ParmHandle::getReferencedParm()
{
    hostOperation("Parm.getReferencedParm");
    Located at = locate();
    std::string const &expression = at.parm.expression;
    std::string const prefix = "ch(\"", suffix = "\")";
    if (expression.size() > prefix.size() + suffix.size() && expression.compare(0, prefix.size(), prefix) == 0
        && expression.compare(expression.size() - suffix.size(), suffix.size(), suffix) == 0)
    {
        std::string const path = expression.substr(prefix.size(), expression.size() - prefix.size() - suffix.size());
        std::size_t const slash = path.rfind('/');
        auto const node = theScene().find(slash == std::string::npos ? "." : path.substr(0, slash), at.node);
        if (node && findParm(*node, path.substr(slash + 1)).first)
            return keptParmHandle(node->path(), path.substr(slash + 1));
    }
    return keptParmHandle(at.node->path(), at.parm.name);
}

bool ParmHandle::isLocked()
{
    hostOperation("Parm.isLocked");
    return locate().parm.locked;
}

void ParmHandle::lock(bool on)
{
    hostOperation("Parm.lock", on);
    locate().parm.locked = on;
}

bool ParmHandle::isAutoscoped()
{
    hostOperation("Parm.isAutoscoped");
    return locate().parm.autoscoped;
}

void ParmHandle::setAutoscope(bool on)
{
    hostOperation("Parm.setAutoscope", on);
    locate().parm.autoscoped = on;
}

std::string ParmHandle::alias()
{
    hostOperation("Parm.alias");
    return locate().parm.alias;
}

void ParmHandle::setAlias(char const *alias_name)
{
    hostOperation("Parm.setAlias", alias_name);
    Located at = locate();
    std::string const alias = alias_name ? alias_name : "";
    for (char c : alias)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_')
            throw KOM_OperationFailed(("Invalid alias: " + alias).c_str());
    if (!alias.empty())
        for (auto const &tuple : at.node->parmTuples)
            for (auto const &other : tuple->parms)
                if (&other != &at.parm && (other.alias == alias || other.name == alias))
                    throw KOM_OperationFailed(("Name already in use: " + alias).c_str());
    at.parm.alias = alias;
}

bool ParmHandle::isSpare()
{
    hostOperation("Parm.isSpare");
    return locate().tuple->spare;
}

bool ParmHandle::hasExpression()
{
    hostOperation("Parm.hasExpression");
    return !locate().parm.expression.empty();
}

int ParmHandle::dataTypeCode()
{
    hostQuery("Parm.dataTypeCode");
    return locate().tuple->info.dataType;
}

SceneParm &ParmHandle::requireExpression() const
{
    SceneParm &parm = locate().parm;
    if (parm.expression.empty())
        throw KOM_OperationFailed("The parameter has no expression");
    return parm;
}

void ParmHandle::assignExpression(Located const &at, std::string const &expression, KOM_EnumValue *language)
{
    if (language && !isOfEnumeration(*language, typeid(KOM_exprLanguage)))
        throw KOM_TypeError("Expected an expression language");
    at.parm.expression = expression;
    at.parm.expressionLanguage = language ? language : &KOM_exprLanguage::Kscript;
}

KeptParmHandle::KeptParmHandle(std::string nodePath, std::string parmName)
    : ParmHandle(nullptr, nullptr, 0), myNodePath(std::move(nodePath)), myParmName(std::move(parmName))
{
}

Located KeptParmHandle::locate() const
{
    auto node = theScene().find(myNodePath, theScene().root());
    auto [tuple, index] = node ? findParm(*node, myParmName)
                               : std::pair<std::shared_ptr<SceneParmTuple>, int>{nullptr, -1};
    if (!tuple)
        throw KOM_ObjectWasDeleted();
    return {node, tuple, tuple->parms[index]};
}

int KeptParmHandle::componentIndex()
{
    hostOperation("Parm.componentIndex");
    Located at = locate();
    return static_cast<int>(&at.parm - at.tuple->parms.data());
}

std::vector<KOM_ElemPtr<KOM_BaseKeyframe>> ParmHandle::keyframes()
{
    hostOperation("Parm.keyframes");
    Located at = locate();
    std::vector<KOM_ElemPtr<KOM_BaseKeyframe>> keys;
    for (auto const &key : at.parm.keyframes)
    {
        KeyframeData data = key.data;
        data.time = (key.frame - 1.0) / theScene().clock().fps;
        keys.emplace_back(newKeyframeOf(data, at.tuple->info.dataType == KOM_StringParmData));
    }
    return keys;
}

KOM_Parm *keptParmHandle(std::string const &nodePath, std::string const &parmName)
{
    static KeptHandles<std::string, KOM_Parm> kept;
    return kept(nodePath + "\n" + parmName, [&] { return new KeptParmHandle(nodePath, parmName); });
}

KOM_Parm *ownedParmHandle(std::shared_ptr<SceneNode> const &node,
                          std::shared_ptr<SceneParmTuple> const &tuple, int index)
{
    return new Counted<ParmHandle>(node, tuple, index);
}

namespace
{

void collectAliases(std::shared_ptr<SceneNode> const &node,
                    std::map<KOM_ElemPtr<KOM_Parm>, std::string> &aliases)
{
    for (auto const &tuple : node->parmTuples)
        for (std::size_t i = 0; i < tuple->parms.size(); ++i)
            if (!tuple->parms[i].alias.empty())
                aliases[ownedParmHandle(node, tuple, static_cast<int>(i))] = tuple->parms[i].alias;
}

} // namespace


void createParms(SceneNode &node)
{
    node.parmTuples.clear();
    for (auto const &info : node.type->parms)
        node.parmTuples.push_back(makeTuple(info, false));
}

void copyParms(SceneNode const &from, SceneNode &to)
{
    to.parmTuples.clear();
    for (auto const &tuple : from.parmTuples)
        to.parmTuples.push_back(std::make_shared<SceneParmTuple>(*tuple));
}

std::shared_ptr<SceneParmTuple> findParmTuple(SceneNode const &node, std::string const &name)
{
    return findTuple(node, name);
}

double evalParmNumber(std::shared_ptr<SceneNode> const &node, std::shared_ptr<SceneParmTuple> const &tuple,
                      std::size_t component)
{
    return evalNumber({node, tuple, tuple->parms.at(component)}, currentFrame());
}

KOM_Parm *parmHandle(std::shared_ptr<SceneNode> const &node, std::string const &name)
{
    auto const [tuple, index] = findParm(*node, name);
    return tuple ? ownedParmHandle(node, tuple, index) : nullptr;
}

KOM_ParmTuple *parmTupleHandle(std::shared_ptr<SceneNode> const &node, std::string const &name)
{
    auto tuple = findTuple(*node, name);
    return tuple ? ownedTupleHandle(node, tuple) : nullptr;
}

std::vector<KOM_ElemPtr<KOM_Parm>> parmHandles(std::shared_ptr<SceneNode> const &node)
{
    std::vector<KOM_ElemPtr<KOM_Parm>> parms;
    for (auto const &tuple : node->parmTuples)
        for (std::size_t i = 0; i < tuple->parms.size(); ++i)
            parms.emplace_back(ownedParmHandle(node, tuple, static_cast<int>(i)));
    return parms;
}

std::vector<KOM_ElemPtr<KOM_ParmTuple>> parmTupleHandles(std::shared_ptr<SceneNode> const &node)
{
    std::vector<KOM_ElemPtr<KOM_ParmTuple>> tuples;
    for (auto const &tuple : node->parmTuples)
        tuples.emplace_back(ownedTupleHandle(node, tuple));
    return tuples;
}

std::vector<KOM_ElemPtr<KOM_Parm>> spareParmHandles(std::shared_ptr<SceneNode> const &node)
{
    std::vector<KOM_ElemPtr<KOM_Parm>> parms;
    for (auto const &tuple : node->parmTuples)
        if (tuple->spare)
            for (std::size_t i = 0; i < tuple->parms.size(); ++i)
                parms.emplace_back(ownedParmHandle(node, tuple, static_cast<int>(i)));
    return parms;
}

KOM_ParmTuple *addSpareParmTuple(std::shared_ptr<SceneNode> const &node, KOM_ParmTemplate &parmTemplate)
{
    auto source = dynamic_cast<HostParmTemplate *>(&parmTemplate);
    if (!source)
        throw KOM_OperationFailed("The parameter template belongs to another host");
    ParmTupleInfo const info = source->tupleInfo();
    if (info.name.empty() || info.componentNames.empty())
        throw KOM_OperationFailed("The parameter template makes no parameters");
    if (findTuple(*node, info.name))
        throw KOM_OperationFailed(("Name already in use: " + info.name).c_str());
    for (auto const &component : info.componentNames)
        if (findParm(*node, component).first)
            throw KOM_OperationFailed(("Name already in use: " + component).c_str());
    node->parmTuples.push_back(makeTuple(info, true));
    return keptTupleHandle(node->path(), info.name);
}

void removeSpareParmTuple(std::shared_ptr<SceneNode> const &node, KOM_ParmTuple &parmTuple)
{
    auto handle = dynamic_cast<ParmTupleHandle *>(&parmTuple);
    if (!handle)
        throw KOM_OperationFailed("The parameter tuple belongs to another host");
    LocatedTuple const at = handle->locate();
    if (at.node != node || !at.tuple->spare)
        throw KOM_OperationFailed("Not a spare parameter tuple of this node");
    auto &tuples = node->parmTuples;
    for (auto it = tuples.begin(); it != tuples.end(); ++it)
        if (*it == at.tuple)
        {
            tuples.erase(it);
            return;
        }
}

std::map<KOM_ElemPtr<KOM_Parm>, std::string> parmAliases(std::shared_ptr<SceneNode> const &node, bool recurse)
{
    std::map<KOM_ElemPtr<KOM_Parm>, std::string> aliases;
    if (!recurse)
        collectAliases(node, aliases);
    else
        forEachWithin(node, [&](std::shared_ptr<SceneNode> const &within) {
            collectAliases(within, aliases);
        });
    return aliases;
}

void clearParmAliases(std::shared_ptr<SceneNode> const &node)
{
    for (auto const &tuple : node->parmTuples)
        for (auto &parm : tuple->parms)
            parm.alias.clear();
}

JournalValue JournalFormat<KOM_Parm>::format(KOM_Parm const &parm)
{
    auto handle = dynamic_cast<ParmHandle const *>(&parm);
    return journalHandle([handle] { return handle ? handle->fullPath() : "<parameter>"; },
                         "<deleted parameter>");
}


} // namespace kalhost
