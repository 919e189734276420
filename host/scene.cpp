// The reference host's scene: networks, names, wiring and membership, each kept so that an
// operation costs what it touches.
#include "host/scene.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <iterator>
#include <new>
#include <unordered_set>

#include "host/parms.h"
#include "host/pool.h"
#include "model/errors.h"

namespace kalhost
{

long LiveCounted::theCount = 0;

namespace
{

// Nodes are allocated side by side in blocks of whole cache lines, apart from their parameters
// and names: a walk over a large network then reads a few pages for many nodes instead of one
// page per node, and what it reads of each node (the head of the allocation, control block
// first) fills two lines exactly.
inline constexpr std::size_t CacheLine = 64;

template <class T>
struct NodeAllocator
{
    using value_type = T;

    NodeAllocator() = default;
    template <class U>
    NodeAllocator(NodeAllocator<U> const &)
    {
    }
    T *allocate(std::size_t count)
    {
        if (PooledBlocks && count == 1)
            return static_cast<T *>(blockPool<sizeof(T), CacheLine>().take());
        return std::allocator<T>().allocate(count);
    }
    void deallocate(T *pointer, std::size_t count)
    {
        if (PooledBlocks && count == 1)
            return blockPool<sizeof(T), CacheLine>().give(pointer);
        std::allocator<T>().deallocate(pointer, count);
    }
    template <class U>
    bool operator==(NodeAllocator<U> const &) const
    {
        return true;
    }
    template <class U>
    bool operator!=(NodeAllocator<U> const &) const
    {
        return false;
    }

private:
    static_assert(alignof(T) <= CacheLine);
};

template <class... Args>
std::shared_ptr<SceneNode> newNode(Args const &...args)
{
    return std::allocate_shared<SceneNode>(NodeAllocator<SceneNode>(), args...);
}

NodeTypeInfo const theRootType = {"root", KOM_RootCategory, KOM_ManagerCategory, 0};

// Managers hold the networks of the baseline scene; each is its own type.
std::vector<NodeTypeInfo> const theManagers = {
    {"obj", KOM_ManagerCategory, KOM_ObjectCategory, 0},    {"out", KOM_ManagerCategory, KOM_RopCategory, 0},
    {"shop", KOM_ManagerCategory, KOM_ShopCategory, 0},     {"cop", KOM_ManagerCategory, KOM_Cop2NetCategory, 0},
    {"chop", KOM_ManagerCategory, KOM_ChopNetCategory, 0},  {"vop", KOM_ManagerCategory, KOM_VopNetCategory, 0},
    {"pop", KOM_ManagerCategory, KOM_PopNetCategory, 0},
};

// Automatic names are a stem and a number written without leading zeros ("geo12", never
// "geo012"); only such names take a number from their stem's runs.
constexpr std::size_t MaxNumberDigits = 18;

struct NumberedName
{
    std::string stem;
    std::int64_t number = 0;
    bool numbered = false;
};

std::size_t stemLength(std::string const &name)
{
    std::size_t end = name.size();
    while (end > 0 && std::isdigit(static_cast<unsigned char>(name[end - 1])))
        --end;
    return end;
}

NumberedName splitName(std::string const &name)
{
    std::size_t const stemEnd = stemLength(name);
    std::size_t const digits = name.size() - stemEnd;
    NumberedName result{name.substr(0, stemEnd)};
    if (digits == 0 || digits > MaxNumberDigits || (digits > 1 && name[stemEnd] == '0'))
        return result;
    result.number = std::stoll(name.substr(stemEnd));
    result.numbered = true;
    return result;
}

// Every node of the subtree under `top`, `top` included, in no particular order.
std::vector<std::shared_ptr<SceneNode>> subtreeOf(std::shared_ptr<SceneNode> const &top)
{
    std::vector<std::shared_ptr<SceneNode>> nodes = {top};
    for (std::size_t next = 0; next < nodes.size(); ++next)
    {
        auto const network = nodes[next];
        nodes.insert(nodes.end(), network->children.begin(), network->children.end());
    }
    return nodes;
}

void checkDestination(std::vector<std::shared_ptr<SceneNode>> const &nodes,
                      std::shared_ptr<SceneNode> const &network)
{
    for (auto const &node : nodes)
    {
        if (!node->parent.lock())
            throw KOM_OperationFailed(("Cannot copy or move " + node->path()).c_str());
        if (node->type->categoryCode != network->type->childCategoryCode)
            throw KOM_OperationFailed(
                (node->path() + " does not belong in " + network->path()).c_str());
    }
}

} // namespace

// --- names ---

int trailingNumber(std::string const &name)
{
    std::string const digits = name.substr(stemLength(name), 9);
    return digits.empty() ? 0 : std::stoi(digits);
}

bool isValidNodeName(std::string const &name)
{
    if (name.empty())
        return false;
    for (char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-' && c != '.')
            return false;
    return true;
}

void NumberRuns::add(std::int64_t number)
{
    auto const next = myRuns.upper_bound(number);
    bool const joinsNext = next != myRuns.end() && next->first == number + 1;
    if (next != myRuns.begin())
    {
        auto const previous = std::prev(next);
        if (previous->second >= number)
            return; // already in use
        if (previous->second == number - 1)
        {
            previous->second = joinsNext ? next->second : number;
            if (joinsNext)
                myRuns.erase(next);
            return;
        }
    }
    std::int64_t const last = joinsNext ? next->second : number;
    if (joinsNext)
        myRuns.erase(next);
    myRuns.emplace(number, last);
}

void NumberRuns::remove(std::int64_t number)
{
    auto const next = myRuns.upper_bound(number);
    if (next == myRuns.begin())
        return;
    auto const run = std::prev(next);
    if (run->second < number)
        return;
    std::int64_t const first = run->first, last = run->second;
    myRuns.erase(run);
    if (first < number)
        myRuns.emplace(first, number - 1);
    if (number < last)
        myRuns.emplace(number + 1, last);
}

std::int64_t NumberRuns::lowestFreeFrom(std::int64_t start) const
{
    auto const next = myRuns.upper_bound(start);
    if (next == myRuns.begin())
        return start;
    auto const run = std::prev(next);
    return run->second >= start ? run->second + 1 : start;
}

// --- spots ---

void SceneSpots::add(float const (&at)[2])
{
    auto const [column, made] = myColumns.try_emplace(at[0]);
    if (made)
        myOrder.insert(at[0]);
    ++column->second.count;
    ++column->second.rows[at[1]];
}

void SceneSpots::remove(float const (&at)[2])
{
    auto const column = myColumns.find(at[0]);
    if (column == myColumns.end())
        return;
    auto const row = column->second.rows.find(at[1]);
    if (row == column->second.rows.end())
        return;
    if (--row->second == 0)
        column->second.rows.erase(row);
    if (--column->second.count == 0)
    {
        myOrder.erase(at[0]);
        myColumns.erase(column);
    }
}

bool SceneSpots::rightmost(float const (&ignored)[2], float &x) const
{
    for (auto column = myOrder.rbegin(); column != myOrder.rend(); ++column)
        if (myColumns.at(*column).count > (*column == ignored[0] ? 1u : 0u))
        {
            x = *column;
            return true;
        }
    return false;
}

float SceneSpots::freeBelow(float x, float y, float step, float const (&ignored)[2]) const
{
    auto const column = myColumns.find(x);
    if (column == myColumns.end())
        return y;
    auto const &rows = column->second.rows;
    bool const ignoring = x == ignored[0];
    for (auto row = rows.find(y); row != rows.end(); row = rows.find(y))
    {
        if (row->second > (ignoring && y == ignored[1] ? 1u : 0u))
            y -= step;
        else
            break;
    }
    return y;
}

// --- children ---

SceneChildren::~SceneChildren()
{
    // A deep chain of networks would otherwise be released by nested destructors.
    Slots pending = std::move(mySlots);
    while (!pending.empty())
    {
        auto node = std::move(pending.back());
        pending.pop_back();
        if (!node || node.use_count() != 1)
            continue; // a gap, or someone else keeps the node, contents and all
        auto &contents = node->children;
        std::move(contents.mySlots.begin(), contents.mySlots.end(), std::back_inserter(pending));
        contents.mySlots.clear();
        contents.myByName.clear();
    }
}

std::shared_ptr<SceneNode> SceneChildren::find(std::string const &name) const
{
    auto const found = myByName.find(name);
    return found == myByName.end() ? nullptr : found->second->shared_from_this();
}

std::vector<std::shared_ptr<SceneNode>> SceneChildren::list() const
{
    return {begin(), end()};
}

std::vector<SceneNode *> SceneChildren::startingWith(std::string const &prefix) const
{
    std::vector<SceneNode *> found;
    if (prefix.empty())
    {
        forEach([&found](auto const &child) { found.push_back(child.get()); });
        return found;
    }
    if (!myNameOrder)
        myNameOrder = std::make_unique<NameOrder>(myByName.begin(), myByName.end());
    for (auto at = myNameOrder->lower_bound(prefix);
         at != myNameOrder->end() && at->first.compare(0, prefix.size(), prefix) == 0; ++at)
        found.push_back(at->second);
    std::sort(found.begin(), found.end(), [](auto *a, auto *b) { return a->isBefore(*b); });
    return found;
}

SceneSpots const &SceneChildren::spots() const
{
    if (!mySpots)
    {
        mySpots = std::make_unique<SceneSpots>();
        forEach([this](auto const &child) { mySpots->add(child->position()); });
    }
    return *mySpots;
}

void SceneChildren::place(SceneNode &node, float x, float y)
{
    if (node.myPosition[0] == x && node.myPosition[1] == y)
        return; // a node put where it stands changes no index
    bool const indexed = mySpots && slotOf(node);
    if (indexed)
        mySpots->remove(node.myPosition);
    node.myPosition[0] = x;
    node.myPosition[1] = y;
    if (indexed)
        mySpots->add(node.myPosition);
}

std::string SceneChildren::availableName(std::string const &wanted) const
{
    if (myByName.find(wanted) == myByName.end())
        return wanted;
    std::string const stem = wanted.substr(0, stemLength(wanted));
    std::int64_t const start = trailingNumber(wanted) + 1;
    auto const runs = myNumbers.find(stem);
    return stem + std::to_string(runs == myNumbers.end() ? start : runs->second.lowestFreeFrom(start));
}

void SceneChildren::countName(std::string const &name, bool used)
{
    auto const split = splitName(name);
    if (!split.numbered)
        return;
    if (used)
    {
        myNumbers[split.stem].add(split.number);
        return;
    }
    auto const runs = myNumbers.find(split.stem);
    if (runs == myNumbers.end())
        return;
    runs->second.remove(split.number);
    if (runs->second.empty())
        myNumbers.erase(runs);
}

std::shared_ptr<SceneNode> *SceneChildren::slotOf(SceneNode const &node)
{
    std::size_t const slot = node.myPlace.slot;
    return slot < mySlots.size() && mySlots[slot].get() == &node ? &mySlots[slot] : nullptr;
}

void SceneChildren::add(std::shared_ptr<SceneNode> const &node)
{
    node->myPlace.slot = static_cast<std::uint32_t>(mySlots.size());
    mySlots.push_back(node);
    myByName.emplace(node->name, node.get());
    countName(node->name, true);
    if (node->isSelected())
        mySelected.insert(node.get());
    if (myNameOrder)
        myNameOrder->emplace(node->name, node.get());
    if (mySpots)
        mySpots->add(node->myPosition);
}

void SceneChildren::remove(SceneNode const &node)
{
    auto *const slot = slotOf(node);
    if (!slot)
        return;
    myByName.erase(node.name);
    countName(node.name, false);
    mySelected.erase(const_cast<SceneNode *>(&node));
    if (myNameOrder)
        myNameOrder->erase(node.name);
    if (mySpots)
        mySpots->remove(node.myPosition);
    slot->reset();
    // Gaps at the end go at once, so that the last child is always at hand; others are closed
    // once they outnumber the children. Each removal costs O(1) on average.
    while (!mySlots.empty() && !mySlots.back())
        mySlots.pop_back();
    if (mySlots.size() > 2 * myByName.size() + 8)
        closeGaps();
}

void SceneChildren::closeGaps()
{
    std::size_t kept = 0;
    for (auto &slot : mySlots)
        if (slot)
        {
            slot->myPlace.slot = static_cast<std::uint32_t>(kept);
            mySlots[kept++] = std::move(slot);
        }
    mySlots.resize(kept);
}

bool SceneChildren::rename(SceneNode &node, std::string const &name)
{
    if (node.name == name)
        return true;
    // The map's entry changes its key in place: two look-ups, no allocation.
    auto entry = myByName.extract(node.name);
    entry.key() = name;
    auto placed = myByName.insert(std::move(entry));
    if (!placed.inserted)
    {
        placed.node.key() = node.name;
        myByName.insert(std::move(placed.node));
        return false;
    }
    countName(node.name, false);
    if (myNameOrder)
    {
        auto ordered = myNameOrder->extract(node.name);
        ordered.key() = name;
        myNameOrder->insert(std::move(ordered));
    }
    node.name = name;
    countName(node.name, true);
    return true;
}

void SceneChildren::replace(SceneNode const &node, std::shared_ptr<SceneNode> const &replacement)
{
    auto *const slot = slotOf(node);
    if (!slot)
        return;
    replacement->name = node.name;
    replacement->myPlace.slot = node.myPlace.slot;
    myByName[node.name] = replacement.get();
    if (myNameOrder)
        (*myNameOrder)[node.name] = replacement.get();
    if (mySpots)
    {
        mySpots->remove(node.myPosition);
        mySpots->add(replacement->myPosition);
    }
    if (mySelected.erase(const_cast<SceneNode *>(&node)))
    {
        replacement->myPlace.selected = true;
        mySelected.insert(replacement.get());
    }
    *slot = replacement;
}

void SceneChildren::takeAll(SceneChildren &other)
{
    for (auto const &child : other)
        add(child);
    other.mySlots.clear();
    other.myByName.clear();
    other.myNumbers.clear();
    other.mySelected.clear();
    other.myNameOrder.reset();
    other.mySpots.reset();
}

// --- network boxes ---

void putInBox(std::shared_ptr<SceneNetworkBox> const &box, std::shared_ptr<SceneNode> const &node)
{
    if (node->inBox.box.lock() == box)
        return;
    takeOutOfBox(*node);
    node->inBox.box = box;
    node->inBox.entry = box->nodes.size();
    box->nodes.push_back(node);
    ++box->memberCount;
}

void takeOutOfBox(SceneNode &node)
{
    auto const box = node.inBox.box.lock();
    node.inBox.box.reset();
    if (!box)
        return;
    box->nodes[node.inBox.entry].reset();
    --box->memberCount;
    // As with a network's children: gaps at the end go at once, the others once they
    // outnumber the members.
    while (!box->nodes.empty() && box->nodes.back().expired())
        box->nodes.pop_back();
    if (box->nodes.size() > 2 * box->memberCount + 8)
        membersOf(*box);
}

std::vector<std::shared_ptr<SceneNode>> membersOf(SceneNetworkBox &box)
{
    std::vector<std::shared_ptr<SceneNode>> members;
    members.reserve(box.memberCount);
    for (auto const &entry : box.nodes)
        if (auto node = entry.lock())
        {
            node->inBox.entry = members.size();
            box.nodes[members.size()] = entry;
            members.push_back(std::move(node));
        }
    box.nodes.resize(members.size());
    box.memberCount = members.size();
    return members;
}

// --- nodes ---

std::string SceneNode::path() const
{
    std::vector<std::shared_ptr<SceneNode>> above;
    std::size_t length = name.size() + 1;
    for (auto up = parent.lock(); up; up = up->parent.lock())
    {
        length += up->name.size() + 1;
        above.push_back(up);
    }
    if (above.empty())
        return "/";
    std::string result;
    result.reserve(length);
    // The topmost node is the root, whose path is "/" whatever its name.
    for (auto network = above.rbegin() + 1; network != above.rend(); ++network)
        result.append("/").append((*network)->name);
    return result.append("/").append(name);
}

bool SceneNode::isInsideLockedAsset() const
{
    for (auto up = parent.lock(); up; up = up->parent.lock())
        if (up->isLockedAsset())
            return true;
    return false;
}

std::vector<std::shared_ptr<SceneNode>> SceneNode::outputs() const
{
    std::vector<std::shared_ptr<SceneNode>> result;
    for (auto const &entry : myOutputs.nodes)
        if (auto output = entry.second.node.lock())
            result.push_back(std::move(output));
    std::sort(result.begin(), result.end(),
              [](auto const &a, auto const &b) { return a->isBefore(*b); });
    return result;
}

// --- the scene ---

void Scene::reset()
{
    replaceRoot(baselineRoot());
    myClock = Clock();
}

std::shared_ptr<SceneNode> Scene::baselineRoot()
{
    auto root = newNode();
    root->type = &theRootType;
    for (auto const &manager : theManagers)
    {
        auto node = newNode();
        node->name = manager.name;
        node->type = &manager;
        node->parent = root;
        root->children.add(node);
    }
    return root;
}

void Scene::replaceRoot(std::shared_ptr<SceneNode> const &root)
{
    // Handles that outlive the old scene must fail, however they keep its nodes.
    ++theGeneration;
    if (myRoot)
        for (auto const &node : subtreeOf(myRoot))
            node->myPlace.inScene = false;
    myInstances.clear();
    myRoot = root;
    enter(myRoot);
    myPwd.reset();
}

std::shared_ptr<SceneNode> Scene::pwd() const
{
    auto const node = myPwd.lock();
    return node && node->isInScene() ? node : myRoot;
}

std::shared_ptr<SceneNode> Scene::find(std::string const &path,
                                       std::shared_ptr<SceneNode> const &from) const
{
    std::shared_ptr<SceneNode> current = (!path.empty() && path[0] == '/') ? myRoot : from;
    std::size_t start = 0;
    std::string part;
    while (current && start <= path.size())
    {
        std::size_t const end = std::min(path.find('/', start), path.size());
        part.assign(path, start, end - start);
        if (part == "..")
            current = current->parent.lock();
        else if (!part.empty() && part != ".")
            current = current->child(part);
        start = end + 1;
    }
    return current;
}

std::vector<std::string> Scene::completePath(std::string typed,
                                            std::shared_ptr<SceneNode> const &from) const
{
    typed.erase(0, typed.find_first_not_of("\"' "));
    std::size_t const slash = typed.rfind('/');
    std::string const directory = slash == std::string::npos ? "" : typed.substr(0, slash + 1);
    std::string const prefix = typed.substr(directory.size());
    auto const base = directory.empty() ? from : find(directory, from);
    std::vector<std::string> result;
    if (base)
        for (auto const *child : base->children.startingWith(prefix))
            result.push_back(directory + child->name);
    return result;
}

std::vector<std::shared_ptr<SceneNode>> Scene::instances(NodeTypeInfo const *type) const
{
    auto const registry = myInstances.find(type);
    if (registry == myInstances.end())
        return {};
    // Scene order is the order of the nodes' places read from the root down.
    std::vector<std::pair<std::vector<std::size_t>, std::shared_ptr<SceneNode>>> keyed;
    for (auto const &entry : registry->second)
        if (auto node = entry.second.lock())
        {
            std::vector<std::size_t> key;
            for (auto up = node; up; up = up->parent.lock())
                key.push_back(up->myPlace.slot);
            std::reverse(key.begin(), key.end());
            keyed.emplace_back(std::move(key), std::move(node));
        }
    std::sort(keyed.begin(), keyed.end(),
              [](auto const &a, auto const &b) { return a.first < b.first; });
    std::vector<std::shared_ptr<SceneNode>> result;
    for (auto &entry : keyed)
        result.push_back(std::move(entry.second));
    return result;
}

std::shared_ptr<SceneNode> Scene::create(std::shared_ptr<SceneNode> const &parent,
                                         std::string const &typeName, char const *name)
{
    NodeTypeInfo const *type = findNodeType(parent->type->childCategoryCode, typeName);
    if (!type)
        throw KOM_OperationFailed(("Invalid node type name: " + typeName).c_str());
    std::string nodeName;
    if (name)
    {
        nodeName = name;
        if (!isValidNodeName(nodeName))
            throw KOM_InvalidNodeName(("Invalid node name: " + nodeName).c_str());
        if (parent->child(nodeName))
            throw KOM_OperationFailed(("Node name already in use: " + nodeName).c_str());
    }
    else
    {
        nodeName = availableName(*parent, typeName + "1");
    }
    auto node = newNode();
    node->myPlace.rank = newRank();
    node->name = std::move(nodeName);
    node->type = type;
    createParms(*node);
    adopt(parent, node);
    return node;
}

void Scene::destroy(std::shared_ptr<SceneNode> const &node)
{
    if (!node->parent.lock())
        throw KOM_OperationFailed("The root node cannot be destroyed");
    if (node->isInScene())
        leave(node);
    detach(node);
}

void Scene::rename(std::shared_ptr<SceneNode> const &node, std::string const &name)
{
    auto const network = node->parent.lock();
    if (!network || network == myRoot)
        throw KOM_OperationFailed(("Cannot rename " + node->path()).c_str());
    if (!isValidNodeName(name))
        throw KOM_InvalidNodeName(("Invalid node name: " + name).c_str());
    if (!network->children.rename(*node, name))
        throw KOM_OperationFailed(("Node name already in use: " + name).c_str());
}

// --- placement ---

void Scene::place(SceneNode &node, float x, float y)
{
    if (auto const network = node.parent.lock())
    {
        network->children.place(node, x, y);
        return;
    }
    node.myPosition[0] = x;
    node.myPosition[1] = y;
}

void Scene::place(SceneNode &network, SceneNode &child, float x, float y)
{
    network.children.place(child, x, y);
}

// --- selection ---

void Scene::select(SceneNode &node, bool on)
{
    node.myPlace.selected = on;
    if (auto const network = node.parent.lock(); network && network->children.slotOf(node))
    {
        if (on)
            network->children.mySelected.insert(&node);
        else
            network->children.mySelected.erase(&node);
    }
}

void Scene::clearSelection(SceneNode &network)
{
    for (SceneNode *child : network.children.mySelected)
        child->myPlace.selected = false;
    network.children.mySelected.clear();
}

// --- wiring ---

void Scene::wire(SceneNode &node, SceneNode::Input const &input)
{
    if (input.indirect)
        return;
    if (auto const source = input.node.lock())
    {
        auto &output = source->myOutputs.nodes[&node];
        if (output.wires++ == 0)
            output.node = node.weak_from_this();
        if (source->myPlace.rank >= node.myPlace.rank && source.get() != &node)
            rankBelow(*source, node);
    }
}

void Scene::unwire(SceneNode &node, SceneNode::Input const &input)
{
    if (input.indirect)
        return;
    if (auto const source = input.node.lock())
    {
        auto const found = source->myOutputs.nodes.find(&node);
        if (found != source->myOutputs.nodes.end() && --found->second.wires == 0)
            source->myOutputs.nodes.erase(found);
    }
}

void Scene::connect(SceneNode &node, int index, SceneNode::Input const &input, bool shift)
{
    auto &inputs = node.myInputs;
    std::size_t const slot = static_cast<std::size_t>(index);
    if (inputs.size() <= slot)
        inputs.resize(slot + 1);
    if (shift)
    {
        inputs.insert(inputs.begin() + index, input);
    }
    else
    {
        unwire(node, inputs[slot]);
        inputs[slot] = input;
    }
    wire(node, input);
    while (!inputs.empty() && !isConnected(inputs.back()))
        inputs.pop_back();
}

void Scene::setInputs(SceneNode &node, std::vector<SceneNode::Input> inputs)
{
    for (auto const &input : node.myInputs)
        unwire(node, input);
    node.myInputs = std::move(inputs);
    for (auto const &input : node.myInputs)
        wire(node, input);
}

void Scene::disconnect(SceneNode &node, std::size_t slot)
{
    unwire(node, node.myInputs[slot]);
    node.myInputs[slot] = SceneNode::Input();
}

void Scene::disconnectFrom(SceneNode &node, SceneNode const &source)
{
    for (std::size_t slot = 0; slot < node.myInputs.size(); ++slot)
    {
        auto const &input = node.myInputs[slot];
        if (!input.indirect && input.node.lock().get() == &source)
            disconnect(node, slot);
    }
}

std::uint64_t Scene::newPass()
{
    static std::uint64_t last = 0;
    return ++last;
}

std::uint64_t Scene::newRank()
{
    static std::uint64_t last = 0;
    return ++last;
}

template <class Within>
std::vector<SceneNode *> Scene::reach(SceneNode &start, bool downstream, Within within)
{
    // The nodes on the way stay in their network for the whole search.
    std::vector<SceneNode *> found = {&start};
    std::unordered_set<SceneNode const *> seen = {&start};
    auto const visit = [&](std::shared_ptr<SceneNode> const &next) {
        if (next && within(*next) && seen.insert(next.get()).second)
            found.push_back(next.get());
    };
    for (std::size_t i = 0; i < found.size(); ++i)
    {
        SceneNode const &node = *found[i];
        if (downstream)
            for (auto const &entry : node.myOutputs.nodes)
                visit(entry.second.node.lock());
        else
            for (auto const &input : node.myInputs)
                if (!input.indirect)
                    visit(input.node.lock());
    }
    return found;
}

bool Scene::wouldLoop(SceneNode const &node, SceneNode const &source)
{
    if (&node == &source)
        return true;
    if (source.myPlace.rank < node.myPlace.rank)
        return false;
    // Ranks rise along every wire, so a path from `node` back to `source` stays at or below
    // the source's rank.
    auto const bound = source.myPlace.rank;
    auto const downstream = reach(const_cast<SceneNode &>(node), true,
                                  [bound](SceneNode const &next) { return next.myPlace.rank <= bound; });
    return std::find(downstream.begin(), downstream.end(), &source) != downstream.end();
}

void Scene::rankBelow(SceneNode &source, SceneNode &node)
{
    // The nodes `node` feeds that rank up to `source`, and those feeding `source` that rank
    // down to `node`, swap places in rank; each side keeps its own order.
    auto const upper = source.myPlace.rank, lower = node.myPlace.rank;
    auto after = reach(node, true, [upper](SceneNode const &next) { return next.myPlace.rank <= upper; });
    if (std::find(after.begin(), after.end(), &source) != after.end())
        return; // a loop: no order exists
    auto before = reach(source, false, [lower](SceneNode const &next) { return next.myPlace.rank >= lower; });
    auto const byRank = [](SceneNode const *a, SceneNode const *b) {
        return a->myPlace.rank < b->myPlace.rank;
    };
    std::sort(before.begin(), before.end(), byRank);
    std::sort(after.begin(), after.end(), byRank);
    std::vector<std::uint64_t> ranks;
    for (auto const *side : {&before, &after})
        for (auto const *member : *side)
            ranks.push_back(member->myPlace.rank);
    std::sort(ranks.begin(), ranks.end());
    auto rank = ranks.begin();
    for (auto *side : {&before, &after})
        for (auto *member : *side)
            member->myPlace.rank = *rank++;
}

void Scene::transferWires(SceneNode &node, std::shared_ptr<SceneNode> const &replacement)
{
    replacement->myPlace.rank = node.myPlace.rank;
    for (auto const &input : node.myInputs)
        unwire(node, input);
    replacement->myInputs = std::move(node.myInputs);
    node.myInputs.clear();
    for (auto const &input : replacement->myInputs)
        wire(*replacement, input);
    replacement->myOutputs.nodes = std::move(node.myOutputs.nodes);
    node.myOutputs.nodes.clear();
    for (auto const &entry : replacement->myOutputs.nodes)
        if (auto const fed = entry.second.node.lock())
            for (auto &input : fed->myInputs)
                if (!input.indirect && input.node.lock().get() == &node)
                    input.node = replacement;
}

void Scene::retype(std::shared_ptr<SceneNode> const &node, NodeTypeInfo const *type)
{
    bool const inScene = node->isInScene();
    ++theGeneration;
    if (inScene)
    {
        auto const registry = myInstances.find(node->type);
        if (registry != myInstances.end())
            registry->second.erase(node.get());
    }
    node->type = type;
    if (inScene)
        myInstances[type][node.get()] = node;
}

// --- membership ---

void Scene::join(std::shared_ptr<SceneNode> const &node)
{
    node->myPlace.inScene = true;
    myInstances[node->type][node.get()] = node;
}

void Scene::enter(std::shared_ptr<SceneNode> const &node)
{
    for (auto const &member : subtreeOf(node))
        join(member);
}

void Scene::leave(std::shared_ptr<SceneNode> const &node)
{
    ++theGeneration;
    auto const leaving = subtreeOf(node);
    for (auto const &member : leaving)
    {
        member->myPlace.inScene = false;
        auto const registry = myInstances.find(member->type);
        if (registry != myInstances.end())
            registry->second.erase(member.get());
    }
    // Wires within the subtree go with it; wires to the rest of the scene are cut.
    for (auto const &member : leaving)
    {
        for (auto const &input : member->myInputs)
            unwire(*member, input);
        member->myInputs.clear();
        auto const outputs = std::move(member->myOutputs.nodes);
        member->myOutputs.nodes.clear();
        for (auto const &entry : outputs)
            if (auto const fed = entry.second.node.lock(); fed && fed->isInScene())
                disconnectFrom(*fed, *member);
    }
}

void Scene::adopt(std::shared_ptr<SceneNode> const &network, std::shared_ptr<SceneNode> const &node)
{
    node->name = availableName(*network, node->name);
    node->parent = network;
    network->children.add(node);
    if (network->isInScene() && !node->isInScene())
        enter(node);
    else if (!network->isInScene() && node->isInScene())
        leave(node);
}

void Scene::detach(std::shared_ptr<SceneNode> const &node)
{
    takeOutOfBox(*node);
    if (auto const network = node->parent.lock())
        network->children.remove(*node);
    node->parent.reset();
}

// --- copying and moving ---

std::shared_ptr<SceneNode> Scene::copySubtree(SceneNode const &node, CopyMap &copies)
{
    auto const copyOne = [&copies](SceneNode const &original) {
        auto copy = newNode(original);
        copyParms(original, *copy);
        copy->parent.reset();
        copy->currentChild.reset();
        copy->cookCache.reset(); // a copy cooks its own geometry, not the original's
        for (auto &box : copy->networkBoxes)
        {
            box = std::make_shared<SceneNetworkBox>(*box);
            box->nodes.clear(); // the copies of its members are not in it
            box->memberCount = 0;
        }
        copies[&original] = copy;
        return copy;
    };
    auto const top = copyOne(node);
    std::vector<std::pair<SceneNode const *, SceneNode *>> pending = {{&node, top.get()}};
    while (!pending.empty())
    {
        auto const [original, copy] = pending.back();
        pending.pop_back();
        for (auto const &child : original->children)
        {
            auto const childCopy = copyOne(*child);
            childCopy->parent = copy->weak_from_this();
            copy->children.add(childCopy);
            pending.emplace_back(child.get(), childCopy.get());
        }
    }
    return top;
}

void Scene::rewire(CopyMap const &copies)
{
    // Inputs of the copies point at the copies of their sources; wires to nodes not copied
    // are cut. Indirect inputs follow their subnet the same way.
    for (auto const &entry : copies)
    {
        auto const &copy = entry.second;
        for (auto &input : copy->myInputs)
        {
            auto const found = copies.find(input.node.lock().get());
            input.node = found == copies.end() ? std::shared_ptr<SceneNode>() : found->second;
        }
        for (auto const &input : copy->myInputs)
            wire(*copy, input);
    }
}

std::vector<std::shared_ptr<SceneNode>> Scene::copyTo(
    std::vector<std::shared_ptr<SceneNode>> const &nodes,
    std::shared_ptr<SceneNode> const &network)
{
    checkDestination(nodes, network);
    CopyMap copies;
    std::vector<std::shared_ptr<SceneNode>> result;
    for (auto const &node : nodes)
        result.push_back(copySubtree(*node, copies));
    // Copies rank as their originals do, above every node there is.
    std::vector<std::pair<SceneNode const *, SceneNode *>> byRank;
    for (auto const &entry : copies)
        byRank.emplace_back(entry.first, entry.second.get());
    std::sort(byRank.begin(), byRank.end(), [](auto const &a, auto const &b) {
        return a.first->myPlace.rank < b.first->myPlace.rank;
    });
    for (auto const &entry : byRank)
        entry.second->myPlace.rank = newRank();
    rewire(copies);
    for (auto const &copy : result)
        adopt(network, copy);
    return result;
}

std::vector<std::shared_ptr<SceneNode>> Scene::moveTo(
    std::vector<std::shared_ptr<SceneNode>> const &nodes,
    std::shared_ptr<SceneNode> const &network)
{
    checkDestination(nodes, network);
    for (auto const &node : nodes)
        for (auto up = network; up; up = up->parent.lock())
            if (up == node)
                throw KOM_OperationFailed(("Cannot move " + node->path() + " into itself").c_str());
    std::unordered_set<SceneNode const *> moving;
    for (auto const &node : nodes)
        moving.insert(node.get());
    for (auto const &node : nodes)
    {
        if (node->parent.lock() == network)
            continue;
        // Wires across the move are cut, both ways.
        for (std::size_t slot = 0; slot < node->myInputs.size(); ++slot)
            if (!moving.count(node->myInputs[slot].node.lock().get()))
                disconnect(*node, slot);
        for (auto const &output : node->outputs())
            if (!moving.count(output.get()))
                disconnectFrom(*output, *node);
    }
    for (auto const &node : nodes)
        if (node->parent.lock() != network)
        {
            detach(node);
            adopt(network, node);
        }
    return nodes;
}

std::shared_ptr<SceneNode> Scene::changeType(std::shared_ptr<SceneNode> const &node,
                                             std::string const &typeName, bool keepName,
                                             bool keepContents)
{
    auto const network = node->parent.lock();
    NodeTypeInfo const *type = findNodeType(node->type->categoryCode, typeName);
    if (!type)
        throw KOM_TypeError(("Invalid node type name: " + typeName).c_str());
    if (!network || network == myRoot)
        throw KOM_OperationFailed(("Cannot change the type of " + node->path()).c_str());
    auto const replacement = newNode(*node);
    replacement->type = type;
    replacement->networkBoxes.clear();
    replacement->currentChild.reset();
    replacement->assetName.clear();
    if (keepContents && type->childCategoryCode == node->type->childCategoryCode)
    {
        replacement->children.takeAll(node->children);
        for (auto const &child : replacement->children)
        {
            child->parent = replacement;
            for (auto &input : child->myInputs)
                if (input.indirect && input.node.lock() == node)
                    input.node = replacement;
        }
        replacement->networkBoxes = node->networkBoxes;
    }
    transferWires(*node, replacement);
    takeOutOfBox(*node);
    network->children.replace(*node, replacement);
    node->parent.reset();
    if (node->isInScene())
    {
        join(replacement);
        leave(node);
    }
    if (!keepName)
        network->children.rename(*replacement, availableName(*network, typeName + "1"));
    return replacement;
}

std::shared_ptr<SceneNode> Scene::collapse(std::shared_ptr<SceneNode> const &network,
                                           std::vector<std::shared_ptr<SceneNode>> const &nodes,
                                           char const *subnetName)
{
    if (nodes.empty())
        throw KOM_OperationFailed("No nodes to collapse");
    for (auto const &node : nodes)
        if (node->parent.lock() != network)
            throw KOM_OperationFailed((node->path() + " is not in " + network->path()).c_str());
    if (!findNodeType(network->type->childCategoryCode, "subnet"))
        throw KOM_OperationFailed(("Subnets cannot be made in " + network->path()).c_str());
    if (subnetName && network->child(subnetName))
        throw KOM_OperationFailed(
            (std::string("Node name already in use: ") + subnetName).c_str());
    auto subnet = create(network, "subnet", subnetName);
    // The subnet takes the place of the first node; wires inside the subnet stay.
    place(*network, *subnet, nodes.front()->position()[0], nodes.front()->position()[1]);
    moveTo(nodes, subnet);
    return subnet;
}

void Scene::extract(std::shared_ptr<SceneNode> const &subnet)
{
    auto const network = subnet->parent.lock();
    if (!subnet->isSubnet() || !network)
        throw KOM_InvalidNodeType((subnet->path() + " is not a subnet").c_str());
    moveTo(subnet->children.list(), network);
    destroy(subnet);
}

Scene &theScene()
{
    static Scene scene;
    if (!scene.root())
        scene.reset();
    return scene;
}

namespace
{

// The table of named nodes. Entry 0 names no node; freed entries are reused, each with a new
// generation, and one whose generation has come round again is retired instead, so a stale
// reference never names a later node. Never destroyed: handles may outlive the scene.
struct NamedNode
{
    SceneNode *node = nullptr;
    std::uint32_t generation = 0;
    std::uint32_t nextFree = 0;
};
std::vector<NamedNode> &theNamedNodes()
{
    static auto *const table = new std::vector<NamedNode>(1);
    return *table;
}
std::uint32_t theFreeNamedNode = 0;

} // namespace

SceneNodeRef SceneNode::ref()
{
    if (!myEntry.number)
    {
        auto &table = theNamedNodes();
        std::uint32_t number = theFreeNamedNode;
        if (number)
            theFreeNamedNode = table[number].nextFree;
        else
        {
            number = static_cast<std::uint32_t>(table.size());
            table.emplace_back();
        }
        table[number].node = this;
        myEntry.number = number;
        myEntry.generation = table[number].generation;
    }
    return {myEntry.number, myEntry.generation};
}

SceneNode::Entry::~Entry()
{
    if (!number)
        return;
    NamedNode &named = theNamedNodes()[number];
    named.node = nullptr;
    if (++named.generation != 0)
    {
        named.nextFree = theFreeNamedNode;
        theFreeNamedNode = number;
    }
}

std::shared_ptr<SceneNode> SceneNodeRef::lock() const
{
    NamedNode const &named = theNamedNodes()[myEntry];
    return named.node && named.generation == myGeneration ? named.node->weak_from_this().lock() : nullptr;
}

namespace
{

template <class Held>
std::shared_ptr<SceneNode> liveNodeOf(Held const &held, char const *message)
{
    auto node = held.lock();
    if (!node || !node->isInScene())
        throw KOM_ObjectWasDeleted(message);
    return node;
}

} // namespace

std::shared_ptr<SceneNode> liveNode(std::weak_ptr<SceneNode> const &held, char const *message)
{
    return liveNodeOf(held, message);
}

std::shared_ptr<SceneNode> liveNode(SceneNodeRef const &held, char const *message)
{
    return liveNodeOf(held, message);
}

} // namespace kalhost
