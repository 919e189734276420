// Flags and locks of object, surface, channel and particle nodes, and the display and render
// nodes of their networks.
#include "host/geometry.h"
#include "host/nodes.h"
#include "model/errors.h"

namespace kalhost
{

namespace
{

// Networks whose display and render nodes are children chosen among them.
bool choosesAmongChildren(SceneNode const &network)
{
    int const children = network.type->childCategoryCode;
    return children == KOM_SopCategory || children == KOM_PopCategory || children == KOM_DopCategory;
}

std::shared_ptr<SceneNode> chosenChild(SceneNode const &network, SceneChosenChild const &choice)
{
    if (!choosesAmongChildren(network))
        return nullptr;
    if (choice.chosen)
    {
        if (isTurnedOff(choice))
            return nullptr;
        auto node = choice.node.lock();
        if (node && node->isInScene() && node->parent.lock().get() == &network)
            return node;
    }
    int const category = network.type->childCategoryCode;
    return network.children.lastWhere(
        [category](SceneNode const &child) { return child.type->categoryCode == category; });
}

// Surface, particle and simulation nodes: one child of their network is shown, one rendered.
bool isChosenByNetwork(SceneNode const &node)
{
    int const category = node.type->categoryCode;
    return category == KOM_SopCategory || category == KOM_PopCategory || category == KOM_DopCategory;
}

void choose(std::shared_ptr<SceneNode> const &node, SceneChosenChild SceneNode::*which,
            std::shared_ptr<SceneNode> (*current)(SceneNode const &), bool on)
{
    auto const network = node->parent.lock();
    if (!network)
        return;
    if (on)
        network.get()->*which = {node, true};
    else if (current(*network) == node)
        network.get()->*which = {{}, true};
}

} // namespace

char const *interfaceOf(int categoryCode)
{
    switch (categoryCode)
    {
    case KOM_ObjectCategory: return "ObjNode";
    case KOM_SopCategory: return "SopNode";
    case KOM_PopNetCategory: return "PopNetNode";
    case KOM_PopCategory: return "PopNode";
    case KOM_ChopCategory: return "ChopNode";
    case KOM_ShopCategory: return "ShopNode";
    case KOM_VopNetCategory: return "VopNetNode";
    case KOM_DopCategory: return "DopNode";
    default: return nullptr;
    }
}

bool isTurnedOff(SceneChosenChild const &choice)
{
    std::weak_ptr<SceneNode> const none;
    return choice.chosen && !choice.node.owner_before(none) && !none.owner_before(choice.node);
}

std::shared_ptr<SceneNode> displayedChild(SceneNode const &network)
{
    return chosenChild(network, network.displayChild);
}

std::shared_ptr<SceneNode> renderedChild(SceneNode const &network)
{
    return chosenChild(network, network.renderChild);
}

// --- Flags several interfaces declare ------------------------------------------------------

bool NodeHandle::flag(std::initializer_list<char const *> declaring, char const *method,
                      std::uint32_t bit) const
{
    sharedOperation(myNode, declaring, method);
    return (scene()->flags & bit) != 0;
}

void NodeHandle::setFlag(std::initializer_list<char const *> declaring, char const *method,
                         std::uint32_t bit, bool on)
{
    sharedOperation(myNode, declaring, method, on);
    auto const self = editableScene();
    self->flags = on ? self->flags | bit : self->flags & ~bit;
}

bool NodeHandle::isBypassed()
{
    sharedOperation(myNode, {"ChopNode", "DopNode", "PopNode", "SopNode"}, "isBypassed");
    return (scene()->flags & FlagBypass) != 0;
}

void NodeHandle::bypass(bool on)
{
    sharedOperation(myNode, {"ChopNode", "DopNode", "PopNode", "SopNode"}, "bypass", on);
    auto const self = editableScene();
    self->flags = on ? self->flags | FlagBypass : self->flags & ~FlagBypass;
}

bool NodeHandle::isDisplayFlagSet()
{
    sharedOperation(myNode, {"ObjNode", "ChopNode", "DopNode", "PopNode", "SopNode"}, "isDisplayFlagSet");
    auto const self = scene();
    if (!isChosenByNetwork(*self))
        return (self->flags & FlagDisplay) != 0;
    auto const network = self->parent.lock();
    return network && displayedChild(*network) == self;
}

void NodeHandle::setDisplayFlag(bool on)
{
    sharedOperation(myNode, {"ObjNode", "ChopNode", "DopNode", "PopNode", "SopNode"}, "setDisplayFlag", on);
    auto const self = editableScene();
    if (isChosenByNetwork(*self))
        choose(self, &SceneNode::displayChild, displayedChild, on);
    else
        self->flags = on ? self->flags | FlagDisplay : self->flags & ~FlagDisplay;
}

bool NodeHandle::isRenderFlagSet()
{
    sharedOperation(myNode, {"PopNode", "SopNode"}, "isRenderFlagSet");
    auto const self = scene();
    auto const network = self->parent.lock();
    return isChosenByNetwork(*self) && network && renderedChild(*network) == self;
}

void NodeHandle::setRenderFlag(bool on)
{
    sharedOperation(myNode, {"PopNode", "SopNode"}, "setRenderFlag", on);
    auto const self = editableScene();
    if (!isChosenByNetwork(*self))
        throw KOM_OperationFailed((self->path() + " has no render flag").c_str());
    choose(self, &SceneNode::renderChild, renderedChild, on);
}

bool NodeHandle::isTemplateFlagSet()
{
    return flag({"PopNode", "SopNode"}, "isTemplateFlagSet", FlagTemplate);
}

void NodeHandle::setTemplateFlag(bool on) { setFlag({"PopNode", "SopNode"}, "setTemplateFlag", FlagTemplate, on); }

bool NodeHandle::isUnloadFlagSet() { return flag({"ChopNode", "SopNode"}, "isUnloadFlagSet", FlagUnload); }

void NodeHandle::setUnloadFlag(bool on) { setFlag({"ChopNode", "SopNode"}, "setUnloadFlag", FlagUnload, on); }

KOM_Node *NodeHandle::displayNode()
{
    // Asked of a network (an object, a particle network), its own child; asked of a node
    // inside one, its network's.
    sharedOperation(myNode, {"ObjNode", "DopNode", "PopNetNode", "PopNode", "SopNode"}, "displayNode");
    auto const self = scene();
    auto const network = isChosenByNetwork(*self) ? self->parent.lock() : self;
    return handleFor(network ? displayedChild(*network) : nullptr);
}

KOM_Node *NodeHandle::renderNode()
{
    sharedOperation(myNode, {"ObjNode", "PopNetNode", "PopNode", "SopNode"}, "renderNode");
    auto const self = scene();
    auto const network = isChosenByNetwork(*self) ? self->parent.lock() : self;
    return handleFor(network ? renderedChild(*network) : nullptr);
}

// --- ChopNode ---------------------------------------------------------------------------

bool NodeHandle::isAudioFlagSet() { return flag({"ChopNode"}, "isAudioFlagSet", FlagAudio); }

void NodeHandle::setAudioFlag(bool on) { setFlag({"ChopNode"}, "setAudioFlag", FlagAudio, on); }

bool NodeHandle::isExportFlagSet() { return flag({"ChopNode"}, "isExportFlagSet", FlagExport); }

void NodeHandle::setExportFlag(bool on) { setFlag({"ChopNode"}, "setExportFlag", FlagExport, on); }

// --- SopNode ----------------------------------------------------------------------------

KOM_Geometry *NodeHandle::geometry()
{
    hostOperation("SopNode.geometry");
    return geometryHandle(scene());
}

KOM_Point *NodeHandle::curPoint()
{
    // The point tools work on: the last one the node's geometry has.
    hostOperation("SopNode.curPoint");
    auto const self = sceneOfCategory(KOM_SopCategory);
    GeometrySource const source(self);
    GeometryData const &data = source.read();
    if (data.pointCount() == 0)
        throw KOM_OperationFailed((self->path() + " has no points").c_str());
    return PointHandle::at(source, data, data.pointCount() - 1);
}

bool NodeHandle::isSelectableTemplateFlagSet()
{
    return flag({"SopNode"}, "isSelectableTemplateFlagSet", FlagSelectableTemplate);
}

void NodeHandle::setSelectableTemplateFlag(bool on)
{
    setFlag({"SopNode"}, "setSelectableTemplateFlag", FlagSelectableTemplate, on);
}

bool NodeHandle::isHighlightFlagSet() { return flag({"SopNode"}, "isHighlightFlagSet", FlagHighlight); }

void NodeHandle::setHighlightFlag(bool on) { setFlag({"SopNode"}, "setHighlightFlag", FlagHighlight, on); }

bool NodeHandle::isSoftLocked() { return flag({"SopNode"}, "isSoftLocked", FlagSoftLock); }

void NodeHandle::setSoftLocked(bool on) { setFlag({"SopNode"}, "setSoftLocked", FlagSoftLock, on); }

bool NodeHandle::isHardLocked() { return flag({"SopNode"}, "isHardLocked", FlagHardLock); }

void NodeHandle::setHardLocked(bool on)
{
    // Locking keeps the geometry the node has now, so it is cooked first.
    hostOperation("SopNode.setHardLocked", on);
    auto const self = editableScene();
    if (on && self->type->categoryCode == KOM_SopCategory)
        cookedGeometry(self);
    self->flags = on ? self->flags | FlagHardLock : self->flags & ~FlagHardLock;
}

} // namespace kalhost
