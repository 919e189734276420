// The reference host's scene: node networks held in memory.
//
// Every operation costs what it touches, never the size of the scene: children are found by
// name through a hash map, automatic names come from per-stem runs of used numbers, a node
// knows whether it is in the scene and which nodes it feeds, and each node type knows its
// instances. Walks over subtrees and wiring are iterative, so depth is not limited by the stack.
#pragma once

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "host/nodetypes.h"

struct KOM_EnumValue;

namespace kalhost
{

struct SceneNode;
struct SceneParmTuple;     // the parameters' own state, kept by host/parms
struct SceneGeometryCache; // what a surface node cooked last, kept by host/geometry
struct SceneSimulation;    // what a simulation network ran, kept by host/simulation

struct SceneNetworkBox
{
    std::string name;
    float position[2] = {0.0f, 0.0f}; // the lower left corner
    float size[2] = {0.0f, 0.0f};
    float color[3] = {0.52f, 0.52f, 0.52f};
    bool minimized = false;
    bool picked = false;
    // Nodes of the box's network in the order they were added, with gaps where nodes left
    // (dropped when the box is next read). Each member knows its entry (SceneNode::inBox), so
    // putInBox and takeOutOfBox change the list and the member together.
    std::vector<std::weak_ptr<SceneNode>> nodes;
    std::size_t memberCount = 0;
};

// Viewport flags and locks: one bit each (host/nodes_flags.cpp).
enum SceneFlag : std::uint32_t
{
    FlagDisplay = 1u << 0, // objects, channel nodes
    FlagSelectable = 1u << 1,
    FlagShowOrigin = 1u << 2,
    FlagXray = 1u << 3,
    FlagBypass = 1u << 4,
    FlagTemplate = 1u << 5,
    FlagSelectableTemplate = 1u << 6,
    FlagHighlight = 1u << 7,
    FlagSoftLock = 1u << 8,
    FlagHardLock = 1u << 9,
    FlagUnload = 1u << 10,
    FlagAudio = 1u << 11,
    FlagExport = 1u << 12,
};
inline constexpr std::uint32_t DefaultFlags = FlagDisplay | FlagSelectable;

// A 4x4 row-vector transform, shared between copies of a node until one replaces it.
struct SceneTransform
{
    double m[4][4];
};

// Which child of a network the viewport shows or renders. Until a script chooses one, the last
// created child of the network's own category is.
struct SceneChosenChild
{
    std::weak_ptr<SceneNode> node;
    bool chosen = false;
};

// The numbers in use after one stem of a network's child names (1, 2 and 5 for "geo1", "geo2"
// and "geo5"), kept as disjoint runs so that the lowest free number is found in O(log n).
class NumberRuns
{
public:
    bool empty() const { return myRuns.empty(); }
    void add(std::int64_t number);
    void remove(std::int64_t number);
    // The lowest number from `start` on that is not in use.
    std::int64_t lowestFreeFrom(std::int64_t start) const;

private:
    std::map<std::int64_t, std::int64_t> myRuns; // first -> last; runs never touch
};

// Where the children of a network stand, by column and row, with the number of nodes on each
// spot: what placing a node on a free spot reads instead of every sibling.
class SceneSpots
{
public:
    void add(float const (&at)[2]);
    void remove(float const (&at)[2]);
    // The rightmost column a node stands in, leaving out one node standing at `ignored`; false
    // when no other node stands anywhere.
    bool rightmost(float const (&ignored)[2], float &x) const;
    // `y` or the first spot below it, `step` apart, that no node of column `x` stands on,
    // leaving out one node standing at `ignored`.
    float freeBelow(float x, float y, float step, float const (&ignored)[2]) const;

private:
    struct Column
    {
        std::size_t count = 0;
        std::map<float, std::size_t> rows; // y -> nodes standing there
    };
    // Columns are found by hash; only a column that appears or empties changes the order.
    std::unordered_map<float, Column> myColumns; // by x
    std::set<float> myOrder;                     // the x of each column
};

// The children of a network in the order they joined it, indexed by name. They sit in one
// array, so that walking a large network reads memory in order; a child that leaves leaves a
// gap until gaps outnumber children. A copy of a node starts without contents, so copying
// this gives an empty list; Scene fills and empties it.
class SceneChildren
{
public:
    using Slots = std::vector<std::shared_ptr<SceneNode>>;

    // Visits the children in order, skipping gaps.
    class Iterator
    {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = std::shared_ptr<SceneNode>;
        using difference_type = std::ptrdiff_t;
        using pointer = value_type const *;
        using reference = value_type const &;

