// Parameter tuple handles: the tuples the proxies own and the spare tuples the host keeps.
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

ParmTupleHandle::ParmTupleHandle(std::shared_ptr<SceneNode> const &node, std::shared_ptr<SceneParmTuple> const &tuple)
    : myNode(node), myTuple(tuple)
{
}

LocatedTuple ParmTupleHandle::locate() const
{
    auto node = myNode.lock();
    auto tuple = myTuple.lock();
    if (!node || !tuple || !isInScene(node) || !holdsTuple(*node, tuple))
        throw KOM_ObjectWasDeleted();
    return {node, tuple};
}

std::string ParmTupleHandle::__repr__()
{
    hostOperation("ParmTuple.__repr__");
    LocatedTuple at = locate();
    return "<kal.ParmTuple " + at.tuple->info.name + " in " + at.node->path() + ">";
}

KOM_Node *ParmTupleHandle::node()
{
    hostOperation("ParmTuple.node");
    return NodeHandle::handleFor(locate().node);
}

KOM_ParmTemplate *ParmTupleHandle::parmTemplate()
{
    hostOperation("ParmTuple.parmTemplate");
    return newParmTemplate(locate().tuple->info);
}

std::string ParmTupleHandle::name()
{
    hostQuery("ParmTuple.name");
    return locate().tuple->info.name;
}

std::string ParmTupleHandle::description()
{
    hostOperation("ParmTuple.description");
    return locate().tuple->info.label;
}

void ParmTupleHandle::set(std::vector<float> const &values)
{
    hostOperation("ParmTuple.set", values);
    assignNumbers(values, false);
}

void ParmTupleHandle::setPending(std::vector<float> const &values)
{
    hostOperation("ParmTuple.setPending", values);
    assignNumbers(values, true);
}

void ParmTupleHandle::set(std::vector<std::string> const &values)
{
    hostOperation("ParmTuple.set", values);
    assignTexts(values, false);
}

void ParmTupleHandle::setPending(std::vector<std::string> const &values)
{
    hostOperation("ParmTuple.setPending", values);
    assignTexts(values, true);
}

void ParmTupleHandle::revertToDefaults()
{
    hostOperation("ParmTuple.revertToDefaults");
    revertAll();
}

void ParmTupleHandle::revertToAndRestorePermanentDefaults()
{
    hostOperation("ParmTuple.revertToAndRestorePermanentDefaults");
    revertAll();
}

std::vector<float> ParmTupleHandle::evalAsFloats()
{
    hostQuery("ParmTuple.evalAsFloats");
    return numbersAt<float>(currentFrame());
}

std::vector<float> ParmTupleHandle::evalAsFloatsAtFrame(float frame)
{
    hostQuery("ParmTuple.evalAsFloatsAtFrame", frame);
    return numbersAt<float>(frame);
}

std::vector<int> ParmTupleHandle::evalAsInts()
{
    hostQuery("ParmTuple.evalAsInts");
    return numbersAt<int>(currentFrame());
}

std::vector<int> ParmTupleHandle::evalAsIntsAtFrame(float frame)
{
    hostQuery("ParmTuple.evalAsIntsAtFrame", frame);
    return numbersAt<int>(frame);
}

std::vector<std::string> ParmTupleHandle::evalAsStrings()
{
    hostQuery("ParmTuple.evalAsStrings");
    return textsAt(currentFrame());
}

std::vector<std::string> ParmTupleHandle::evalAsStringsAtFrame(float frame)
{
    hostQuery("ParmTuple.evalAsStringsAtFrame", frame);
    return textsAt(frame);
}

void ParmTupleHandle::lock(std::vector<bool> const &on)
{
    hostOperation("ParmTuple.lock", on);
    LocatedTuple at = locateSized(on.size());
    for (std::size_t i = 0; i < on.size(); ++i)
        at.tuple->parms[i].locked = on[i];
}

void ParmTupleHandle::setAutoscope(std::vector<bool> const &on)
{
    hostOperation("ParmTuple.setAutoscope", on);
    LocatedTuple at = locateSized(on.size());
    for (std::size_t i = 0; i < on.size(); ++i)
        at.tuple->parms[i].autoscoped = on[i];
}

void ParmTupleHandle::deleteAllKeyframes()
{
    hostOperation("ParmTuple.deleteAllKeyframes");
    LocatedTuple at = locate();
    for (auto const &parm : at.tuple->parms)
        requireUnlocked(parm);
    for (std::size_t i = 0; i < at.tuple->parms.size(); ++i)
    {
        SceneParm &parm = at.tuple->parms[i];
        if (!parm.keyframes.empty() && at.tuple->info.dataType != KOM_StringParmData)
            parm.number = evalNumber({at.node, at.tuple, parm}, currentFrame());
        parm.keyframes.clear();
    }
}

