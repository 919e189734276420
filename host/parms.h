// Parameters in the reference host: each scene node holds its parameter tuples.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/scene.h"
#include "model/keyframes.h"
#include "model/parms.h"

struct KOM_EnumValue;

namespace kalhost
{

struct SceneKeyframe
{
    double frame = 0.0;
    double value = 0.0;
    std::string text; // the value of a string keyframe
};

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

// Keyframes of this host hand their values to a parameter through this base.
class HostKeyframe
{
public:
    virtual ~HostKeyframe() {}
    virtual SceneKeyframe sceneKeyframe() const = 0;
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

std::map<KOM_ElemPtr<KOM_Parm>, std::string> parmAliases(std::shared_ptr<SceneNode> const &node, bool recurse);
void clearParmAliases(std::shared_ptr<SceneNode> const &node);

} // namespace kalhost
