#include "host/nodes.h"

#include <functional>

#include "host/journal.h"
#include "model/errors.h"

namespace kalhost
{

namespace
{
constexpr int MaxInputs = 9999;
}

std::shared_ptr<SceneNode> NodeHandle::scene() const
{
    auto node = myNode.lock();
    if (!node || (!node->parent.lock() && node != theScene().root()))
        throw KOM_ObjectWasDeleted();
    return node;
}

KOM_Node *NodeHandle::handleFor(std::shared_ptr<SceneNode> const &node)
{
    return node ? new NodeHandle(node) : nullptr;
}

std::shared_ptr<SceneNode> NodeHandle::sceneOf(KOM_Node *node)
{
    auto handle = dynamic_cast<NodeHandle *>(node);
    return handle ? handle->scene() : nullptr;
}

bool NodeHandle::__eq__(KOM_Node *other)
{
    hostOperation("Node.__eq__", other);
    return other && scene() == sceneOf(other);
}

bool NodeHandle::__ne__(KOM_Node *other)
{
    hostOperation("Node.__ne__", other);
    return !other || scene() != sceneOf(other);
}

int NodeHandle::__hash__()
{
    hostOperation("Node.__hash__");
    return static_cast<int>(std::hash<SceneNode *>()(scene().get()));
}

std::string NodeHandle::__repr__()
{
    hostOperation("Node.__repr__");
    return "<kal.Node " + scene()->path() + ">";
}

std::string NodeHandle::__str__()
{
    hostOperation("Node.__str__");
    return scene()->path();
}

std::string NodeHandle::path()
{
    hostOperation("Node.path");
    return scene()->path();
}

std::string NodeHandle::name()
{
    hostOperation("Node.name");
    return scene()->name;
}

int NodeHandle::categoryCode()
{
    hostOperation("Node.categoryCode");
    return scene()->type->categoryCode;
}

int NodeHandle::flagBits()
{
    hostOperation("Node.flagBits");
    return scene()->type->flagBits;
}

KOM_Node *NodeHandle::node(char const *node_path)
{
    hostOperation("Node.node", node_path);
    return handleFor(theScene().find(node_path ? node_path : "", scene()));
}

KOM_Node *NodeHandle::createNode(char const *node_type_name, char const *node_name,
                                 bool run_init_scripts, bool load_contents)
{
    hostOperation("Node.createNode", node_type_name, node_name, run_init_scripts, load_contents);
    auto parent = scene();
    if (parent->type->childCategoryCode == NoCategory)
        throw KOM_OperationFailed("This node cannot contain other nodes");
    return handleFor(theScene().create(parent, node_type_name ? node_type_name : "", node_name));
}

void NodeHandle::setInput(int input_index, KOM_Node *node, int output_index)
{
    hostOperation("Node.setInput", input_index, node, output_index);
    auto self = scene();
    if (input_index < 0 || input_index >= MaxInputs)
        throw KOM_InvalidInput("Input index out of range");
    auto source = sceneOf(node);
    if (source && source->parent.lock() != self->parent.lock())
        throw KOM_OperationFailed("Nodes to be connected must share a network");
    if (self->inputs.size() <= static_cast<std::size_t>(input_index))
        self->inputs.resize(input_index + 1);
    self->inputs[input_index] = {source, output_index};
}

void NodeHandle::setInput(int input_index, KOM_SubnetIndirectInput &)
{
    hostOperation("Node.setInput", input_index, "<indirect input>");
    scene();
    throw KOM_OperationFailed("This network has no indirect inputs");
}

std::vector<KOM_ElemPtr<KOM_Node>> NodeHandle::inputs()
{
    hostOperation("Node.inputs");
    std::vector<KOM_ElemPtr<KOM_Node>> result;
    for (auto const &input : scene()->inputs)
        if (auto source = input.node.lock())
            result.emplace_back(handleFor(source));
    return result;
}

std::vector<KOM_ElemPtr<KOM_Node>> NodeHandle::children()
{
    hostOperation("Node.children");
    std::vector<KOM_ElemPtr<KOM_Node>> result;
    for (auto const &child : scene()->children)
        result.emplace_back(handleFor(child));
    return result;
}

KOM_Node *NodeHandle::parent()
{
    hostOperation("Node.parent");
    return handleFor(scene()->parent.lock());
}

void NodeHandle::destroy()
{
    hostOperation("Node.destroy");
    theScene().destroy(scene());
}

} // namespace kalhost