KOM_Parm *ParmTupleHandle::__getitem__(int index)
{
    hostOperation("ParmTuple.__getitem__", index);
    LocatedTuple at = locate();
    if (index < 0 || static_cast<std::size_t>(index) >= at.tuple->parms.size())
        throw std::out_of_range("Parameter tuple index out of range");
    return ownedParmHandle(at.node, at.tuple, index);
}

int ParmTupleHandle::__len__()
{
    hostOperation("ParmTuple.__len__");
    return static_cast<int>(locate().tuple->parms.size());
}

std::string ParmTupleHandle::path()
{
    hostOperation("ParmTuple.path");
    return fullPath();
}

int ParmTupleHandle::dataTypeCode()
{
    hostQuery("ParmTuple.dataTypeCode");
    return locate().tuple->info.dataType;
}

std::string ParmTupleHandle::fullPath() const
{
    LocatedTuple at = locate();
    std::string const nodePath = at.node->path();
    return (nodePath == "/" ? "" : nodePath) + "/" + at.tuple->info.name;
}

LocatedTuple ParmTupleHandle::locateSized(std::size_t size) const
{
    LocatedTuple at = locate();
    if (size != at.tuple->parms.size())
        throw KOM_InvalidSize(("Expected " + std::to_string(at.tuple->parms.size()) + " values").c_str());
    return at;
}

void ParmTupleHandle::assignNumbers(std::vector<float> const &values, bool pending)
{
    LocatedTuple at = locateSized(values.size());
    for (auto const &parm : at.tuple->parms)
    {
        if (at.tuple->info.dataType == KOM_StringParmData)
            throw KOM_TypeError("The parameter holds strings");
        requireUnlocked(parm);
    }
    for (std::size_t i = 0; i < values.size(); ++i)
        assignNumber(*at.tuple, at.tuple->parms[i], values[i], pending);
}

void ParmTupleHandle::assignTexts(std::vector<std::string> const &values, bool pending)
{
    LocatedTuple at = locateSized(values.size());
    for (auto const &parm : at.tuple->parms)
    {
        if (at.tuple->info.dataType != KOM_StringParmData)
            throw KOM_TypeError("The parameter holds numbers");
        requireUnlocked(parm);
    }
    for (std::size_t i = 0; i < values.size(); ++i)
        assignText(*at.tuple, at.tuple->parms[i], values[i], pending);
}

void ParmTupleHandle::revertAll()
{
    LocatedTuple at = locate();
    for (auto const &parm : at.tuple->parms)
        requireUnlocked(parm);
    for (std::size_t i = 0; i < at.tuple->parms.size(); ++i)
        revert(*at.tuple, at.tuple->parms[i], i);
}

template <class Number>
std::vector<Number> ParmTupleHandle::numbersAt(double frame) const
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

std::vector<std::string> ParmTupleHandle::textsAt(double frame) const
{
    LocatedTuple at = locate();
    std::vector<std::string> values;
    for (auto &parm : at.tuple->parms)
        values.push_back(evalText({at.node, at.tuple, parm}, frame));
    return values;
}

KeptParmTupleHandle::KeptParmTupleHandle(std::string nodePath, std::string tupleName)
    : ParmTupleHandle(nullptr, nullptr), myNodePath(std::move(nodePath)), myTupleName(std::move(tupleName))
{
}

LocatedTuple KeptParmTupleHandle::locate() const
{
    auto node = theScene().find(myNodePath, theScene().root());
    auto tuple = node ? findTuple(*node, myTupleName) : nullptr;
    if (!tuple)
        throw KOM_ObjectWasDeleted();
    return {node, tuple};
}

KOM_ParmTuple *keptTupleHandle(std::string const &nodePath, std::string const &tupleName)
{
    static KeptHandles<std::string, KOM_ParmTuple> kept;
    return kept(nodePath + "\n" + tupleName, [&] { return new KeptParmTupleHandle(nodePath, tupleName); });
}

KOM_ParmTuple *ownedTupleHandle(std::shared_ptr<SceneNode> const &node,
                                std::shared_ptr<SceneParmTuple> const &tuple)
{
    return new Counted<ParmTupleHandle>(node, tuple);
}

JournalValue JournalFormat<KOM_ParmTuple>::format(KOM_ParmTuple const &tuple)
{
    auto handle = dynamic_cast<ParmTupleHandle const *>(&tuple);
    return journalHandle([handle] { return handle ? handle->fullPath() : "<parameter tuple>"; },
                         "<deleted parameter tuple>");
}

} // namespace kalhost