        Iterator(pointer at, pointer end) : myAt(at), myEnd(end) { skipGaps(); }
        reference operator*() const { return *myAt; }
        pointer operator->() const { return myAt; }
        Iterator &operator++()
        {
            ++myAt;
            skipGaps();
            return *this;
        }
        bool operator==(Iterator const &other) const { return myAt == other.myAt; }
        bool operator!=(Iterator const &other) const { return myAt != other.myAt; }

    private:
        void skipGaps()
        {
            while (myAt != myEnd && !*myAt)
                ++myAt;
        }
        pointer myAt;
        pointer myEnd;
    };

    SceneChildren() = default;
    SceneChildren(SceneChildren const &) {}
    SceneChildren &operator=(SceneChildren const &) = delete;
    ~SceneChildren(); // releases deep subtrees without recursing

    Iterator begin() const { return {mySlots.data(), mySlots.data() + mySlots.size()}; }
    Iterator end() const { return {mySlots.data() + mySlots.size(), mySlots.data() + mySlots.size()}; }
    std::size_t size() const { return myByName.size(); }
    bool empty() const { return myByName.empty(); }
    std::shared_ptr<SceneNode> const &front() const { return *begin(); }
    // The last child to join that `accept` accepts, or null.
    template <class Accept>
    std::shared_ptr<SceneNode> lastWhere(Accept accept) const
    {
        for (auto slot = mySlots.rbegin(); slot != mySlots.rend(); ++slot)
            if (*slot && accept(**slot))
                return *slot;
        return nullptr;
    }
    // Calls `visit` with each child in order. Large networks do not fit in the caches, so the
    // memory of the children a few steps ahead is asked for early.
    template <class Visit>
    void forEach(Visit visit) const;

    // The child of that name, or null.
    std::shared_ptr<SceneNode> find(std::string const &name) const;
    // A snapshot, for callers that change the network while walking it.
    std::vector<std::shared_ptr<SceneNode>> list() const;
    // `wanted` when no child has that name, else the name with its trailing number raised to
    // the lowest free one ("box1" becomes "box3" when "box1" and "box2" are taken).
    std::string availableName(std::string const &wanted) const;
    // The children whose names start with `prefix`, in order.
    std::vector<SceneNode *> startingWith(std::string const &prefix) const;
    // Where the children stand.
    SceneSpots const &spots() const;

private:
    friend class Scene;
    void add(std::shared_ptr<SceneNode> const &node); // its name must be free
    void remove(SceneNode const &node);
    // Renames a child; false, changing nothing, when another child has that name.
    bool rename(SceneNode &node, std::string const &name);
    // `replacement` takes the place and name of `node`.
    void replace(SceneNode const &node, std::shared_ptr<SceneNode> const &replacement);
    void takeAll(SceneChildren &other); // moves every child of `other` here, in order
    void countName(std::string const &name, bool used);
    // The slot of a child, or null when `node` is not one.
    std::shared_ptr<SceneNode> *slotOf(SceneNode const &node);
    void closeGaps();
    void place(SceneNode &node, float x, float y);
    void forgetSpots() { mySpots.reset(); }

    // Children by name, in name order. The names are kept in the index itself: a look-up
    // then reads one tree node per level, not the child as well.
    using NameOrder = std::map<std::string, SceneNode *, std::less<>>;

    Slots mySlots;
    std::unordered_map<std::string, SceneNode *> myByName;
    std::unordered_set<SceneNode *> mySelected;
    std::unordered_map<std::string, NumberRuns> myNumbers; // by stem
    // Indexes few scripts need, built when first asked for and kept from then on, so that
    // networks nobody asks pay nothing: names in order, for completing a partial name, and
    // the children's spots, for placing a node. Operations that move every child drop the
    // spots rather than keep them up to date.
    mutable std::unique_ptr<NameOrder> myNameOrder;
    mutable std::unique_ptr<SceneSpots> mySpots;
};

// Names a node without keeping it or writing to its memory: a numbered entry in the table of
// named nodes, and the generation of that entry, which changes when the node goes. Handles hold
// one rather than a weak pointer, which writes to the node when made and again when freed:
// listing a network too large for the caches would then miss them twice a child.
class SceneNodeRef
{
public:
    SceneNodeRef() = default;
    // The node, or null once it is gone or while it is being destroyed.
    std::shared_ptr<SceneNode> lock() const;

private:
    friend struct SceneNode;
    SceneNodeRef(std::uint32_t entry, std::uint32_t generation) : myEntry(entry), myGeneration(generation) {}

