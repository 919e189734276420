#include "host/scene.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "host/parms.h"
#include "model/errors.h"

namespace kalhost
{

long LiveCounted::theCount = 0;

namespace
{

NodeTypeInfo const theRootType = {"root", KOM_RootCategory, KOM_ManagerCategory, 0};

// Managers hold the networks of the baseline scene; each is its own type.
std::vector<NodeTypeInfo> const theManagers = {
    {"obj", KOM_ManagerCategory, KOM_ObjectCategory, 0},    {"out", KOM_ManagerCategory, KOM_RopCategory, 0},
    {"shop", KOM_ManagerCategory, KOM_ShopCategory, 0},     {"cop", KOM_ManagerCategory, KOM_Cop2NetCategory, 0},
    {"chop", KOM_ManagerCategory, KOM_ChopNetCategory, 0},  {"vop", KOM_ManagerCategory, KOM_VopNetCategory, 0},
    {"pop", KOM_ManagerCategory, KOM_PopNetCategory, 0},
};

using NodeMap = std::map<SceneNode const *, std::shared_ptr<SceneNode>>;

void adopt(std::shared_ptr<SceneNode> const &network, std::shared_ptr<SceneNode> const &node)
{
    node->name = availableName(*network, node->name);
    node->parent = network;
    network->children.push_back(node);
}

void detach(std::shared_ptr<SceneNode> const &node)
{
    if (auto const network = node->parent.lock())
    {
        auto &siblings = network->children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), node), siblings.end());
    }
    node->parent.reset();
}

// A copy of `node` alone: no contents, no place in a network.
std::shared_ptr<SceneNode> shallowCopy(SceneNode const &node, NodeMap &copies)
{
    auto copy = std::make_shared<SceneNode>(node);
    copyParms(node, *copy);
    copy->children.clear();
    copy->parent.reset();
    copy->currentChild.reset();
    copy->selected = false;
    copy->networkBoxes.clear();
    for (auto const &box : node.networkBoxes)
        copy->networkBoxes.push_back(std::make_shared<SceneNetworkBox>(*box));
    copies[&node] = copy;
    return copy;
}

// A copy of `node` and its contents; `copies` maps each original to its copy. Networks nest
// as deep as scripts make them, so the walk keeps its own list of networks still to copy.
std::shared_ptr<SceneNode> deepCopy(SceneNode const &node, NodeMap &copies)
{
    auto top = shallowCopy(node, copies);
    std::vector<std::pair<SceneNode const *, std::shared_ptr<SceneNode>>> pending{{&node, top}};
    while (!pending.empty())
    {
        auto const [original, copy] = pending.back();
        pending.pop_back();
        for (auto const &child : original->children)
        {
            auto childCopy = shallowCopy(*child, copies);
            childCopy->parent = copy;
            copy->children.push_back(childCopy);
            pending.emplace_back(child.get(), childCopy);
        }
    }
    return top;
}

