#include "host/scene.h"

#include <cctype>

#include "model/errors.h"

namespace kalhost
{

long LiveCounted::theCount = 0;

namespace
{

NodeTypeInfo const theRootType = {"root", RootCategory, ManagerCategory, 0};

// Managers hold the networks of the baseline scene; each is its own type.
std::vector<NodeTypeInfo> const theManagers = {
    {"obj", ManagerCategory, ObjectCategory, 0},    {"out", ManagerCategory, RopCategory, 0},
    {"shop", ManagerCategory, ShopCategory, 0},     {"cop", ManagerCategory, Cop2NetCategory, 0},
    {"chop", ManagerCategory, ChopNetCategory, 0},  {"vop", ManagerCategory, VopNetCategory, 0},
    {"pop", ManagerCategory, PopNetCategory, 0},
};

bool isValidName(std::string const &name)
{
    if (name.empty())
        return false;
    for (char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-' && c != '.')
            return false;
    return true;
}

std::string uniqueName(SceneNode const &parent, std::string const &base)
{
    for (int suffix = 1;; ++suffix)
    {
        std::string candidate = base + std::to_string(suffix);
        if (!parent.child(candidate))
            return candidate;
    }
}

} // namespace

std::string SceneNode::path() const
{
    auto const up = parent.lock();
    if (!up)
        return "/";
    std::string const above = up->path();
    return (above == "/" ? above : above + "/") + name;
}

std::shared_ptr<SceneNode> SceneNode::child(std::string const &childName) const
{
    for (auto const &candidate : children)
        if (candidate->name == childName)
            return candidate;
    return nullptr;
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
        if (!isValidName(nodeName))
            throw KOM_InvalidNodeName(("Invalid node name: " + nodeName).c_str());
        if (parent->child(nodeName))
            throw KOM_OperationFailed(("Node name already in use: " + nodeName).c_str());
    }
    else
    {
        nodeName = uniqueName(*parent, typeName);
    }
    auto node = std::make_shared<SceneNode>();
    node->name = nodeName;
    node->type = type;
    node->parent = parent;
    parent->children.push_back(node);
    return node;
}

void Scene::destroy(std::shared_ptr<SceneNode> const &node)
{
    auto const parent = node->parent.lock();
    if (!parent)
        throw KOM_OperationFailed("The root node cannot be destroyed");
    auto &siblings = parent->children;
    for (auto it = siblings.begin(); it != siblings.end(); ++it)
        if (*it == node)
        {
            siblings.erase(it);
            break;
        }
    node->parent.reset();
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