    std::uint32_t myEntry = 0; // 0 names no node
    std::uint32_t myGeneration = 0;
};

struct SceneNode : std::enable_shared_from_this<SceneNode>
{
    struct Input
    {
        std::weak_ptr<SceneNode> node;  // the source, or the subnet for an indirect input
        int outputIndex = 0;            // the subnet's input index for an indirect input
        bool indirect = false;
    };

    // What handles and walks over large networks read comes first, so that it shares memory
    // with the control block that make_shared puts in front of the node.
    NodeTypeInfo const *type = nullptr;

    // What a handle holds to name this node. The node's entry is taken the first time.
    SceneNodeRef ref();

private:
    friend class Scene;
    friend class SceneChildren;

    // The node's entry among the named nodes, held until the node is destroyed. A copy of a
    // node is another node, with no entry until it is named.
    struct Entry
    {
        std::uint32_t number = 0;
        std::uint32_t generation = 0;

        Entry() = default;
        Entry(Entry const &) {}
        Entry &operator=(Entry const &) = delete;
        ~Entry();
    };
    Entry myEntry;

    // Where the node stands. A copy of a node stands nowhere until Scene places it.
    struct Place
    {
        bool inScene = false;
        bool selected = false;   // its network keeps the selected children apart
        std::uint32_t slot = 0;  // among its network's children
        // Wiring order: a source ranks below every node it feeds, so a wire that follows the
        // ranks cannot close a loop and is checked without a search.
        std::uint64_t rank = 0;

        Place() = default;
        Place(Place const &) {}
        Place &operator=(Place const &) = delete;
    };
    Place myPlace;
    std::vector<Input> myInputs;

public:
    // Scratch for the one walk that numbered itself `pass` (see Scene::newPass); stale marks
    // carry older numbers, so no walk has to clear them.
    struct Mark
    {
        std::uint64_t pass = 0;
        int value = 0;
    };
    mutable Mark mark;
    std::weak_ptr<SceneNode> parent;

private:
    float myPosition[2] = {0.0f, 0.0f};

public:
    // Where the node stands in its network; Scene::place moves it, since the network may
    // index it by place.
    auto position() const -> float const (&)[2] { return myPosition; }

    // Set freely before the node joins a network; afterwards only through Scene::rename,
    // since the network indexes it.
    std::string name;
    SceneChildren children;
    std::vector<std::shared_ptr<SceneParmTuple>> parmTuples;
    std::shared_ptr<SceneGeometryCache> cookCache;
    std::shared_ptr<SceneSimulation> simulation;

    float color[3] = {0.8f, 0.8f, 0.8f};
    std::string comment;
    KOM_EnumValue const *expressionLanguage = nullptr; // null: the default language

    // Network contents: the current child and the network boxes.
    std::weak_ptr<SceneNode> currentChild;
    std::vector<std::shared_ptr<SceneNetworkBox>> networkBoxes;

    // Flags and locks (SceneFlag bits); an object's pre-transform, the identity when null.
    std::uint32_t flags = DefaultFlags;
    std::shared_ptr<SceneTransform const> preTransform;
    // A network's display and render nodes (surface and particle networks).
    SceneChosenChild displayChild;
    SceneChosenChild renderChild;

    // The network box the node sits in, one at most, and its entry there. A copy of a node
    // sits in none.
    struct BoxPlace
    {
        std::weak_ptr<SceneNetworkBox> box;
        std::size_t entry = 0;

        BoxPlace() = default;
        BoxPlace(BoxPlace const &) {}
        BoxPlace &operator=(BoxPlace const &) = delete;
    };
    BoxPlace inBox;

    // A digital asset made from this subnet; locked unless editing was allowed.
    std::string assetName;
    bool assetEditable = false;

    std::string path() const;
    std::shared_ptr<SceneNode> child(std::string const &childName) const
    {
        return children.find(childName);
    }
    bool isSelected() const { return myPlace.selected; }
    // Still reachable from the root: handles on nodes that are not fail. O(1).
    bool isInScene() const { return myPlace.inScene; }
    bool holdsNetwork() const { return type->childCategoryCode != KOM_NoCategory; }
    // A subnet holds nodes of its own category and has indirect inputs.
    bool isSubnet() const { return type->childCategoryCode == type->categoryCode; }
    bool isLockedAsset() const { return !assetName.empty() && !assetEditable; }
    bool isInsideLockedAsset() const;
    // The wires into this node, one per input slot; Scene changes them.
    std::vector<Input> const &inputs() const { return myInputs; }
    // The nodes of the same network wired to this node's outputs, in network order.
    std::vector<std::shared_ptr<SceneNode>> outputs() const;
    // Comes before `other` among its siblings.
    bool isBefore(SceneNode const &other) const { return myPlace.slot < other.myPlace.slot; }

private:
    // The nodes this one feeds, each with the number of its inputs wired here. A copy feeds
    // nothing until Scene wires it.
    struct Output
    {
        std::weak_ptr<SceneNode> node;
        int wires = 0;
    };
    struct Outputs
    {
        std::unordered_map<SceneNode const *, Output> nodes;

