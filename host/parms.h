// Parameters in the reference host: each scene node holds its parameter tuples.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <typeinfo>
#include <utility>
#include <vector>

#include "host/identity.h"
#include "host/journal.h"
#include "host/keyframes.h"
#include "host/kscript.h"
#include "host/scene.h"
#include "model/parms.h"

struct KOM_EnumValue;

namespace kalhost
{

KALHOST_JOURNAL_FORMAT(KOM_Parm);         // its path
KALHOST_JOURNAL_FORMAT(KOM_ParmTuple);    // its path


struct SceneParm
{
    std::string name;
    double number = 0.0;
    std::string text;
    std::string expression; // empty when none
    KOM_EnumValue const *expressionLanguage = nullptr;
    std::vector<SceneKeyframe> keyframes; // ordered by frame
    bool locked = false;
    bool autoscoped = false;
    std::string alias;
};

struct SceneParmTuple
{
    ParmTupleInfo info;
    bool spare = false;
    std::vector<SceneParm> parms; // one per component
};

// Parameter templates of this host describe the tuple they make through this base.
class HostParmTemplate
{
public:
    virtual ~HostParmTemplate() {}
    virtual ParmTupleInfo tupleInfo() const = 0;
};

void createParms(SceneNode &node);
// Evaluation for other families: the tuple of that name, null when none; one component of a
// numeric tuple at the current frame, as evaluation gives it (integers rounded). Throws what
// evaluation throws (KOM_TypeError for a string tuple, KOM_OperationFailed for a failing
// expression).
std::shared_ptr<SceneParmTuple> findParmTuple(SceneNode const &node, std::string const &name);
double evalParmNumber(std::shared_ptr<SceneNode> const &node, std::shared_ptr<SceneParmTuple> const &tuple,
                      std::size_t component);
void copyParms(SceneNode const &from, SceneNode &to);

// New owned handles; null when the node has no parameter (tuple) of that name.
KOM_Parm *parmHandle(std::shared_ptr<SceneNode> const &node, std::string const &name);
KOM_ParmTuple *parmTupleHandle(std::shared_ptr<SceneNode> const &node, std::string const &name);
std::vector<KOM_ElemPtr<KOM_Parm>> parmHandles(std::shared_ptr<SceneNode> const &node);
std::vector<KOM_ElemPtr<KOM_ParmTuple>> parmTupleHandles(std::shared_ptr<SceneNode> const &node);
std::vector<KOM_ElemPtr<KOM_Parm>> spareParmHandles(std::shared_ptr<SceneNode> const &node);

// The host keeps the returned tuple: proxies never own it. Throws KOM_OperationFailed for a
// template of another host or a name already in use.
KOM_ParmTuple *addSpareParmTuple(std::shared_ptr<SceneNode> const &node, KOM_ParmTemplate &parmTemplate);
// Throws KOM_OperationFailed unless the tuple is a spare tuple of that node.
void removeSpareParmTuple(std::shared_ptr<SceneNode> const &node, KOM_ParmTuple &parmTuple);

// The value at `frame` of the parameter `name` of `node`, for a ch() reference `depth` deep;
// false when the node has no such parameter.
bool referencedParmValue(std::shared_ptr<SceneNode> const &node, std::string const &name, double frame,
                         int depth, KscriptValue *value);

std::map<KOM_ElemPtr<KOM_Parm>, std::string> parmAliases(std::shared_ptr<SceneNode> const &node, bool recurse);
void clearParmAliases(std::shared_ptr<SceneNode> const &node);

// --- Within the family: shared by host/parms*.cpp ------------------------------------

// Evaluation without a frame uses the scene's clock.
double currentFrame();

bool isInScene(std::shared_ptr<SceneNode> const &node);
bool isOfEnumeration(KOM_EnumValue const &value, std::type_info const &enumeration);
std::string formatNumber(double value);

// A located parameter: the node and tuple are alive and in the scene.
struct Located
{
    std::shared_ptr<SceneNode> node;
    std::shared_ptr<SceneParmTuple> tuple;
    SceneParm &parm;
};

struct LocatedTuple
{
    std::shared_ptr<SceneNode> node;
    std::shared_ptr<SceneParmTuple> tuple;
};

std::shared_ptr<SceneParmTuple> findTuple(SceneNode const &node, std::string const &name);
// The tuple and component index of the parameter `name` of `node`; index -1 when none.
std::pair<std::shared_ptr<SceneParmTuple>, int> findParm(SceneNode const &node, std::string const &name);
bool holdsTuple(SceneNode const &node, std::shared_ptr<SceneParmTuple> const &tuple);

// Evaluation (host/parms_expr.cpp): the value at `frame`, as the tuple's data type wants it.
double evalNumber(Located const &at, double frame);
std::string evalText(Located const &at, double frame);

// Changing values.
void requireUnlocked(SceneParm const &parm);
// A constant value replaces the expression; an animated parameter gets a keyframe at the
// current frame instead, unless the change is pending (shown now, keyed later).
void assignNumber(SceneParmTuple const &tuple, SceneParm &parm, double value, bool pending);
void assignText(SceneParmTuple const &tuple, SceneParm &parm, std::string const &text, bool pending);
void revert(SceneParmTuple const &tuple, SceneParm &parm, std::size_t index);
std::shared_ptr<SceneParmTuple> makeTuple(ParmTupleInfo const &info, bool spare);

// Handles the proxies own count as live host objects; those the host keeps do not.
template <class Handle>
class Counted : public Handle, private LiveCounted
{
public:
    using Handle::Handle;
};

// New handles the proxies own, and handles the host keeps (by path) for scripts.
KOM_Parm *ownedParmHandle(std::shared_ptr<SceneNode> const &node,
                          std::shared_ptr<SceneParmTuple> const &tuple, int index);
KOM_ParmTuple *ownedTupleHandle(std::shared_ptr<SceneNode> const &node,
                                std::shared_ptr<SceneParmTuple> const &tuple);
KOM_Parm *keptParmHandle(std::string const &nodePath, std::string const &parmName);
KOM_ParmTuple *keptTupleHandle(std::string const &nodePath, std::string const &tupleName);

// --- Handles (host/parms.cpp, host/parms_tuple.cpp) ----------------------------------

class ParmHandle : public KOM_Parm
{
public:
    ParmHandle(std::shared_ptr<SceneNode> const &node, std::shared_ptr<SceneParmTuple> const &tuple,
               int index);