// Points the inputs of the copies at the copies of their sources; cuts wires to nodes not
// copied. Indirect inputs follow their subnet the same way.
void rewire(NodeMap const &copies)
{
    for (auto const &[original, copy] : copies)
        for (auto &input : copy->inputs)
        {
            auto const found = copies.find(input.node.lock().get());
            input.node = found == copies.end() ? std::shared_ptr<SceneNode>() : found->second;
        }
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

int trailingNumber(std::string const &name)
{
    std::size_t start = name.size();
    while (start > 0 && std::isdigit(static_cast<unsigned char>(name[start - 1])))
        --start;
    std::string const digits = name.substr(start, 9);
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

std::string availableName(SceneNode const &network, std::string const &wanted)
{
    if (!network.child(wanted))
        return wanted;
    std::size_t stemEnd = wanted.size();
    while (stemEnd > 0 && std::isdigit(static_cast<unsigned char>(wanted[stemEnd - 1])))
        --stemEnd;
    std::string const stem = wanted.substr(0, stemEnd);
    for (int number = trailingNumber(wanted) + 1;; ++number)
    {
        std::string candidate = stem + std::to_string(number);
        if (!network.child(candidate))
            return candidate;
    }
}

SceneNode::~SceneNode()
{
    // Contents that nothing else holds go with their network; freeing them one network at a
    // time keeps the stack flat however deep networks nest.
    std::vector<std::shared_ptr<SceneNode>> pending = std::move(children);
    while (!pending.empty())
    {
        std::shared_ptr<SceneNode> node = std::move(pending.back());
        pending.pop_back();
        if (node.use_count() == 1)
            for (auto &child : node->children)
                pending.push_back(std::move(child));
    }
}

std::string SceneNode::path() const
{
    std::vector<SceneNode const *> chain;
    std::shared_ptr<SceneNode const> up;
    for (SceneNode const *node = this; node->parent.lock(); node = up.get())
    {
        chain.push_back(node);
        up = node->parent.lock();
    }
    if (chain.empty())
        return "/";
    std::string result;
    for (auto node = chain.rbegin(); node != chain.rend(); ++node)
        result += "/" + (*node)->name;
    return result;
}

std::shared_ptr<SceneNode> SceneNode::child(std::string const &childName) const
{
    for (auto const &candidate : children)
        if (candidate->name == childName)
            return candidate;
    return nullptr;
}

bool SceneNode::isInScene() const
{
    SceneNode const *node = this;
    while (auto const up = node->parent.lock())
        node = up.get();
    return node == theScene().root().get();
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
    auto const network = parent.lock();
    if (!network)
        return result;
    for (auto const &sibling : network->children)
        for (auto const &input : sibling->inputs)
            if (!input.indirect && input.node.lock().get() == this)
            {
                result.push_back(sibling);
                break;
            }
    return result;
}

void Scene::reset()
{
    myRoot = std::make_shared<SceneNode>();
    myRoot->type = &theRootType;
    for (auto const &manager : theManagers)
    {
        auto node = std::make_shared<SceneNode>();
        node->name = manager.name;
        node->type = &manager;
        node->parent = myRoot;
        myRoot->children.push_back(node);
    }
    myPwd.reset();
    myClock = Clock();
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
    while (current && start <= path.size())
    {
        std::size_t const end = std::min(path.find('/', start), path.size());
        std::string const part = path.substr(start, end - start);
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
        for (auto const &child : base->children)
            if (child->name.compare(0, prefix.size(), prefix) == 0)
                result.push_back(directory + child->name);
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
    auto node = std::make_shared<SceneNode>();
    node->name = nodeName;
    node->type = type;
    node->parent = parent;
    createParms(*node);
    parent->children.push_back(node);
    return node;
}

void Scene::destroy(std::shared_ptr<SceneNode> const &node)
{
    if (!node->parent.lock())
        throw KOM_OperationFailed("The root node cannot be destroyed");
    detach(node);
}

void Scene::rename(std::shared_ptr<SceneNode> const &node, std::string const &name)
{
    auto const network = node->parent.lock();
    if (!network || network == myRoot)
        throw KOM_OperationFailed(("Cannot rename " + node->path()).c_str());
    if (!isValidNodeName(name))
        throw KOM_InvalidNodeName(("Invalid node name: " + name).c_str());
    auto const holder = network->child(name);
    if (holder && holder != node)
        throw KOM_OperationFailed(("Node name already in use: " + name).c_str());
    node->name = name;
}

std::vector<std::shared_ptr<SceneNode>> Scene::copyTo(
    std::vector<std::shared_ptr<SceneNode>> const &nodes,
    std::shared_ptr<SceneNode> const &network)
{
    checkDestination(nodes, network);
    NodeMap copies;
    std::vector<std::shared_ptr<SceneNode>> result;
    for (auto const &node : nodes)
        result.push_back(deepCopy(*node, copies));
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
    auto const isMoving = [&nodes](std::shared_ptr<SceneNode> const &node) {
        return std::find(nodes.begin(), nodes.end(), node) != nodes.end();
    };
    for (auto const &node : nodes)
    {
        if (node->parent.lock() == network)
            continue;
        // Wires across the move are cut, both ways.
        for (auto &input : node->inputs)
            if (!isMoving(input.node.lock()))
                input = SceneNode::Input();
        for (auto const &output : node->outputs())
            if (!isMoving(output))
                for (auto &input : output->inputs)
                    if (input.node.lock() == node)
                        input = SceneNode::Input();
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
    auto replacement = std::make_shared<SceneNode>(*node);
    replacement->type = type;
    replacement->children.clear();
    replacement->networkBoxes.clear();
    replacement->currentChild.reset();
    replacement->assetName.clear();
    if (keepContents && type->childCategoryCode == node->type->childCategoryCode)
    {
        for (auto const &child : node->children)
            child->parent = replacement;
        replacement->children = node->children;
        replacement->networkBoxes = node->networkBoxes;
        node->children.clear();
    }
    for (auto const &output : node->outputs())
        for (auto &input : output->inputs)
            if (!input.indirect && input.node.lock() == node)
                input.node = replacement;
    auto &siblings = network->children;
    std::replace(siblings.begin(), siblings.end(), node, replacement);
    node->parent.reset();
    if (!keepName)
        replacement->name = availableName(*network, typeName + "1");
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
    std::copy(nodes.front()->position, nodes.front()->position + 2, subnet->position);
    moveTo(nodes, subnet);
    return subnet;
}

void Scene::extract(std::shared_ptr<SceneNode> const &subnet)
{
    auto const network = subnet->parent.lock();
    if (!subnet->isSubnet() || !network)
        throw KOM_InvalidNodeType((subnet->path() + " is not a subnet").c_str());
    auto const contents = subnet->children;
    moveTo(contents, network);
    destroy(subnet);
}

Scene &theScene()
{
    static Scene scene = [] {
        Scene baseline;
        baseline.reset();
        return baseline;
    }();
    return scene;
}

} // namespace kalhost