        Outputs() = default;
        Outputs(Outputs const &) {}
        Outputs(Outputs &&) = default;
        Outputs &operator=(Outputs const &) = delete;
        Outputs &operator=(Outputs &&) = default;
    };

    Outputs myOutputs;
};

template <class Visit>
void SceneChildren::forEach(Visit visit) const
{
    constexpr std::size_t Ahead = 8;
    std::size_t const count = mySlots.size();
    for (std::size_t i = 0; i < count; ++i)
    {
        if (i + Ahead < count && mySlots[i + Ahead])
        {
            SceneNode const *const next = mySlots[i + Ahead].get();
            __builtin_prefetch(next);
            __builtin_prefetch(reinterpret_cast<char const *>(next) + 64);
            if (i + Ahead / 2 < count && mySlots[i + Ahead / 2])
                __builtin_prefetch(mySlots[i + Ahead / 2]->myInputs.data());
        }
        if (mySlots[i])
            visit(mySlots[i]);
    }
}

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
        std::size_t const first = pending.size();
        pending.insert(pending.end(), node->children.begin(), node->children.end());
        std::reverse(pending.begin() + first, pending.end());
    }
}

inline bool isConnected(SceneNode::Input const &input) { return !input.node.expired(); }

// A node sits in one network box of its network at most: putting it in one takes it out of
// any other, and it leaves its box when it leaves its network.
void putInBox(std::shared_ptr<SceneNetworkBox> const &box, std::shared_ptr<SceneNode> const &node);
void takeOutOfBox(SceneNode &node);
// The box's members, in the order they were added; the gaps in its list close.
std::vector<std::shared_ptr<SceneNode>> membersOf(SceneNetworkBox &box);

// The number a name ends with ("geo12" ends with 12), 0 when it ends with none.
int trailingNumber(std::string const &name);
bool isValidNodeName(std::string const &name);
// `wanted` when no child of `network` has that name, else the name with its trailing
// number raised to the lowest free one.
inline std::string availableName(SceneNode const &network, std::string const &wanted)
{
    return network.children.availableName(wanted);
}

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
    Scene() = default;
    // Handles that outlive the scene must not take its nodes for still there.
    ~Scene() { ++theGeneration; }
    Scene(Scene const &) = delete;
    Scene &operator=(Scene const &) = delete;

    // Restores the baseline: the root and its managers, the clock, the current node.
    void reset();

    // A root holding the managers and nothing else, out of the scene: scene files are read
    // into one before they replace or join the scene.
    static std::shared_ptr<SceneNode> baselineRoot();
    // `root`, built from baselineRoot(), becomes the scene; the old scene's nodes leave it, so
    // their handles fail. The current node goes back to the root; the clock stays.
    void replaceRoot(std::shared_ptr<SceneNode> const &root);

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

    // The nodes of that type in the scene, in scene order (each network before its contents,
    // siblings in network order).
    std::vector<std::shared_ptr<SceneNode>> instances(NodeTypeInfo const *type) const;

    // Throws KOM_OperationFailed for an unknown type or a name in use, KOM_InvalidNodeName for a
    // bad name; a missing name is made from the type's.
    std::shared_ptr<SceneNode> create(std::shared_ptr<SceneNode> const &parent,
                                      std::string const &typeName, char const *name);

    // Removes the node and its contents from the scene; handles to them then fail, and wires
    // from them into the rest of the scene are cut.
    void destroy(std::shared_ptr<SceneNode> const &node);

    // Throws KOM_InvalidNodeName or KOM_OperationFailed (name in use, root or manager).
    void rename(std::shared_ptr<SceneNode> const &node, std::string const &name);

    // Moves a node in its network. `network` is the node's, when the caller knows it.
    static void place(SceneNode &node, float x, float y);
    static void place(SceneNode &network, SceneNode &child, float x, float y);
    // The network's children are all about to move: nothing keeps their old spots.
    static void placingAll(SceneNode &network) { network.children.forgetSpots(); }

    // Selects or deselects one node, or clears the selection among a network's children.
    static void select(SceneNode &node, bool on);
    static void clearSelection(SceneNode &network);

    // Wires input `index` of `node`; `shift` first moves the inputs from `index` on up by one.
    // Unconnected inputs at the end are dropped. The caller checks the wire.
    void connect(SceneNode &node, int index, SceneNode::Input const &input, bool shift);
    // Replaces every input of `node`.
    void setInputs(SceneNode &node, std::vector<SceneNode::Input> inputs);
    // Advances whenever a node leaves the scene or changes type; never 0. What was seen of a
    // node in the scene holds until it moves.
    static std::uint64_t generation() { return theGeneration; }

    // A number no walk has used, for SceneNode::mark.
    static std::uint64_t newPass();
    // Whether wiring `source` into `node` would close a loop. Free when `source` ranks below
    // `node`; otherwise it searches the nodes ranked between them.
    static bool wouldLoop(SceneNode const &node, SceneNode const &source);

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

    // Gives `node` another type that holds the same kind of network, in place: handles on it
    // and its contents stay valid. A digital asset made from a subnet becomes its instance so.
    void retype(std::shared_ptr<SceneNode> const &node, NodeTypeInfo const *type);

    // Moves children of `network` into a new subnet of it.
    std::shared_ptr<SceneNode> collapse(std::shared_ptr<SceneNode> const &network,
                                        std::vector<std::shared_ptr<SceneNode>> const &nodes,
                                        char const *subnetName);

    // Moves a subnet's contents into its network and destroys the subnet.
    void extract(std::shared_ptr<SceneNode> const &subnet);

