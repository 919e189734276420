#include "host/parms.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <functional>
#include <stdexcept>

#include "host/journal.h"
#include "host/nodes.h"
#include "model/enums.h"
#include "model/errors.h"

namespace kalhost
{

namespace
{

// Evaluation without a frame uses the scene's clock.
double currentFrame() { return theScene().clock().frame(); }

// Expressions may refer to each other through ch(); deeper chains are taken to be cycles.
constexpr int MaxReferenceDepth = 64;

bool isInScene(std::shared_ptr<SceneNode> const &node)
{
    auto current = node;
    while (current && current != theScene().root())
        current = current->parent.lock();
    return current != nullptr;
}

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

// A located parameter: the node and tuple are alive and in the scene.
struct Located
{
    std::shared_ptr<SceneNode> node;
    std::shared_ptr<SceneParmTuple> tuple;
    SceneParm &parm;
};

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

// --- Evaluation ----------------------------------------------------------------------

struct Value
{
    bool isText = false;
    double number = 0.0;
    std::string text;
};

Value evalParmValue(std::shared_ptr<SceneNode> const &node, SceneParmTuple const &tuple,
                    SceneParm const &parm, double frame, int depth);

// The tiny expression language: numbers, + - * /, parentheses, $F (the frame) and
// ch("path") (another parameter, relative to the expression's node).
class ExpressionEvaluator
{
public:
    ExpressionEvaluator(std::string const &text, std::shared_ptr<SceneNode> const &node, double frame,
                        int depth)
        : myText(text), myNode(node), myFrame(frame), myDepth(depth)
    {
    }

    Value evaluate()
    {
        Value result = sum();
        skipSpace();
        if (myPos != myText.size())
            fail("unexpected '" + myText.substr(myPos, 1) + "'");
        return result;
    }

private:
    [[noreturn]] void fail(std::string const &why) const
    {
        throw KOM_OperationFailed(("Error in expression \"" + myText + "\": " + why).c_str());
    }

    void skipSpace()
    {
        while (myPos < myText.size() && std::isspace(static_cast<unsigned char>(myText[myPos])))
            ++myPos;
    }

    bool accept(char c)
    {
        skipSpace();
        if (myPos < myText.size() && myText[myPos] == c)
        {
            ++myPos;
            return true;
        }
        return false;
    }

    double numberOf(Value const &value) const
    {
        if (value.isText)
            fail("a string takes no part in arithmetic");
        return value.number;
    }

    Value sum()
    {
        Value left = product();
        for (;;)
        {
            if (accept('+'))
                left = {false, numberOf(left) + numberOf(product())};
            else if (accept('-'))
                left = {false, numberOf(left) - numberOf(product())};
            else
                return left;
        }
    }

    Value product()
    {
        Value left = unary();
        for (;;)
        {
            if (accept('*'))
                left = {false, numberOf(left) * numberOf(unary())};
            else if (accept('/'))
            {
                double const divisor = numberOf(unary());
                if (divisor == 0.0)
                    fail("division by zero");
                left = {false, numberOf(left) / divisor};
            }
            else
                return left;
        }
    }

    Value unary()
    {
        if (accept('-'))
            return {false, -numberOf(unary())};
        if (accept('+'))
            return {false, numberOf(unary())};
        return primary();
    }

    Value primary()
    {
        skipSpace();
        if (accept('('))
        {
            Value inner = sum();
            if (!accept(')'))
                fail("missing ')'");
            return inner;
        }
        if (myText.compare(myPos, 2, "$F") == 0)
        {
            myPos += 2;
            return {false, myFrame};
        }
        if (myText.compare(myPos, 2, "ch") == 0)
        {
            myPos += 2;
            return reference();
        }
        char const *start = myText.c_str() + myPos;
        char *end = nullptr;
        double const number = std::strtod(start, &end);
        if (end == start || !(std::isdigit(static_cast<unsigned char>(*start)) || *start == '.'))
            fail(myPos < myText.size() ? "unexpected '" + myText.substr(myPos, 1) + "'"
                                       : "unexpected end");
        myPos += end - start;
        return {false, number};
    }

