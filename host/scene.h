// The reference host's scene: node networks held in memory.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/nodetypes.h"

namespace kalhost
{

struct SceneParmTuple; // the parameters' own state, kept by host/parms

struct SceneNode
{
    std::string name;
    NodeTypeInfo const *type;
    std::weak_ptr<SceneNode> parent;
    std::vector<std::shared_ptr<SceneNode>> children;
    struct Input
    {
        std::weak_ptr<SceneNode> node;
        int outputIndex = 0;
    };
    std::vector<Input> inputs;
    std::vector<std::shared_ptr<SceneParmTuple>> parmTuples;

    std::string path() const;
    std::shared_ptr<SceneNode> child(std::string const &childName) const;
};

class Scene
{
public:
    // Restores the baseline: the root and its managers.
    void reset();

    std::shared_ptr<SceneNode> const &root() const { return myRoot; }

    // Absolute paths start at the root; others are relative to `from`. Null when absent.
    std::shared_ptr<SceneNode> find(std::string const &path,
                                    std::shared_ptr<SceneNode> const &from) const;

    // Throws KOM_InvalidNodeType or KOM_InvalidNodeName; a missing name is made from the type's.
    std::shared_ptr<SceneNode> create(std::shared_ptr<SceneNode> const &parent,
                                      std::string const &typeName, char const *name);

    // Removes the node and its contents from the scene; handles to them then fail.
    void destroy(std::shared_ptr<SceneNode> const &node);

private:
    std::shared_ptr<SceneNode> myRoot;
};

// The one scene, started on first use.
Scene &theScene();

// Host objects (handles and values) alive now, for leak checks.
class LiveCounted
{
public:
    LiveCounted() { ++theCount; }
    LiveCounted(LiveCounted const &) { ++theCount; }
    ~LiveCounted() { --theCount; }
    static long count() { return theCount; }

private:
    static long theCount;
};

} // namespace kalhost
