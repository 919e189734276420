// The reference host's scene: node networks held in memory.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/nodetypes.h"

struct KOM_EnumValue;

namespace kalhost
{

struct SceneParmTuple;     // the parameters' own state, kept by host/parms
struct SceneGeometryCache; // what a surface node cooked last, kept by host/geometry

struct SceneNetworkBox
{
    std::string name;
    float position[2] = {0.0f, 0.0f};
};

struct SceneNode
{
    std::string name;
    NodeTypeInfo const *type;
    std::weak_ptr<SceneNode> parent;
    std::vector<std::shared_ptr<SceneNode>> children;
    struct Input
    {
        std::weak_ptr<SceneNode> node;  // the source, or the subnet for an indirect input
        int outputIndex = 0;            // the subnet's input index for an indirect input
        bool indirect = false;
    };
    std::vector<Input> inputs;
    std::vector<std::shared_ptr<SceneParmTuple>> parmTuples;
    std::shared_ptr<SceneGeometryCache> cookCache;

    // How the node looks in its network.
    float position[2] = {0.0f, 0.0f};
    float color[3] = {0.8f, 0.8f, 0.8f};
    std::string comment;
    bool selected = false;
    KOM_EnumValue const *expressionLanguage = nullptr; // null: the default language

    // Network contents: the current child and the network boxes.
    std::weak_ptr<SceneNode> currentChild;
    std::vector<std::shared_ptr<SceneNetworkBox>> networkBoxes;

    // A digital asset made from this subnet; locked unless editing was allowed.
    std::string assetName;
    bool assetEditable = false;

    SceneNode() = default;
    SceneNode(SceneNode const &) = default;
    ~SceneNode();

    std::string path() const;
    std::shared_ptr<SceneNode> child(std::string const &childName) const;
    // Still reachable from the root: handles on nodes that are not fail.
    bool isInScene() const;
    bool holdsNetwork() const { return type->childCategoryCode != KOM_NoCategory; }
    // A subnet holds nodes of its own category and has indirect inputs.
    bool isSubnet() const { return type->childCategoryCode == type->categoryCode; }
    bool isLockedAsset() const { return !assetName.empty() && !assetEditable; }
    bool isInsideLockedAsset() const;
    // The nodes of the same network wired to this node's outputs.
    std::vector<std::shared_ptr<SceneNode>> outputs() const;
};

// Visits `network` and every node inside it, each network before its contents and in their
// order. The walk keeps its own list instead of the stack: networks nest as deep as scripts
// make them.
template <class Visit>
void forEachWithin(std::shared_ptr<SceneNode> const &network, Visit visit)
{
    std::vector<std::shared_ptr<SceneNode>> pending{network};
    while (!pending.empty())
    {
        std::shared_ptr<SceneNode> const node = std::move(pending.back());
        pending.pop_back();
        visit(node);
        pending.insert(pending.end(), node->children.rbegin(), node->children.rend());
    }
}

// The number a name ends with ("geo12" ends with 12), 0 when it ends with none.
int trailingNumber(std::string const &name);
bool isValidNodeName(std::string const &name);
// `wanted` when no child of `network` has that name, else the name with its trailing
// number raised until it is free.
std::string availableName(SceneNode const &network, std::string const &wanted);

// The global clock: time in seconds, frames counted from 1.
struct Clock
{
    float time = 0.0f;
    float fps = 24.0f;

    float frame() const { return timeToFrame(time); }
    float timeToFrame(float seconds) const { return seconds * fps + 1.0f; }
    float frameToTime(float frame) const { return (frame - 1.0f) / fps; }
};

class Scene
{
public:
    // Restores the baseline: the root and its managers, the clock, the current node.
    void reset();

    std::shared_ptr<SceneNode> const &root() const { return myRoot; }
    Clock &clock() { return myClock; }

    // The current node: the root when none was set or it is gone.
    std::shared_ptr<SceneNode> pwd() const;
    void setPwd(std::shared_ptr<SceneNode> const &node) { myPwd = node; }

    // Absolute paths start at the root; others are relative to `from`. Null when absent.
    std::shared_ptr<SceneNode> find(std::string const &path,
                                    std::shared_ptr<SceneNode> const &from) const;

    // The paths of nodes that complete `typed` (a path being typed, quotes and all).
    std::vector<std::string> completePath(std::string typed,
                                          std::shared_ptr<SceneNode> const &from) const;

    // Throws KOM_OperationFailed for an unknown type or a name in use, KOM_InvalidNodeName for a
    // bad name; a missing name is made from the type's.
    std::shared_ptr<SceneNode> create(std::shared_ptr<SceneNode> const &parent,
                                      std::string const &typeName, char const *name);

    // Removes the node and its contents from the scene; handles to them then fail.
    void destroy(std::shared_ptr<SceneNode> const &node);

    // Throws KOM_InvalidNodeName or KOM_OperationFailed (name in use, root or manager).
    void rename(std::shared_ptr<SceneNode> const &node, std::string const &name);

    // Copies (with contents) or moves the nodes into `network`, renaming on a name collision.
    // Wires among the given nodes are kept; wires to nodes left behind are cut.
    std::vector<std::shared_ptr<SceneNode>> copyTo(
        std::vector<std::shared_ptr<SceneNode>> const &nodes,
        std::shared_ptr<SceneNode> const &network);
    std::vector<std::shared_ptr<SceneNode>> moveTo(
        std::vector<std::shared_ptr<SceneNode>> const &nodes,
        std::shared_ptr<SceneNode> const &network);

    // Replaces `node` by a new node of another type at the same place. The old node leaves
    // the scene.
    std::shared_ptr<SceneNode> changeType(std::shared_ptr<SceneNode> const &node,
                                          std::string const &typeName, bool keepName,
                                          bool keepContents);

    // Moves children of `network` into a new subnet of it.
    std::shared_ptr<SceneNode> collapse(std::shared_ptr<SceneNode> const &network,
                                        std::vector<std::shared_ptr<SceneNode>> const &nodes,
                                        char const *subnetName);

    // Moves a subnet's contents into its network and destroys the subnet.
    void extract(std::shared_ptr<SceneNode> const &subnet);

private:
    std::shared_ptr<SceneNode> myRoot;
    std::weak_ptr<SceneNode> myPwd;
    Clock myClock;
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