private:
    using Registry = std::unordered_map<SceneNode const *, std::weak_ptr<SceneNode>>;
    using CopyMap = std::unordered_map<SceneNode const *, std::shared_ptr<SceneNode>>;

    // Puts `node` (out of any network) into `network`, renamed if its name is taken.
    void adopt(std::shared_ptr<SceneNode> const &network, std::shared_ptr<SceneNode> const &node);
    static void detach(std::shared_ptr<SceneNode> const &node);
    // A copy of `node` and its contents, out of any network; `copies` maps each original to
    // its copy. Wires are copied as they are; rewire() points them at the copies.
    static std::shared_ptr<SceneNode> copySubtree(SceneNode const &node, CopyMap &copies);
    static void rewire(CopyMap const &copies);
    // One node, or the subtree under it, joins or leaves the scene: flags and instances
    // follow, and on leaving, wires between the subtree and the rest of the scene are cut.
    void join(std::shared_ptr<SceneNode> const &node);
    void enter(std::shared_ptr<SceneNode> const &node);
    void leave(std::shared_ptr<SceneNode> const &node);
    // The source of a direct input knows the nodes it feeds, and ranks below `node`.
    static void wire(SceneNode &node, SceneNode::Input const &input);
    static std::uint64_t newRank();
    // Re-ranks the nodes between `source` and `node` so that `source` ranks below `node`
    // (unless they already form a loop).
    static void rankBelow(SceneNode &source, SceneNode &node);
    // Nodes reached from `start` through outputs (or direct inputs) while `within` holds.
    template <class Within>
    static std::vector<SceneNode *> reach(SceneNode &start, bool downstream, Within within);
    static void unwire(SceneNode &node, SceneNode::Input const &input);
    // Empties one input slot, or every slot of `node` fed directly by `source`.
    static void disconnect(SceneNode &node, std::size_t slot);
    static void disconnectFrom(SceneNode &node, SceneNode const &source);
    // `replacement` takes over the wires into and out of `node`.
    static void transferWires(SceneNode &node, std::shared_ptr<SceneNode> const &replacement);

    static inline std::uint64_t theGeneration = 1;
    std::shared_ptr<SceneNode> myRoot;
    std::weak_ptr<SceneNode> myPwd;
    Clock myClock;
    std::unordered_map<NodeTypeInfo const *, Registry> myInstances;
};

// The one scene, started on first use.
Scene &theScene();

// The node a handle holds, while it is in the scene; once it is not, KOM_ObjectWasDeleted,
// saying `message` when there is one.
std::shared_ptr<SceneNode> liveNode(std::weak_ptr<SceneNode> const &held, char const *message = nullptr);
std::shared_ptr<SceneNode> liveNode(SceneNodeRef const &held, char const *message = nullptr);

// Host objects (handles and values) alive now, for leak checks.
class LiveCounted
{
public:
    LiveCounted() { ++theCount; }
    LiveCounted(LiveCounted const &) { ++theCount; }
    ~LiveCounted() { --theCount; }
    static long count() { return theCount; }
    // A handle the host keeps until the process ends is not alive on a script's behalf.
    static void keep() { --theCount; }

private:
    static long theCount;
};

} // namespace kalhost
