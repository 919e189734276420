// Network boxes: named rectangles of a network editor that group some of its nodes.
#include <algorithm>
#include <cmath>

#include "host/mathvalues.h"
#include "host/nodes.h"
#include "model/errors.h"

namespace kalhost
{

namespace
{

// Room left between a fitted box's edge and its nodes.
constexpr float BoxMargin = 0.5f;

void checkPair(std::vector<float> const &values, char const *what)
{
    if (values.size() != 2)
        throw KOM_InvalidSize((std::string(what) + " has two components").c_str());
    for (float value : values)
        if (!std::isfinite(value))
            throw KOM_InvalidInput((std::string(what) + " must be finite").c_str());
}

void setSizeOf(SceneNetworkBox &box, float width, float height)
{
    if (width < 0.0f || height < 0.0f)
        throw KOM_InvalidInput("A network box cannot have a negative size");
    box.size[0] = width;
    box.size[1] = height;
}

// Grows the box so that it holds the node with room to spare.
void enclose(SceneNetworkBox &box, SceneNode const &node)
{
    auto const &at = node.position();
    float const left = at[0] - BoxMargin, bottom = at[1] - BoxMargin;
    float const right = at[0] + NodeSize[0] + BoxMargin;
    float const top = at[1] + NodeSize[1] + BoxMargin;
    float const oldRight = box.position[0] + box.size[0], oldTop = box.position[1] + box.size[1];
    box.position[0] = std::min(box.position[0], left);
    box.position[1] = std::min(box.position[1], bottom);
    box.size[0] = std::max(oldRight, right) - box.position[0];
    box.size[1] = std::max(oldTop, top) - box.position[1];
}

bool isMember(SceneNetworkBox const &box, SceneNode const &node)
{
    return node.inBox.box.lock().get() == &box;
}

} // namespace

std::vector<std::shared_ptr<SceneNode>> boxMembers(SceneNode const &network, SceneNetworkBox &box)
{
    // Members leave a box when they leave its network; a scene replaced as a whole does not
    // tell its boxes, so whoever is no longer there is taken out here.
    auto const away = [&network](auto const &node) {
        return !node->isInScene() || node->parent.lock().get() != &network;
    };
    auto members = membersOf(box);
    if (std::none_of(members.begin(), members.end(), away))
        return members;
    for (auto const &node : members)
        if (away(node))
            takeOutOfBox(*node);
    return membersOf(box);
}

// --- NetworkBox -------------------------------------------------------------------------

std::shared_ptr<SceneNode> NetworkBoxHandle::network() const
{
    auto network = liveNode(myNetwork);
    if (myBox.expired())
        throw KOM_ObjectWasDeleted();
    return network;
}

std::shared_ptr<SceneNetworkBox> NetworkBoxHandle::scene() const
{
    network();
    auto box = myBox.lock();
    if (!box)
        throw KOM_ObjectWasDeleted();
    return box;
}

std::string NetworkBoxHandle::__repr__()
{
    hostOperation("NetworkBox.__repr__");
    auto const box = scene();
    return "<kal.NetworkBox " + network()->path() + "/" + box->name + ">";
}

std::string NetworkBoxHandle::name()
{
    hostOperation("NetworkBox.name");
    return scene()->name;
}

void NetworkBoxHandle::setName(char const *name)
{
    hostOperation("NetworkBox.setName", name);
    auto const box = scene();
    std::string const wanted = name ? name : "";
    checkBoxName(*network(), wanted, box.get());
    box->name = wanted;
}

KOM_Vector2 *NetworkBoxHandle::position()
{
    hostOperation("NetworkBox.position");
    auto const box = scene();
    return new KOM_Vector2(box->position[0], box->position[1]);
}

void NetworkBoxHandle::setPosition(std::vector<float> const &position)
{
    hostOperation("NetworkBox.setPosition", position);
    auto const box = scene();
    checkPair(position, "A position");
    box->position[0] = position[0];
    box->position[1] = position[1];
}

void NetworkBoxHandle::move(std::vector<float> const &amount)
{
    hostOperation("NetworkBox.move", amount);
    auto const box = scene();
    checkPair(amount, "An amount");
    auto const self = network();
    for (auto const &node : boxMembers(*self, *box))
        Scene::place(*self, *node, node->position()[0] + amount[0], node->position()[1] + amount[1]);
    box->position[0] += amount[0];
    box->position[1] += amount[1];
}

KOM_Vector2 *NetworkBoxHandle::size()
{
    hostOperation("NetworkBox.size");
    auto const box = scene();
    return new KOM_Vector2(box->size[0], box->size[1]);
}

void NetworkBoxHandle::setSize(std::vector<float> const &size)
{
    hostOperation("NetworkBox.setSize", size);
    auto const box = scene();
    checkPair(size, "A size");
    setSizeOf(*box, size[0], size[1]);
}

void NetworkBoxHandle::resize(std::vector<float> const &amount)
{
    hostOperation("NetworkBox.resize", amount);
    auto const box = scene();
    checkPair(amount, "An amount");
    setSizeOf(*box, box->size[0] + amount[0], box->size[1] + amount[1]);
}

void NetworkBoxHandle::fitAroundContents()
{
    // An empty box keeps its place and size.
    hostOperation("NetworkBox.fitAroundContents");
    auto const box = scene();
    auto const members = boxMembers(*network(), *box);
    if (members.empty())
        return;
    box->position[0] = members.front()->position()[0];
    box->position[1] = members.front()->position()[1];
    box->size[0] = box->size[1] = 0.0f;
    for (auto const &node : members)
        enclose(*box, *node);
}

bool NetworkBoxHandle::isMinimized()
{
    hostOperation("NetworkBox.isMinimized");
    return scene()->minimized;
}

void NetworkBoxHandle::setMinimized(bool on)
{
    hostOperation("NetworkBox.setMinimized", on);
    scene()->minimized = on;
}

bool NetworkBoxHandle::isPicked()
{
    hostOperation("NetworkBox.isPicked");
    return scene()->picked;
}

void NetworkBoxHandle::setPicked(bool on)
{
    hostOperation("NetworkBox.setPicked", on);
    scene()->picked = on;
}

KOM_Color *NetworkBoxHandle::color()
{
    hostOperation("NetworkBox.color");
    float const *rgb = scene()->color;
    return new KOM_Color(colorFromRGB(rgb[0], rgb[1], rgb[2]));
}

void NetworkBoxHandle::setColor(KOM_Color &color)
{
    hostOperation("NetworkBox.setColor", color);
    auto const box = scene();
    auto const rgb = rgbOf(color);
    std::copy(rgb.begin(), rgb.end(), box->color);
}

std::vector<KOM_ElemPtr<KOM_Node>> NetworkBoxHandle::nodes()
{
    hostOperation("NetworkBox.nodes");
    auto const box = scene();
    return NodeHandle::handlesFor(boxMembers(*network(), *box));
}

void NetworkBoxHandle::addNode(KOM_Node &node)
{
    // A node sits in one box at most: adding it here takes it out of any other.
    hostOperation("NetworkBox.addNode", node);
    auto const box = scene();
    auto const self = network();
    auto const member = NodeHandle::sceneOf(&node);
    if (!member || member->parent.lock() != self)
        throw KOM_OperationFailed(("The node is not in the box's network " + self->path()).c_str());
    if (isMember(*box, *member))
        return;
    putInBox(box, member);
    enclose(*box, *member);
}

void NetworkBoxHandle::removeNode(KOM_Node &node)
{
    hostOperation("NetworkBox.removeNode", node);
    auto const box = scene();
    auto const member = NodeHandle::sceneOf(&node);
    if (!member || !isMember(*box, *member))
        throw KOM_OperationFailed(("The node is not in the network box " + box->name).c_str());
    takeOutOfBox(*member);
}

void NetworkBoxHandle::removeAllNodes()
{
    hostOperation("NetworkBox.removeAllNodes");
    auto const box = scene();
    if (network()->isInsideLockedAsset())
        throw KOM_OperationFailed("Cannot edit inside a locked asset");
    for (auto const &node : membersOf(*box))
        takeOutOfBox(*node);
}

void NetworkBoxHandle::destroy(bool destroy_contents)
{
    hostOperation("NetworkBox.destroy", destroy_contents);
    auto const box = scene();
    auto const self = network();
    if (self->isInsideLockedAsset() || self->isLockedAsset())
        throw KOM_OperationFailed(("Cannot edit inside a locked asset: " + self->path()).c_str());
    auto const members = boxMembers(*self, *box);
    for (auto const &node : members)
        if (destroy_contents)
            theScene().destroy(node);
        else
            takeOutOfBox(*node);
    auto &boxes = self->networkBoxes;
    boxes.erase(std::remove(boxes.begin(), boxes.end(), box), boxes.end());
}

} // namespace kalhost