    // The parameter, or KOM_ObjectWasDeleted when its node or spare tuple is gone.
    virtual Located locate() const;
    std::string fullPath() const;
    SceneParm const *identityKey() const { return &locate().parm; }
    KALHOST_COMPARED_BY_IDENTITY(Parm)
    std::string path() override;
    std::string __repr__() override;
    KOM_Node *node() override;
    KOM_ParmTuple *tuple() override;
    KOM_ParmTemplate *parmTemplate() override;
    std::string name() override;
    std::string description() override;
    int componentIndex() override;
    std::vector<std::string> menuItems() override;
    void pressButton() override;
    void set(float value) override;
    void setPending(float value) override;
    void set(int value) override;
    void setPending(int value) override;
    void set(char const *value) override;
    void setPending(char const *value) override;

    // Makes this parameter follow `parm` through a ch() reference.
    void set(KOM_Parm &parm, KOM_EnumValue *language) override;
    void revertToDefaults() override;
    void revertToAndRestorePermanentDefaults() override;
    void setExpression(char const *expression, KOM_EnumValue *language) override;
    std::string expression() override;
    KOM_EnumValue *expressionLanguage() override;
    void setKeyframe(KOM_BaseKeyframe &keyframe) override;
    std::vector<KOM_ElemPtr<KOM_BaseKeyframe>> keyframes() override;
    float evalAsFloat() override;
    float evalAsFloatAtFrame(float frame) override;
    int evalAsInt() override;
    int evalAsIntAtFrame(float frame) override;
    std::string evalAsString() override;
    std::string evalAsStringAtFrame(float frame) override;
    std::string unexpandedString() override;
    void deleteAllKeyframes() override;