    Value reference()
    {
        if (!accept('(') || !accept('"'))
            fail("ch takes a quoted path");
        std::size_t const close = myText.find('"', myPos);
        if (close == std::string::npos)
            fail("unterminated string");
        std::string const path = myText.substr(myPos, close - myPos);
        myPos = close + 1;
        if (!accept(')'))
            fail("missing ')'");
        if (myDepth >= MaxReferenceDepth)
            fail("parameter references form a cycle");

        std::size_t const slash = path.rfind('/');
        std::string const nodePath = slash == std::string::npos ? "." : path.substr(0, slash);
        auto const node = theScene().find(nodePath.empty() ? "/" : nodePath, myNode);
        auto const [tuple, index] = node ? findParm(*node, path.substr(slash + 1))
                                         : std::pair<std::shared_ptr<SceneParmTuple>, int>{nullptr, -1};
        if (!tuple)
            fail("no parameter " + path);
        return evalParmValue(node, *tuple, tuple->parms[index], myFrame, myDepth + 1);
    }

    std::string const &myText;
    std::shared_ptr<SceneNode> const &myNode;
    double myFrame;
    int myDepth;
    std::size_t myPos = 0;
};

// Linear between keyframes, constant outside them; string keyframes hold until the next.
Value keyframedValue(SceneParmTuple const &tuple, std::vector<SceneKeyframe> const &keys, double frame)
{
    std::size_t next = 0;
    while (next < keys.size() && keys[next].frame <= frame)
        ++next;
    if (tuple.info.dataType == StringParmData)
        return {true, 0.0, keys[next == 0 ? 0 : next - 1].text};
    if (next == 0)
        return {false, keys.front().value};
    if (next == keys.size())
        return {false, keys.back().value};
    SceneKeyframe const &a = keys[next - 1];
    SceneKeyframe const &b = keys[next];
    return {false, a.value + (b.value - a.value) * (frame - a.frame) / (b.frame - a.frame)};
}

// Plain string values expand $F to the frame number.
std::string expandVariables(std::string const &text, double frame)
{
    std::string expanded;
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        if (text.compare(i, 2, "$F") == 0)
        {
            expanded += formatNumber(std::round(frame));
            ++i;
        }
        else
            expanded += text[i];
    }
    return expanded;
}

Value evalParmValue(std::shared_ptr<SceneNode> const &node, SceneParmTuple const &tuple,
                    SceneParm const &parm, double frame, int depth)
{
    if (!parm.expression.empty())
        return ExpressionEvaluator(parm.expression, node, frame, depth).evaluate();
    if (!parm.keyframes.empty())
        return keyframedValue(tuple, parm.keyframes, frame);
    if (tuple.info.dataType == StringParmData)
        return {true, 0.0, expandVariables(parm.text, frame)};
    return {false, parm.number};
}

double evalNumber(Located const &at, double frame)
{
    if (at.tuple->info.dataType == StringParmData)
        throw KOM_TypeError("The parameter holds strings");
    Value const value = evalParmValue(at.node, *at.tuple, at.parm, frame, 0);
    if (value.isText)
        throw KOM_TypeError("The expression gives a string");
    return at.tuple->info.dataType == IntParmData ? std::round(value.number) : value.number;
}

std::string evalText(Located const &at, double frame)
{
    if (at.tuple->info.dataType != StringParmData)
        throw KOM_TypeError("The parameter holds numbers");
    Value const value = evalParmValue(at.node, *at.tuple, at.parm, frame, 0);
    return value.isText ? value.text : formatNumber(value.number);
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
    if (tuple.info.dataType == StringParmData)
        throw KOM_TypeError("The parameter holds strings");
    requireUnlocked(parm);
    if (tuple.info.dataType == IntParmData)
        value = std::round(value);
    if (!parm.keyframes.empty() && !pending)
    {
        auto &keys = parm.keyframes;
        auto it = keys.begin();
        while (it != keys.end() && it->frame < currentFrame())
            ++it;
        if (it != keys.end() && it->frame == currentFrame())
            it->value = value;
        else
            keys.insert(it, SceneKeyframe{currentFrame(), value, ""});
        return;
    }
    parm.number = value;
    if (!pending)
        parm.expression.clear();
}

void assignText(SceneParmTuple const &tuple, SceneParm &parm, std::string const &text, bool pending)
{
    if (tuple.info.dataType != StringParmData)
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
    parm.text = tuple.info.textDefault;
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

// Handles the proxies own count as live host objects; those the host keeps do not.
template <class Handle>
class Counted : public Handle, private LiveCounted
{
public:
    using Handle::Handle;
};

KOM_ParmTuple *ownedTupleHandle(std::shared_ptr<SceneNode> const &node,
                                std::shared_ptr<SceneParmTuple> const &tuple);
KOM_Parm *ownedParmHandle(std::shared_ptr<SceneNode> const &node,
                          std::shared_ptr<SceneParmTuple> const &tuple, int index);
KOM_Parm *keptParmHandle(std::string const &nodePath, std::string const &parmName);

class ParmHandle : public KOM_Parm
{
public:
    ParmHandle(std::shared_ptr<SceneNode> const &node, std::shared_ptr<SceneParmTuple> const &tuple,
               int index)
        : myNode(node), myTuple(tuple), myIndex(index)
    {
    }

    // The parameter, or KOM_ObjectWasDeleted when its node or spare tuple is gone.
    virtual Located locate() const
    {
        auto node = myNode.lock();
        auto tuple = myTuple.lock();
        if (!node || !tuple || !isInScene(node) || !holdsTuple(*node, tuple))
            throw KOM_ObjectWasDeleted();
        return {node, tuple, tuple->parms[myIndex]};
    }

    std::string fullPath() const
    {
        Located at = locate();
        std::string const nodePath = at.node->path();
        return (nodePath == "/" ? "" : nodePath) + "/" + at.parm.name;
    }

    bool __eq__(KOM_Parm *other) override
    {
        hostOperation("Parm.__eq__", other);
        return sameParm(other);
    }

    bool __ne__(KOM_Parm *other) override
    {
        hostOperation("Parm.__ne__", other);
        return !sameParm(other);
    }

    std::string path() override
    {
        hostOperation("Parm.path");
        return fullPath();
    }

    int __hash__() override
    {
        hostOperation("Parm.__hash__");
        return static_cast<int>(std::hash<SceneParm const *>()(&locate().parm));
    }

    std::string __repr__() override
    {
        hostOperation("Parm.__repr__");
        Located at = locate();
        return "<kal.Parm " + at.parm.name + " in " + at.node->path() + ">";
    }

    KOM_Node *node() override
    {
        hostOperation("Parm.node");
        return NodeHandle::handleFor(locate().node);
    }

    KOM_ParmTuple *tuple() override
    {
        hostOperation("Parm.tuple");
        Located at = locate();
        return ownedTupleHandle(at.node, at.tuple);
    }

    KOM_ParmTemplate *parmTemplate() override
    {
        hostOperation("Parm.parmTemplate");
        locate();
        return nullptr; // no template objects until their family exists
    }

    std::string name() override
    {
        hostOperation("Parm.name");
        return locate().parm.name;
    }

    std::string description() override
    {
        hostOperation("Parm.description");
        return locate().tuple->info.label;
    }

    int componentIndex() override
    {
        hostOperation("Parm.componentIndex");
        locate();
        return myIndex;
    }

    std::vector<std::string> menuItems() override
    {
        hostOperation("Parm.menuItems");
        Located at = locate();
        if (at.tuple->info.menuItems.empty())
            throw KOM_OperationFailed("The parameter has no menu");
        return at.tuple->info.menuItems;
    }

    void pressButton() override
    {
        hostOperation("Parm.pressButton");
        Located at = locate();
        requireUnlocked(at.parm);
        throw KOM_OperationFailed("The parameter is not a button");
    }

    void set(float value) override
    {
        hostOperation("Parm.set", value);
        Located at = locate();
        assignNumber(*at.tuple, at.parm, value, false);
    }

    void setPending(float value) override
    {
        hostOperation("Parm.setPending", value);
        Located at = locate();
        assignNumber(*at.tuple, at.parm, value, true);
    }

    void set(int value) override
    {
        hostOperation("Parm.set", value);
        Located at = locate();
        assignNumber(*at.tuple, at.parm, value, false);
    }

    void setPending(int value) override
    {
        hostOperation("Parm.setPending", value);
        Located at = locate();
        assignNumber(*at.tuple, at.parm, value, true);
    }

    void set(char const *value) override
    {
        hostOperation("Parm.set", value);
        Located at = locate();
        assignText(*at.tuple, at.parm, value ? value : "", false);
    }

    void setPending(char const *value) override
    {
        hostOperation("Parm.setPending", value);
        Located at = locate();
        assignText(*at.tuple, at.parm, value ? value : "", true);
    }

    // Makes this parameter follow `parm` through a ch() reference.
    void set(KOM_Parm &parm, KOM_EnumValue *language) override
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

    void revertToDefaults() override
    {
        hostOperation("Parm.revertToDefaults");
        Located at = locate();
        revert(*at.tuple, at.parm, myIndex);
    }

    void revertToAndRestorePermanentDefaults() override
    {
        hostOperation("Parm.revertToAndRestorePermanentDefaults");
        Located at = locate();
        revert(*at.tuple, at.parm, myIndex);
    }

    void setExpression(char const *expression, KOM_EnumValue *language) override
    {
        hostOperation("Parm.setExpression", expression, language);
        Located at = locate();
        requireUnlocked(at.parm);
        if (!expression || !*expression)
            throw KOM_TypeError("An expression cannot be empty");
        assignExpression(at, expression, language);
    }

    std::string expression() override
    {
        hostOperation("Parm.expression");
        return requireExpression().expression;
    }

    KOM_EnumValue *expressionLanguage() override
    {
        hostOperation("Parm.expressionLanguage");
        return const_cast<KOM_EnumValue *>(requireExpression().expressionLanguage);
    }

    void setKeyframe(KOM_BaseKeyframe &keyframe) override
    {
        hostOperation("Parm.setKeyframe", keyframe);
        Located at = locate();
        requireUnlocked(at.parm);
        auto source = dynamic_cast<HostKeyframe *>(&keyframe);
        if (!source)
            throw KOM_TypeError("The keyframe belongs to another host");
        SceneKeyframe const key = source->sceneKeyframe();
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

    std::vector<KOM_ElemPtr<KOM_BaseKeyframe>> keyframes() override;

    float evalAsFloat() override
    {
        hostOperation("Parm.evalAsFloat");
        return static_cast<float>(evalNumber(locate(), currentFrame()));
    }

    float evalAsFloatAtFrame(float frame) override
    {
        hostOperation("Parm.evalAsFloatAtFrame", frame);
        return static_cast<float>(evalNumber(locate(), frame));
    }

    int evalAsInt() override
    {
        hostOperation("Parm.evalAsInt");
        return static_cast<int>(std::lround(evalNumber(locate(), currentFrame())));
    }

    int evalAsIntAtFrame(float frame) override
    {
        hostOperation("Parm.evalAsIntAtFrame", frame);
        return static_cast<int>(std::lround(evalNumber(locate(), frame)));
    }

    std::string evalAsString() override
    {
        hostOperation("Parm.evalAsString");
        return evalText(locate(), currentFrame());
    }

    std::string evalAsStringAtFrame(float frame) override
    {
        hostOperation("Parm.evalAsStringAtFrame", frame);
        return evalText(locate(), frame);
    }

    std::string unexpandedString() override
    {
        hostOperation("Parm.unexpandedString");
        Located at = locate();
        if (at.tuple->info.dataType != StringParmData)
            throw KOM_OperationFailed("The parameter holds numbers");
        return at.parm.expression.empty() ? at.parm.text : at.parm.expression;
    }

    void deleteAllKeyframes() override
    {
        hostOperation("Parm.deleteAllKeyframes");
        Located at = locate();
        requireUnlocked(at.parm);
        if (!at.parm.keyframes.empty() && at.tuple->info.dataType != StringParmData)
            at.parm.number = evalNumber(at, currentFrame());
        at.parm.keyframes.clear();
    }

    // A parameter that only follows another through ch("path") refers to it; any other
    // parameter refers to itself.
    KOM_Parm *getReferencedParm() override
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

    bool isLocked() override
    {
        hostOperation("Parm.isLocked");
        return locate().parm.locked;
    }

    void lock(bool on) override
    {
        hostOperation("Parm.lock", on);
        locate().parm.locked = on;
    }

    bool isAutoscoped() override
    {
        hostOperation("Parm.isAutoscoped");
        return locate().parm.autoscoped;
    }

    void setAutoscope(bool on) override
    {
        hostOperation("Parm.setAutoscope", on);
        locate().parm.autoscoped = on;
    }

    std::string alias() override
    {
        hostOperation("Parm.alias");
        return locate().parm.alias;
    }

    // An empty alias removes it; aliases are names, unique within their node.
    void setAlias(char const *alias_name) override
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

    bool isSpare() override
    {
        hostOperation("Parm.isSpare");
        return locate().tuple->spare;
    }

    bool hasExpression() override
    {
        hostOperation("Parm.hasExpression");
        return !locate().parm.expression.empty();
    }

    int dataTypeCode() override
    {
        hostOperation("Parm.dataTypeCode");
        return locate().tuple->info.dataType;
    }

private:
    bool sameParm(KOM_Parm *other) const
    {
        auto handle = dynamic_cast<ParmHandle *>(other);
        return handle && &handle->locate().parm == &locate().parm;
    }

    SceneParm &requireExpression() const
    {
        SceneParm &parm = locate().parm;
        if (parm.expression.empty())
            throw KOM_OperationFailed("The parameter has no expression");
        return parm;
    }

    static void assignExpression(Located const &at, std::string const &expression, KOM_EnumValue *language)
    {
        if (language && !isOfEnumeration(*language, typeid(KOM_exprLanguage)))
            throw KOM_TypeError("Expected an expression language");
        at.parm.expression = expression;
        at.parm.expressionLanguage = language ? language : &KOM_exprLanguage::Kscript;
    }

    std::weak_ptr<SceneNode> myNode;
    std::weak_ptr<SceneParmTuple> myTuple;
    int myIndex;
};

// A parameter the host keeps for the scripts it hands it to: it names the parameter by
// path, so it outlives the node and answers KOM_ObjectWasDeleted while nothing is there.
class KeptParmHandle : public ParmHandle
{
public:
    KeptParmHandle(std::string nodePath, std::string parmName)
        : ParmHandle(nullptr, nullptr, 0), myNodePath(std::move(nodePath)), myParmName(std::move(parmName))
    {
    }

    Located locate() const override
    {
        auto node = theScene().find(myNodePath, theScene().root());
        auto [tuple, index] = node ? findParm(*node, myParmName)
                                   : std::pair<std::shared_ptr<SceneParmTuple>, int>{nullptr, -1};
        if (!tuple)
            throw KOM_ObjectWasDeleted();
        return {node, tuple, tuple->parms[index]};
    }

    int componentIndex() override
    {
        hostOperation("Parm.componentIndex");
        Located at = locate();
        return static_cast<int>(&at.parm - at.tuple->parms.data());
    }

private:
    std::string myNodePath;
    std::string myParmName;
};

// Keyframes as the host hands them out; their own family gives them operations. A float
// parameter's keyframes are KOM_Keyframe, a string parameter's KOM_StringKeyframe.
template <class Interface>
class KeyframeHandle : public Interface, public HostKeyframe, private LiveCounted
{
public:
    KeyframeHandle(SceneKeyframe key, KOM_EnumValue const &evaluated)
        : myKey(std::move(key)), myEvaluated(evaluated)
    {
    }
    SceneKeyframe sceneKeyframe() const override { return myKey; }
    KOM_EnumValue evaluatedType() override
    {
        hostOperation("BaseKeyframe.evaluatedType");
        return myEvaluated;
    }

private:
    SceneKeyframe myKey;
    KOM_EnumValue myEvaluated;
};

std::vector<KOM_ElemPtr<KOM_BaseKeyframe>> ParmHandle::keyframes()
{
    hostOperation("Parm.keyframes");
    Located at = locate();
    std::vector<KOM_ElemPtr<KOM_BaseKeyframe>> keys;
    for (auto const &key : at.parm.keyframes)
        if (at.tuple->info.dataType == StringParmData)
            keys.emplace_back(new KeyframeHandle<KOM_StringKeyframe>(key, KOM_parmData::String));
        else
            keys.emplace_back(new KeyframeHandle<KOM_Keyframe>(key, KOM_parmData::Float));
    return keys;
}

struct LocatedTuple
{
    std::shared_ptr<SceneNode> node;
    std::shared_ptr<SceneParmTuple> tuple;
};

class ParmTupleHandle : public KOM_ParmTuple
{
public:
    ParmTupleHandle(std::shared_ptr<SceneNode> const &node, std::shared_ptr<SceneParmTuple> const &tuple)
        : myNode(node), myTuple(tuple)
    {
    }

    virtual LocatedTuple locate() const
    {
        auto node = myNode.lock();
        auto tuple = myTuple.lock();
        if (!node || !tuple || !isInScene(node) || !holdsTuple(*node, tuple))
            throw KOM_ObjectWasDeleted();
        return {node, tuple};
    }

    bool __eq__(KOM_ParmTuple *other) override
    {
        hostOperation("ParmTuple.__eq__", other);
        return sameTuple(other);
    }

    bool __ne__(KOM_ParmTuple *other) override
    {
        hostOperation("ParmTuple.__ne__", other);
        return !sameTuple(other);
    }

    int __hash__() override
    {
        hostOperation("ParmTuple.__hash__");
        return static_cast<int>(std::hash<SceneParmTuple const *>()(locate().tuple.get()));
    }

    std::string __repr__() override
    {
        hostOperation("ParmTuple.__repr__");
        LocatedTuple at = locate();
        return "<kal.ParmTuple " + at.tuple->info.name + " in " + at.node->path() + ">";
    }

    KOM_Node *node() override
    {
        hostOperation("ParmTuple.node");
        return NodeHandle::handleFor(locate().node);
    }

    KOM_ParmTemplate *parmTemplate() override
    {
        hostOperation("ParmTuple.parmTemplate");
        locate();
        return nullptr; // no template objects until their family exists
    }

    std::string name() override
    {
        hostOperation("ParmTuple.name");
        return locate().tuple->info.name;
    }

    std::string description() override
    {
        hostOperation("ParmTuple.description");
        return locate().tuple->info.label;
    }

    void set(std::vector<float> const &values) override
    {
        hostOperation("ParmTuple.set", values);
        assignNumbers(values, false);
    }

    void setPending(std::vector<float> const &values) override
    {
        hostOperation("ParmTuple.setPending", values);
        assignNumbers(values, true);
    }

    void set(std::vector<std::string> const &values) override
    {
        hostOperation("ParmTuple.set", values);
        assignTexts(values, false);
    }

    void setPending(std::vector<std::string> const &values) override
    {
        hostOperation("ParmTuple.setPending", values);
        assignTexts(values, true);
    }

    void revertToDefaults() override
    {
        hostOperation("ParmTuple.revertToDefaults");
        revertAll();
    }

    void revertToAndRestorePermanentDefaults() override
    {
        hostOperation("ParmTuple.revertToAndRestorePermanentDefaults");
        revertAll();
    }

    std::vector<float> evalAsFloats() override
    {
        hostOperation("ParmTuple.evalAsFloats");
        return numbersAt<float>(currentFrame());
    }

    std::vector<float> evalAsFloatsAtFrame(float frame) override
    {
        hostOperation("ParmTuple.evalAsFloatsAtFrame", frame);
        return numbersAt<float>(frame);
    }

    std::vector<int> evalAsInts() override
    {
        hostOperation("ParmTuple.evalAsInts");
        return numbersAt<int>(currentFrame());
    }

    std::vector<int> evalAsIntsAtFrame(float frame) override
    {
        hostOperation("ParmTuple.evalAsIntsAtFrame", frame);
        return numbersAt<int>(frame);
    }

    std::vector<std::string> evalAsStrings() override
    {
        hostOperation("ParmTuple.evalAsStrings");
        return textsAt(currentFrame());
    }

    std::vector<std::string> evalAsStringsAtFrame(float frame) override
    {
        hostOperation("ParmTuple.evalAsStringsAtFrame", frame);
        return textsAt(frame);
    }

    void lock(std::vector<bool> const &on) override
    {
        hostOperation("ParmTuple.lock", on);
        LocatedTuple at = locateSized(on.size());
        for (std::size_t i = 0; i < on.size(); ++i)
            at.tuple->parms[i].locked = on[i];
    }

    void setAutoscope(std::vector<bool> const &on) override
    {
        hostOperation("ParmTuple.setAutoscope", on);
        LocatedTuple at = locateSized(on.size());
        for (std::size_t i = 0; i < on.size(); ++i)
            at.tuple->parms[i].autoscoped = on[i];
    }

    void deleteAllKeyframes() override
    {
        hostOperation("ParmTuple.deleteAllKeyframes");
        LocatedTuple at = locate();
        for (auto const &parm : at.tuple->parms)
            requireUnlocked(parm);
        for (std::size_t i = 0; i < at.tuple->parms.size(); ++i)
        {
            SceneParm &parm = at.tuple->parms[i];
            if (!parm.keyframes.empty() && at.tuple->info.dataType != StringParmData)
                parm.number = evalNumber({at.node, at.tuple, parm}, currentFrame());
            parm.keyframes.clear();
        }
    }

    KOM_Parm *__getitem__(int index) override
    {
        hostOperation("ParmTuple.__getitem__", index);
        LocatedTuple at = locate();
        if (index < 0 || static_cast<std::size_t>(index) >= at.tuple->parms.size())
            throw std::out_of_range("Parameter tuple index out of range");
        return ownedParmHandle(at.node, at.tuple, index);
    }

    int __len__() override
    {
        hostOperation("ParmTuple.__len__");
        return static_cast<int>(locate().tuple->parms.size());
    }

    std::string path() override
    {
        hostOperation("ParmTuple.path");
        return fullPath();
    }

    int dataTypeCode() override
    {
        hostOperation("ParmTuple.dataTypeCode");
        return locate().tuple->info.dataType;
    }

    std::string fullPath() const
    {
        LocatedTuple at = locate();
        std::string const nodePath = at.node->path();
        return (nodePath == "/" ? "" : nodePath) + "/" + at.tuple->info.name;
    }

private:
    bool sameTuple(KOM_ParmTuple *other) const
    {
        auto handle = dynamic_cast<ParmTupleHandle *>(other);
        return handle && handle->locate().tuple == locate().tuple;
    }

    LocatedTuple locateSized(std::size_t size) const
    {
        LocatedTuple at = locate();
        if (size != at.tuple->parms.size())
            throw KOM_InvalidSize(("Expected " + std::to_string(at.tuple->parms.size()) + " values").c_str());
        return at;
    }

    // All or nothing: every check runs before the first value changes.
    void assignNumbers(std::vector<float> const &values, bool pending)
    {
        LocatedTuple at = locateSized(values.size());
        for (auto const &parm : at.tuple->parms)
        {
            if (at.tuple->info.dataType == StringParmData)
                throw KOM_TypeError("The parameter holds strings");
            requireUnlocked(parm);
        }
        for (std::size_t i = 0; i < values.size(); ++i)
            assignNumber(*at.tuple, at.tuple->parms[i], values[i], pending);
    }

    void assignTexts(std::vector<std::string> const &values, bool pending)
    {
        LocatedTuple at = locateSized(values.size());
        for (auto const &parm : at.tuple->parms)
        {
            if (at.tuple->info.dataType != StringParmData)
                throw KOM_TypeError("The parameter holds numbers");
            requireUnlocked(parm);
        }
        for (std::size_t i = 0; i < values.size(); ++i)
            assignText(*at.tuple, at.tuple->parms[i], values[i], pending);
    }

    void revertAll()
    {
        LocatedTuple at = locate();
        for (auto const &parm : at.tuple->parms)
            requireUnlocked(parm);
        for (std::size_t i = 0; i < at.tuple->parms.size(); ++i)
            revert(*at.tuple, at.tuple->parms[i], i);
    }

    template <class Number>
    std::vector<Number> numbersAt(double frame) const
    {
        LocatedTuple at = locate();
        std::vector<Number> values;
        for (auto &parm : at.tuple->parms)
        {
            double const value = evalNumber({at.node, at.tuple, parm}, frame);
            values.push_back(static_cast<Number>(std::is_integral<Number>::value ? std::lround(value) : value));
        }
        return values;
    }

    std::vector<std::string> textsAt(double frame) const
    {
        LocatedTuple at = locate();
        std::vector<std::string> values;
        for (auto &parm : at.tuple->parms)
            values.push_back(evalText({at.node, at.tuple, parm}, frame));
        return values;
    }

    std::weak_ptr<SceneNode> myNode;
    std::weak_ptr<SceneParmTuple> myTuple;
};

// A spare tuple the host keeps, named by path like KeptParmHandle.
class KeptParmTupleHandle : public ParmTupleHandle
{
public:
    KeptParmTupleHandle(std::string nodePath, std::string tupleName)
        : ParmTupleHandle(nullptr, nullptr), myNodePath(std::move(nodePath)), myTupleName(std::move(tupleName))
    {
    }

    LocatedTuple locate() const override
    {
        auto node = theScene().find(myNodePath, theScene().root());
        auto tuple = node ? findTuple(*node, myTupleName) : nullptr;
        if (!tuple)
            throw KOM_ObjectWasDeleted();
        return {node, tuple};
    }

private:
    std::string myNodePath;
    std::string myTupleName;
};

// Kept handles live as long as the host: scripts may hold them for any time.
std::map<std::string, std::unique_ptr<KOM_Parm>> theKeptParms;
std::map<std::string, std::unique_ptr<KOM_ParmTuple>> theKeptTuples;

KOM_Parm *keptParmHandle(std::string const &nodePath, std::string const &parmName)
{
    auto &kept = theKeptParms[nodePath + "\n" + parmName];
    if (!kept)
        kept.reset(new KeptParmHandle(nodePath, parmName));
    return kept.get();
}

KOM_ParmTuple *keptTupleHandle(std::string const &nodePath, std::string const &tupleName)
{
    auto &kept = theKeptTuples[nodePath + "\n" + tupleName];
    if (!kept)
        kept.reset(new KeptParmTupleHandle(nodePath, tupleName));
    return kept.get();
}

KOM_ParmTuple *ownedTupleHandle(std::shared_ptr<SceneNode> const &node,
                                std::shared_ptr<SceneParmTuple> const &tuple)
{
    return new Counted<ParmTupleHandle>(node, tuple);
}

KOM_Parm *ownedParmHandle(std::shared_ptr<SceneNode> const &node,
                          std::shared_ptr<SceneParmTuple> const &tuple, int index)
{
    return new Counted<ParmHandle>(node, tuple, index);
}

void collectAliases(std::shared_ptr<SceneNode> const &node, bool recurse,
                    std::map<KOM_ElemPtr<KOM_Parm>, std::string> &aliases)
{
    for (auto const &tuple : node->parmTuples)
        for (std::size_t i = 0; i < tuple->parms.size(); ++i)
            if (!tuple->parms[i].alias.empty())
                aliases[ownedParmHandle(node, tuple, static_cast<int>(i))] = tuple->parms[i].alias;
    if (recurse)
        for (auto const &child : node->children)
            collectAliases(child, recurse, aliases);
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
    collectAliases(node, recurse, aliases);
    return aliases;
}

void clearParmAliases(std::shared_ptr<SceneNode> const &node)
{
    for (auto const &tuple : node->parmTuples)
        for (auto &parm : tuple->parms)
            parm.alias.clear();
}

JournalValue journalValue(KOM_Parm const *parm)
{
    auto handle = dynamic_cast<ParmHandle const *>(parm);
    return journalHandle(parm, [handle] { return handle ? handle->fullPath() : "<parameter>"; },
                         "<deleted parameter>");
}

JournalValue journalValue(KOM_Parm const &parm) { return journalValue(&parm); }

JournalValue journalValue(KOM_ParmTuple const *tuple)
{
    auto handle = dynamic_cast<ParmTupleHandle const *>(tuple);
    return journalHandle(tuple, [handle] { return handle ? handle->fullPath() : "<parameter tuple>"; },
                         "<deleted parameter tuple>");
}

JournalValue journalValue(KOM_ParmTuple const &tuple) { return journalValue(&tuple); }

JournalValue journalValue(KOM_BaseKeyframe const &keyframe)
{
    auto key = dynamic_cast<HostKeyframe const *>(&keyframe);
    return JournalValue::ofText(key ? "<keyframe at " + formatNumber(key->sceneKeyframe().frame) + ">"
                                    : "<keyframe>");
}

} // namespace kalhost
