// Node handles: a node's own state, its wiring, its placement and its parameters.
#include "host/nodes.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <unordered_map>
#include <unordered_set>

#include "host/assets.h"
#include "host/geometry.h"
#include "host/journal.h"
#include "host/kept.h"
#include "host/mathvalues.h"
#include "host/parms.h"
#include "host/pool.h"
#include "host/parmtemplates.h"
#include "model/enums.h"
#include "model/errors.h"

namespace kalhost
{

namespace
{

constexpr int MaxInputs = 9999;
// Every subnet offers as many indirect inputs as an object subnet has inputs.
constexpr int SubnetInputCount = 4;

std::vector<std::string> splitPath(std::string const &path)
{
    std::vector<std::string> parts;
    std::size_t start = 1;
    while (start < path.size())
    {
        std::size_t const end = std::min(path.find('/', start), path.size());
        parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

} // namespace

std::shared_ptr<SceneNode> sourceOf(SceneNode::Input const &input)
{
    SceneNode::Input const *next = &input;
    for (auto node = next->node.lock(); node; node = next->node.lock())
    {
        if (!next->indirect)
            return node;
        auto const &outer = node->inputs();
        std::size_t const index = static_cast<std::size_t>(next->outputIndex);
        if (index >= outer.size())
            return nullptr;
        next = &outer[index];
    }
    return nullptr;
}

JournalValue JournalFormat<KOM_Node>::format(KOM_Node const &node)
{
    return journalHandle([&node] {
        auto const scene = NodeHandle::sceneOf(const_cast<KOM_Node *>(&node));
        return scene ? scene->path() : "<foreign node>";
    }, "<deleted node>");
}

std::shared_ptr<SceneNode> NodeHandle::scene() const
{
    if (mySeenIn == Scene::generation())
        return mySeen->shared_from_this();
    auto node = liveNode(myNode);
    mySeen = node.get();
    mySeenType = node->type;
    mySeenIn = Scene::generation();
    return node;
}

namespace
{

// Handles are made and freed with every node result.
auto &handleBlocks() { return blockPool<sizeof(NodeHandle), alignof(NodeHandle)>(); }

} // namespace

void *NodeHandle::operator new(std::size_t size)
{
    return PooledBlocks && size == sizeof(NodeHandle) ? handleBlocks().take() : ::operator new(size);
}

void NodeHandle::operator delete(void *handle, std::size_t size)
{
    if (PooledBlocks && size == sizeof(NodeHandle))
        handleBlocks().give(handle);
    else
        ::operator delete(handle);
}

KOM_Node *NodeHandle::handleFor(std::shared_ptr<SceneNode> const &node)
{
    return node ? new NodeHandle(node) : nullptr;
}

KOM_Node *NodeHandle::keptFor(std::shared_ptr<SceneNode> const &node)
{
    static KeptByNode<KOM_Node> kept;
    return kept(node, [&node] { return new NodeHandle(node); });
}

std::vector<KOM_ElemPtr<KOM_Node>> NodeHandle::handlesFor(
    std::vector<std::shared_ptr<SceneNode>> const &nodes)
{
    std::vector<KOM_ElemPtr<KOM_Node>> result;
    result.reserve(nodes.size());
    for (auto const &node : nodes)
        result.emplace_back(handleFor(node));
    return result;
}

std::vector<KOM_ElemPtr<KOM_Node>> NodeHandle::handlesFor(SceneChildren const &nodes)
{
    std::vector<KOM_ElemPtr<KOM_Node>> result;
    result.reserve(nodes.size());
    nodes.forEach([&result](auto const &node) { result.emplace_back(handleFor(node)); });
    return result;
}

std::shared_ptr<SceneNode> NodeHandle::sceneOf(KOM_Node *node)
{
    auto handle = dynamic_cast<NodeHandle *>(node);
    return handle ? handle->scene() : nullptr;
}

std::vector<std::shared_ptr<SceneNode>> NodeHandle::scenesOf(std::vector<KOM_Node *> const &nodes)
{
    std::vector<std::shared_ptr<SceneNode>> result;
    std::unordered_set<SceneNode const *> seen;
    for (KOM_Node *node : nodes)
    {
        auto scene = sceneOf(node);
        if (!scene)
            throw KOM_TypeError("Expected a node, got None");
        if (seen.insert(scene.get()).second)
            result.push_back(std::move(scene));
    }
    return result;
}

std::shared_ptr<SceneNode> NodeHandle::editableScene() const
{
    auto node = scene();
    if (node->isInsideLockedAsset())
        throw KOM_PermissionError(("Cannot edit inside a locked asset: " + node->path()).c_str());
    return node;
}

std::shared_ptr<SceneNode> NodeHandle::network() const
{
    auto node = scene();
    if (!node->holdsNetwork())
        throw KOM_OperationFailed((node->path() + " cannot contain other nodes").c_str());
    return node;
}

std::vector<std::string> NodeHandle::_getArgumentAutoComplete(char const *method_name,
                                                              char const *arguments)
{
    hostOperation("Node._getArgumentAutoComplete", method_name, arguments);
    auto const self = scene();
    if (!method_name || std::string(method_name) != "node" || !arguments)
        return {};
    return theScene().completePath(arguments, self);
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
    hostQuery("Node.path");
    return scene()->path();
}

std::string NodeHandle::relativePathTo(KOM_Node &base_node)
{
    hostOperation("Node.relativePathTo", base_node);
    auto const target = splitPath(scene()->path());
    auto const base = splitPath(sceneOf(&base_node)->path());
    std::size_t common = 0;
    while (common < target.size() && common < base.size() && target[common] == base[common])
        ++common;
    std::string result;
    for (std::size_t i = common; i < base.size(); ++i)
        result += result.empty() ? ".." : "/..";
    for (std::size_t i = common; i < target.size(); ++i)
        result += (result.empty() ? "" : "/") + target[i];
    return result.empty() ? "." : result;
}

std::string NodeHandle::name()
{
    hostQuery("Node.name");
    return scene()->name;
}

void NodeHandle::setName(char const *name)
{
    hostOperation("Node.setName", name);
    theScene().rename(editableScene(), name ? name : "");
}

int NodeHandle::digitsInName()
{
    hostOperation("Node.digitsInName");
    return trailingNumber(scene()->name);
}

KOM_NodeType *NodeHandle::type()
{
    hostQuery("Node.type");
    return nodeTypeHandle(scene()->type);
}

KOM_NodeTypeCategory *NodeHandle::childTypeCategory()
{
    hostOperation("Node.childTypeCategory");
    return categoryFor(scene()->type->childCategoryCode);
}

NodeTypeInfo const *NodeHandle::typeInfo() const
{
    return mySeenIn == Scene::generation() ? mySeenType : scene()->type;
}

int NodeHandle::categoryCode()
{
    hostQuery("Node.categoryCode");
    return typeInfo()->categoryCode;
}

int NodeHandle::flagBits()
{
    hostQuery("Node.flagBits");
    return typeInfo()->flagBits;
}

KOM_Node *NodeHandle::node(char const *node_path)
{
    hostQuery("Node.node", node_path);
    return handleFor(theScene().find(node_path ? node_path : "", scene()));
}

KOM_Node *NodeHandle::createNode(char const *node_type_name, char const *node_name,
                                 bool run_init_scripts, bool load_contents)
{
    hostOperation("Node.createNode", node_type_name, node_name, run_init_scripts, load_contents);
    auto parent = network();
    if (parent->isLockedAsset() || parent->isInsideLockedAsset())
        throw KOM_PermissionError(("Cannot edit inside a locked asset: " + parent->path()).c_str());
    auto const node = theScene().create(parent, node_type_name ? node_type_name : "", node_name);
    try
    {
        initAssetInstance(node, load_contents);
    }
    catch (...)
    {
        theScene().destroy(node); // an instance whose contents cannot be built is not made
        throw;
    }
    return handleFor(node);
}

void NodeHandle::runInitScripts()
{
    hostOperation("Node.runInitScripts");
    scene();
}

SceneNode::Input NodeHandle::sourceInput(std::shared_ptr<SceneNode> const &self, KOM_Node *node,
                                         int outputIndex) const
{
    auto source = sceneOf(node);
    if (!source)
        return {};
    if (source->parent.lock() != self->parent.lock())
        throw KOM_OperationFailed("Nodes to be connected must share a network");
    if (outputIndex < 0)
        throw KOM_InvalidInput("Output index out of range");
    // A wire that feeds a node from its own output chain would make a loop.
    if (Scene::wouldLoop(*self, *source))
        throw KOM_OperationFailed("The connection would create a loop");
    return {source, outputIndex, false};
}

SceneNode::Input NodeHandle::indirectSource(std::shared_ptr<SceneNode> const &self,
                                            KOM_SubnetIndirectInput &indirect) const
{
    auto handle = dynamic_cast<IndirectInputHandle *>(&indirect);
    auto const subnet = handle ? handle->subnet() : nullptr;
    if (!subnet || !subnet->isInScene())
        throw KOM_ObjectWasDeleted();
    if (subnet != self->parent.lock())
        throw KOM_OperationFailed("The indirect input belongs to another subnet");
    return {subnet, handle->inputIndex(), true};
}

void NodeHandle::connect(int index, SceneNode::Input const &input, bool shift)
{
    auto const self = editableScene();
    if (index < 0 || index >= MaxInputs)
        throw KOM_InvalidInput("Input index out of range");
    theScene().connect(*self, index, input, shift);
}

void NodeHandle::setInput(int input_index, KOM_Node *node, int output_index)
{
    hostOperation("Node.setInput", input_index, node, output_index);
    connect(input_index, sourceInput(editableScene(), node, output_index), false);
}

void NodeHandle::setInput(int input_index, KOM_SubnetIndirectInput &indirect_input)
{
    hostOperation("Node.setInput", input_index, "<indirect input>");
    connect(input_index, indirectSource(editableScene(), indirect_input), false);
}

void NodeHandle::setFirstInput(KOM_Node *node, int output_index)
{
    hostOperation("Node.setFirstInput", node, output_index);
    connect(0, sourceInput(editableScene(), node, output_index), false);
}

void NodeHandle::setFirstInput(KOM_SubnetIndirectInput &indirect_input)
{
    hostOperation("Node.setFirstInput", "<indirect input>");
    connect(0, indirectSource(editableScene(), indirect_input), false);
}

namespace
{
int firstFreeInput(SceneNode const &node)
{
    auto const &inputs = node.inputs();
    return static_cast<int>(std::find_if(inputs.begin(), inputs.end(),
                                         [](auto const &input) { return !isConnected(input); }) -
                            inputs.begin());
}
} // namespace

void NodeHandle::setNextInput(KOM_Node *node, int output_index)
{
    hostOperation("Node.setNextInput", node, output_index);
    auto const self = editableScene();
    connect(firstFreeInput(*self), sourceInput(self, node, output_index), false);
}

void NodeHandle::setNextInput(KOM_SubnetIndirectInput &indirect_input)
{
    hostOperation("Node.setNextInput", "<indirect input>");
    auto const self = editableScene();
    connect(firstFreeInput(*self), indirectSource(self, indirect_input), false);
}

void NodeHandle::insertInput(int input_index, KOM_Node *node, int output_index)
{
    hostOperation("Node.insertInput", input_index, node, output_index);
    connect(input_index, sourceInput(editableScene(), node, output_index), true);
}

void NodeHandle::insertInput(int input_index, KOM_SubnetIndirectInput &indirect_input)
{
    hostOperation("Node.insertInput", input_index, "<indirect input>");
    connect(input_index, indirectSource(editableScene(), indirect_input), true);
}

std::vector<KOM_ElemPtr<KOM_Node>> NodeHandle::inputs()
{
    hostQuery("Node.inputs");
    std::vector<KOM_ElemPtr<KOM_Node>> result;
    for (auto const &input : scene()->inputs())
        if (auto source = sourceOf(input))
            result.emplace_back(handleFor(source));
    return result;
}

std::vector<KOM_ElemPtr<KOM_NodeConnection>> NodeHandle::inputConnections()
{
    hostOperation("Node.inputConnections");
    return inputConnectionsOf(scene(), 0, MaxInputs);
}

std::vector<KOM_ElemPtr<KOM_Node>> NodeHandle::inputAncestors(bool include_ref_inputs,
                                                              bool follow_subnets)
{
    // This host has no reference inputs. Following subnets crosses indirect inputs into
    // the network around the subnet.
    hostOperation("Node.inputAncestors", include_ref_inputs, follow_subnets);
    std::vector<std::shared_ptr<SceneNode>> ancestors;
    std::unordered_set<SceneNode const *> seen;
    auto const visit = [&](SceneNode const &node) {
        for (auto const &input : node.inputs())
        {
            auto source = follow_subnets ? sourceOf(input)
                                         : (input.indirect ? nullptr : input.node.lock());
            if (source && seen.insert(source.get()).second)
                ancestors.push_back(std::move(source));
        }
    };
    visit(*scene());
    for (std::size_t next = 0; next < ancestors.size(); ++next)
        visit(*ancestors[next]);
    return handlesFor(ancestors);
}

std::vector<KOM_ElemPtr<KOM_Node>> NodeHandle::outputs()
{
    hostQuery("Node.outputs");
    return handlesFor(scene()->outputs());
}

std::vector<KOM_ElemPtr<KOM_NodeConnection>> NodeHandle::outputConnections()
{
    hostOperation("Node.outputConnections");
    return outputConnectionsOf(scene(), -1);
}

std::vector<KOM_ElemPtr<KOM_Node>> NodeHandle::children()
{
    hostQuery("Node.children");
    return handlesFor(scene()->children);
}

KOM_Node *NodeHandle::parent()
{
    hostQuery("Node.parent");
    return handleFor(scene()->parent.lock());
}

KOM_Node *NodeHandle::creator()
{
    // Nodes are made by the network that holds them.
    hostOperation("Node.creator");
    return handleFor(scene()->parent.lock());
}

bool NodeHandle::isInsideLockedKDA()
{
    hostOperation("Node.isInsideLockedKDA");
    return scene()->isInsideLockedAsset();
}

KOM_KDAModule *NodeHandle::kdaModule()
{
    hostOperation("Node.kdaModule");
    return assetModuleHandle(scene()->type);
}

KOM_Vector2 *NodeHandle::size()
{
    hostOperation("Node.size");
    scene();
    return new KOM_Vector2(NodeSize[0], NodeSize[1]);
}

KOM_Vector2 *NodeHandle::position()
{
    hostQuery("Node.position");
    auto const self = scene();
    return new KOM_Vector2(self->position()[0], self->position()[1]);
}

namespace
{
void checkPosition(std::vector<float> const &values)
{
    if (values.size() != 2)
        throw KOM_InvalidSize("A position has two components");
    for (float value : values)
        if (!std::isfinite(value))
            throw KOM_InvalidInput("A position must be finite");
}
} // namespace

void NodeHandle::setPosition(std::vector<float> const &position)
{
    hostOperation("Node.setPosition", position);
    auto const self = scene();
    checkPosition(position);
    Scene::place(*self, position[0], position[1]);
}

void NodeHandle::move(std::vector<float> const &amount)
{
    hostOperation("Node.move", amount);
    auto const self = scene();
    checkPosition(amount);
    Scene::place(*self, self->position()[0] + amount[0], self->position()[1] + amount[1]);
}

KOM_Vector2 *NodeHandle::moveToGoodPosition(bool relative_to_inputs, bool move_inputs,
                                            bool move_outputs, bool move_unconnected)
{
    // Only the node itself moves here: below its first input, or right of its network.
    hostOperation("Node.moveToGoodPosition", relative_to_inputs, move_inputs, move_outputs,
                  move_unconnected);
    auto const self = scene();
    auto const network = self->parent.lock();
    auto const source = self->inputs().empty() ? nullptr : self->inputs().front().node.lock();
    // The network knows where its children stand; the node's own spot does not count.
    SceneSpots const *const spots = network ? &network->children.spots() : nullptr;
    auto const &own = self->position();
    float x = 0.0f;
    float y = 0.0f;
    if (relative_to_inputs && source && !self->inputs().front().indirect)
    {
        x = source->position()[0];
        y = source->position()[1] - DefaultSpacing[1];
    }
    else if (float rightmost = 0.0f; spots && spots->rightmost(own, rightmost))
    {
        x = std::max(x, rightmost + DefaultSpacing[0]);
    }
    if (spots)
        y = spots->freeBelow(x, y, DefaultSpacing[1], own);
    Scene::place(*self, x, y);
    return new KOM_Vector2(x, y);
}

void NodeHandle::layoutChildren(std::vector<KOM_Node *> const &child_nodes,
                                float horizontal_spacing, float vertical_spacing)
{
    // Rows by depth of wiring among the laid-out nodes, sources on top.
    hostOperation("Node.layoutChildren", child_nodes, horizontal_spacing, vertical_spacing);
    auto const self = network();
    float const across = horizontal_spacing < 0.0f ? DefaultSpacing[0] : horizontal_spacing;
    float const down = vertical_spacing < 0.0f ? DefaultSpacing[1] : vertical_spacing;
    auto const given = scenesOf(child_nodes);
    for (auto const &node : given)
        if (node->parent.lock() != self)
            throw KOM_OperationFailed((node->path() + " is not a child of " + self->path()).c_str());
    // Nodes whose row this pass knows, or is working out, carry its mark with the row (0 while
    // working it out, which also stops loops); given nodes carry it with -1 beforehand.
    std::uint64_t const pass = Scene::newPass();
    for (auto const &node : given)
        node->mark = {pass, -1};
    bool const everyChild = given.empty();
    auto const isLaidOut = [&](SceneNode const &node) {
        return everyChild ? !node.parent.owner_before(self) && !self.owner_before(node.parent)
                          : node.mark.pass == pass;
    };
    auto const isEntered = [pass](SceneNode const &node) {
        return node.mark.pass == pass && node.mark.value >= 0;
    };
    // Calls `visit` with each laid-out source of `node`; they stay in the network meanwhile.
    auto const forEachSource = [&isLaidOut](SceneNode const &node, auto visit) {
        for (auto const &input : node.inputs())
            if (auto const source = input.indirect ? nullptr : input.node.lock();
                source && isLaidOut(*source))
                visit(*source);
    };
    // A node's row is one below its deepest laid-out source. Wiring chains can be long, so
    // the walk keeps its own stack.
    std::vector<std::pair<SceneNode *, bool>> pending;
    auto const rowOf = [&](SceneNode &top) {
        pending.assign(1, {&top, false});
        while (!pending.empty())
        {
            auto const [node, finishing] = pending.back();
            pending.pop_back();
            if (finishing)
            {
                int row = 0;
                forEachSource(*node, [&row](SceneNode const &source) {
                    row = std::max(row, source.mark.value + 1);
                });
                node->mark.value = row;
            }
            else if (!isEntered(*node))
            {
                node->mark = {pass, 0};
                pending.emplace_back(node, true);
                forEachSource(*node, [&](SceneNode &source) {
                    if (!isEntered(source))
                        pending.emplace_back(&source, false);
                });
            }
        }
        return top.mark.value;
    };
    std::map<int, int> columnsUsed;
    auto const place = [&](SceneNode &node) {
        int const row = rowOf(node);
        Scene::place(*self, node, across * columnsUsed[row]++, -down * row);
    };
    if (everyChild)
        Scene::placingAll(*self);
    if (everyChild)
        self->children.forEach([&place](auto const &child) { place(*child); });
    for (auto const &node : given)
        place(*node);
}

bool NodeHandle::isSelected()
{
    hostOperation("Node.isSelected");
    return scene()->isSelected();
}

namespace
{
void clearSelection(std::shared_ptr<SceneNode> const &network)
{
    if (network)
        Scene::clearSelection(*network);
}
} // namespace

void NodeHandle::setSelected(bool on, bool clear_all_selected)
{
    hostOperation("Node.setSelected", on, clear_all_selected);
    auto const self = scene();
    if (clear_all_selected)
        clearSelection(self->parent.lock());
    Scene::select(*self, on);
}

bool NodeHandle::isCurrent()
{
    hostOperation("Node.isCurrent");
    auto const self = scene();
    auto const network = self->parent.lock();
    return network && network->currentChild.lock() == self;
}

void NodeHandle::setCurrent(bool on, bool clear_all_selected)
{
    // The current node of a network is also selected.
    hostOperation("Node.setCurrent", on, clear_all_selected);
    auto const self = scene();
    auto const network = self->parent.lock();
    if (!network)
        return;
    if (clear_all_selected)
        clearSelection(network);
    if (on)
    {
        network->currentChild = self;
        Scene::select(*self, true);
    }
    else if (network->currentChild.lock() == self)
    {
        network->currentChild.reset();
    }
}

std::string NodeHandle::comment()
{
    hostQuery("Node.comment");
    return scene()->comment;
}

void NodeHandle::setComment(char const *comment)
{
    hostOperation("Node.setComment", comment);
    scene()->comment = comment ? comment : "";
}

void NodeHandle::appendComment(char const *comment)
{
    hostOperation("Node.appendComment", comment);
    scene()->comment += comment ? comment : "";
}

KOM_Color *NodeHandle::color()
{
    hostOperation("Node.color");
    float const *rgb = scene()->color;
    return new KOM_Color(colorFromRGB(rgb[0], rgb[1], rgb[2]));
}

void NodeHandle::setColor(KOM_Color &color)
{
    hostOperation("Node.setColor", "<color>");
    auto const self = scene();
    auto const rgb = rgbOf(color);
    std::copy(rgb.begin(), rgb.end(), self->color);
}

KOM_EnumValue *NodeHandle::expressionLanguage()
{
    hostOperation("Node.expressionLanguage");
    auto const language = scene()->expressionLanguage;
    return const_cast<KOM_EnumValue *>(language ? language : &KOM_exprLanguage::Python);
}

void NodeHandle::setExpressionLanguage(KOM_EnumValue &language)
{
    hostOperation("Node.setExpressionLanguage", language);
    auto const self = scene();
    if (language.enumType != KOM_exprLanguage::Python.enumType)
        throw KOM_TypeError("Expected an exprLanguage value");
    self->expressionLanguage = &language;
}

KOM_Parm *NodeHandle::parm(char const *parm_path)
{
    hostQuery("Node.parm", parm_path);
    return parmHandle(scene(), parm_path ? parm_path : "");
}

KOM_ParmTuple *NodeHandle::parmTuple(char const *parm_path)
{
    hostQuery("Node.parmTuple", parm_path);
    return parmTupleHandle(scene(), parm_path ? parm_path : "");
}

std::vector<KOM_ElemPtr<KOM_Parm>> NodeHandle::parms()
{
    hostQuery("Node.parms");
    return parmHandles(scene());
}

std::vector<KOM_ElemPtr<KOM_ParmTuple>> NodeHandle::parmTuples()
{
    hostQuery("Node.parmTuples");
    return parmTupleHandles(scene());
}

std::vector<KOM_ElemPtr<KOM_Parm>> NodeHandle::spareParms()
{
    hostOperation("Node.spareParms");
    return spareParmHandles(scene());
}

KOM_ParmTuple *NodeHandle::addSpareParmTuple(KOM_ParmTemplate &parm_template)
{
    hostOperation("Node.addSpareParmTuple", parm_template);
    return kalhost::addSpareParmTuple(scene(), parm_template);
}

void NodeHandle::removeSpareParmTuple(KOM_ParmTuple &parm_tuple)
{
    hostOperation("Node.removeSpareParmTuple", "<parm tuple>");
    kalhost::removeSpareParmTuple(scene(), parm_tuple);
}

void NodeHandle::destroy()
{
    hostOperation("Node.destroy");
    auto const self = scene();
    if (self->isInsideLockedAsset())
        throw KOM_OperationFailed(("Cannot destroy a node inside a locked asset: " +
                                   self->path()).c_str());
    theScene().destroy(self);
}

void NodeHandle::allowEditingOfContents(bool propagate)
{
    hostOperation("Node.allowEditingOfContents", propagate);
    auto const self = scene();
    if (self->assetName.empty())
        throw KOM_OperationFailed((self->path() + " is not a digital asset").c_str());
    self->assetEditable = true;
    if (propagate)
        forEachWithin(self, [](std::shared_ptr<SceneNode> const &within) {
            if (!within->assetName.empty())
                within->assetEditable = true;
        });
}

void NodeHandle::matchCurrentDefinition()
{
    hostOperation("Node.matchCurrentDefinition");
    auto const self = scene();
    if (self->assetName.empty())
        throw KOM_OperationFailed((self->path() + " is not a digital asset").c_str());
    self->assetEditable = false;
}

bool NodeHandle::matchesCurrentDefinition()
{
    hostOperation("Node.matchesCurrentDefinition");
    return !scene()->assetEditable;
}

std::map<KOM_ElemPtr<KOM_Parm>, std::string> NodeHandle::parmAliases(bool recurse)
{
    hostOperation("Node.parmAliases", recurse);
    return kalhost::parmAliases(scene(), recurse);
}

void NodeHandle::clearParmAliases()
{
    hostOperation("Node.clearParmAliases");
    kalhost::clearParmAliases(scene());
}

KOM_Node *NodeHandle::changeNodeType(char const *new_node_type, bool keep_name, bool keep_parms,
                                     bool keep_network_contents)
{
    hostOperation("Node.changeNodeType", new_node_type, keep_name, keep_parms,
                  keep_network_contents);
    auto const self = scene();
    if (self->isInsideLockedAsset())
        throw KOM_OperationFailed(("Cannot edit inside a locked asset: " + self->path()).c_str());
    auto const replacement = theScene().changeType(self, new_node_type ? new_node_type : "",
                                                   keep_name, keep_network_contents);
    if (!keep_parms)
        createParms(*replacement);
    return handleFor(replacement);
}

KOM_Node *NodeHandle::createDigitalAsset(char const *name, char const *kda_file_name,
                                         char const *description, int min_num_inputs,
                                         int max_num_inputs, bool compress_contents,
                                         char const *comment, char const *version,
                                         bool save_as_embedded, bool ignore_external_references)
{
    // The subnet becomes the first instance of the new type, in its place and locked.
    hostOperation("Node.createDigitalAsset", name, kda_file_name, description, min_num_inputs,
                  max_num_inputs, compress_contents, comment, version, save_as_embedded,
                  ignore_external_references);
    auto const self = scene();
    if (!self->isSubnet())
        throw KOM_InvalidNodeType(("Only subnets become digital assets: " + self->path()).c_str());
    // Without a name the type is named after the subnet.
    std::string const typeName = name ? name : self->name;
    if (!isValidNodeName(typeName))
        throw KOM_OperationFailed("A digital asset needs a valid name");
    if (min_num_inputs < 0 || max_num_inputs < min_num_inputs)
        throw KOM_OperationFailed("Invalid input counts");
    return handleFor(createAssetFromSubnet(self, typeName, kda_file_name, description, min_num_inputs,
                                           max_num_inputs, comment, version));
}

KOM_Node *NodeHandle::collapseIntoSubnet(std::vector<KOM_Node *> const &child_nodes,
                                         char const *subnet_name)
{
    hostOperation("Node.collapseIntoSubnet", child_nodes, subnet_name);
    auto const self = network();
    if (self->isLockedAsset() || self->isInsideLockedAsset())
        throw KOM_OperationFailed(("Cannot edit inside a locked asset: " + self->path()).c_str());
    return handleFor(theScene().collapse(self, scenesOf(child_nodes), subnet_name));
}

void NodeHandle::extractAndDelete()
{
    hostOperation("Node.extractAndDelete");
    auto const self = scene();
    if (self->isInsideLockedAsset())
        throw KOM_OperationFailed(("Cannot edit inside a locked asset: " + self->path()).c_str());
    theScene().extract(self);
}

std::vector<KOM_ElemPtr<KOM_SubnetIndirectInput>> NodeHandle::indirectInputs()
{
    hostOperation("Node.indirectInputs");
    auto const self = scene();
    if (!self->isSubnet())
        throw KOM_InvalidNodeType((self->path() + " is not a subnet").c_str());
    std::vector<KOM_ElemPtr<KOM_SubnetIndirectInput>> result;
    for (int index = 0; index < SubnetInputCount; ++index)
        result.emplace_back(new IndirectInputHandle(self, index));
    return result;
}

} // namespace kalhost