    // A parameter that only follows another through ch("path") refers to it; any other
    // parameter refers to itself.
    KOM_Parm *getReferencedParm() override;
    bool isLocked() override;
    void lock(bool on) override;
    bool isAutoscoped() override;
    void setAutoscope(bool on) override;
    std::string alias() override;

    // An empty alias removes it; aliases are names, unique within their node.
    void setAlias(char const *alias_name) override;
    bool isSpare() override;
    bool hasExpression() override;
    int dataTypeCode() override;

private:
    SceneParm &requireExpression() const;
    static void assignExpression(Located const &at, std::string const &expression, KOM_EnumValue *language);

    std::weak_ptr<SceneNode> myNode;
    std::weak_ptr<SceneParmTuple> myTuple;
    int myIndex;
};

// A parameter the host keeps for the scripts it hands it to: it names the parameter by
// path, so it outlives the node and answers KOM_ObjectWasDeleted while nothing is there.
class KeptParmHandle : public ParmHandle
{
public:
    KeptParmHandle(std::string nodePath, std::string parmName);
    Located locate() const override;
    int componentIndex() override;

private:
    std::string myNodePath;
    std::string myParmName;
};

class ParmTupleHandle : public KOM_ParmTuple
{
public:
    ParmTupleHandle(std::shared_ptr<SceneNode> const &node, std::shared_ptr<SceneParmTuple> const &tuple);
    virtual LocatedTuple locate() const;
    SceneParmTuple const *identityKey() const { return locate().tuple.get(); }
    KALHOST_COMPARED_BY_IDENTITY(ParmTuple)
    std::string __repr__() override;
    KOM_Node *node() override;
    KOM_ParmTemplate *parmTemplate() override;
    std::string name() override;
    std::string description() override;
    void set(std::vector<float> const &values) override;
    void setPending(std::vector<float> const &values) override;
    void set(std::vector<std::string> const &values) override;
    void setPending(std::vector<std::string> const &values) override;
    void revertToDefaults() override;
    void revertToAndRestorePermanentDefaults() override;
    std::vector<float> evalAsFloats() override;
    std::vector<float> evalAsFloatsAtFrame(float frame) override;
    std::vector<int> evalAsInts() override;
    std::vector<int> evalAsIntsAtFrame(float frame) override;
    std::vector<std::string> evalAsStrings() override;
    std::vector<std::string> evalAsStringsAtFrame(float frame) override;
    void lock(std::vector<bool> const &on) override;
    void setAutoscope(std::vector<bool> const &on) override;
    void deleteAllKeyframes() override;
    KOM_Parm *__getitem__(int index) override;
    int __len__() override;
    std::string path() override;
    int dataTypeCode() override;
    std::string fullPath() const;

private:
    LocatedTuple locateSized(std::size_t size) const;

    // All or nothing: every check runs before the first value changes.
    void assignNumbers(std::vector<float> const &values, bool pending);
    void assignTexts(std::vector<std::string> const &values, bool pending);
    void revertAll();

    template <class Number>
    std::vector<Number> numbersAt(double frame) const;
    std::vector<std::string> textsAt(double frame) const;

    std::weak_ptr<SceneNode> myNode;
    std::weak_ptr<SceneParmTuple> myTuple;
};

// A spare tuple the host keeps, named by path like KeptParmHandle.
class KeptParmTupleHandle : public ParmTupleHandle
{
public:
    KeptParmTupleHandle(std::string nodePath, std::string tupleName);
    LocatedTuple locate() const override;

private:
    std::string myNodePath;
    std::string myTupleName;
};

} // namespace kalhost
