// Node handles: what the host hands out for a node of its scene and the items of its network.
#pragma once

#include <initializer_list>
#include <memory>
#include <vector>

#include "host/faults.h"
#include "host/identity.h"
#include "host/journal.h"
#include "host/scene.h"
#include "model/assets.h"
#include "model/mathvalues.h"
#include "model/nodes.h"
#include "model/simulation.h"

namespace kalhost
{

KALHOST_JOURNAL_FORMAT(KOM_Node); // its path
KALHOST_JOURNAL_FORMAT(KOM_SubnetIndirectInput); // its number and subnet


// --- Within the family: shared by host/nodes*.cpp ------------------------------------------

// How far apart placed nodes and boxes go.
inline constexpr float DefaultSpacing[2] = {2.0f, 1.0f};
// How much room a node takes in its network.
inline constexpr float NodeSize[2] = {1.0f, 0.3f};

// The connections that feed input slots firstSlot..lastSlot of a node, or leave from one of its
// outputs (-1: every output).
std::vector<KOM_ElemPtr<KOM_NodeConnection>> inputConnectionsOf(
    std::shared_ptr<SceneNode> const &node, int firstSlot, int lastSlot);
std::vector<KOM_ElemPtr<KOM_NodeConnection>> outputConnectionsOf(
    std::shared_ptr<SceneNode> const &node, int outputIndex);

// Where an input's data comes from: an indirect input passes on what feeds its subnet.
std::shared_ptr<SceneNode> sourceOf(SceneNode::Input const &input);

// The interface a node of that category answers to, as the journal names it ("SopNode"); null
// for categories without one.
char const *interfaceOf(int categoryCode);

// Records an operation that several node interfaces declare under the first of `declaring` that
// the node answers to ("SopNode.setDisplayFlag"), else under the first. Only a watched host
// builds the name.
template <class... Args>
void sharedOperation(SceneNodeRef const &node, std::initializer_list<char const *> declaring,
                     char const *method, Args const &...args)
{
    if (__builtin_expect(theHostWatch == 0, 1))
        return hostOperation(*declaring.begin()); // counted all the same, the name unbuilt
    char const *owner = *declaring.begin();
    auto const scene = node.lock();
    char const *const own = scene ? interfaceOf(scene->type->categoryCode) : nullptr;
    for (char const *candidate : declaring)
        if (own && std::string(candidate) == own)
            owner = own;
    hostOperation((std::string(owner) + "." + method).c_str(), args...);
}

// The child of `network` the viewport shows or that is rendered (chosen, else the last created
// of the network's own category), or null.
std::shared_ptr<SceneNode> displayedChild(SceneNode const &network);
std::shared_ptr<SceneNode> renderedChild(SceneNode const &network);
// A script chose no child at all (turned the flag off), as opposed to choosing one since deleted.
bool isTurnedOff(SceneChosenChild const &choice);

// An object's transforms: its parameters' (t, r, s), its pre-transform, and its world
// transform (parameters', then pre-transform, then its parent object's world transform).
KOM_Matrix4 parmTransformOf(std::shared_ptr<SceneNode> const &object);
KOM_Matrix4 preTransformOf(SceneNode const &object);
KOM_Matrix4 worldTransformOf(std::shared_ptr<SceneNode> const &object);
// The object a node's transform follows: the object wired into its first input, else the
// object network holding it; null at the top.
std::shared_ptr<SceneNode> parentObjectOf(std::shared_ptr<SceneNode> const &object);

// --- Handles (host/nodes.cpp, host/nodes_network.cpp) --------------------------------------

// One class implements every node interface, so a handle converts to whichever
// interface its category selects. Destroying a handle never touches the scene node.
class NodeHandle : public KOM_DopNetNode,
                   public KOM_ChopNode,
                   public KOM_DopNode,
                   public KOM_PopNetNode,
                   public KOM_PopNode,
                   public KOM_ShopNode,
                   public KOM_SopNode,
                   public KOM_VopNetNode,
                   private LiveCounted
{
public:
    explicit NodeHandle(std::shared_ptr<SceneNode> const &node)
        : myNode(node->ref()), mySeen(node.get()), mySeenType(node->type),
          mySeenIn(node->isInScene() ? Scene::generation() : NotSeen)
    {
    }

    // Listing a large network makes and frees handles by the hundred thousand: they come from
    // blocks the host keeps, in address order, not from the general allocator.
    static void *operator new(std::size_t size);
    static void operator delete(void *handle, std::size_t size);

    // The scene node, or KOM_ObjectWasDeleted when it is gone.
    std::shared_ptr<SceneNode> scene() const;
    // A new handle on `node`, or null for no node.
    static KOM_Node *handleFor(std::shared_ptr<SceneNode> const &node);
    // The handle the host keeps on `node` for proxies that do not own theirs (host/kept.h).
    static KOM_Node *keptFor(std::shared_ptr<SceneNode> const &node);
    static std::vector<KOM_ElemPtr<KOM_Node>> handlesFor(
        std::vector<std::shared_ptr<SceneNode>> const &nodes);
    static std::vector<KOM_ElemPtr<KOM_Node>> handlesFor(SceneChildren const &nodes);
    // The scene node of a handle; null for a null handle, KOM_ObjectWasDeleted when gone.
    static std::shared_ptr<SceneNode> sceneOf(KOM_Node *node);
    // The scene nodes of non-null handles; KOM_TypeError for a null one.
    static std::vector<std::shared_ptr<SceneNode>> scenesOf(std::vector<KOM_Node *> const &nodes);

    std::vector<std::string> _getArgumentAutoComplete(char const *method_name,
                                                      char const *arguments) override;
    SceneNode const *identityKey() const { return scene().get(); }
    KALHOST_COMPARED_BY_IDENTITY(Node)
    std::string __repr__() override;
    std::string __str__() override;
    std::string path() override;
    std::string relativePathTo(KOM_Node &base_node) override;
    std::string name() override;
    void setName(char const *name) override;
    int digitsInName() override;
    KOM_NodeType *type() override;
    KOM_NodeTypeCategory *childTypeCategory() override;
    int categoryCode() override;
    int flagBits() override;
    KOM_Node *node(char const *node_path) override;
    KOM_Node *createNode(char const *node_type_name, char const *node_name, bool run_init_scripts,
                         bool load_contents) override;
    void runInitScripts() override;
    void setInput(int input_index, KOM_Node *node, int output_index) override;
    void setInput(int input_index, KOM_SubnetIndirectInput &indirect_input) override;
    void setFirstInput(KOM_Node *node, int output_index) override;
    void setFirstInput(KOM_SubnetIndirectInput &indirect_input) override;
    void setNextInput(KOM_Node *node, int output_index) override;
    void setNextInput(KOM_SubnetIndirectInput &indirect_input) override;
    void insertInput(int input_index, KOM_Node *node, int output_index) override;
    void insertInput(int input_index, KOM_SubnetIndirectInput &indirect_input) override;
    std::vector<KOM_ElemPtr<KOM_Node>> inputs() override;
    std::vector<KOM_ElemPtr<KOM_NodeConnection>> inputConnections() override;
    KOM_IterableList<std::vector<KOM_ElemPtr<KOM_NodeConnection>>> *inputConnectors() override;
    std::vector<KOM_ElemPtr<KOM_Node>> inputAncestors(bool include_ref_inputs,
                                                      bool follow_subnets) override;
    std::vector<KOM_ElemPtr<KOM_Node>> outputs() override;
    std::vector<KOM_ElemPtr<KOM_NodeConnection>> outputConnections() override;
    KOM_IterableList<std::vector<KOM_ElemPtr<KOM_NodeConnection>>> *outputConnectors() override;
    std::vector<KOM_ElemPtr<KOM_Node>> children() override;
    KOM_Node *parent() override;
    KOM_Node *creator() override;
    bool isInsideLockedKDA() override;
    KOM_KDAModule *kdaModule() override;
    KOM_Vector2 *size() override;
    KOM_Vector2 *position() override;
    void setPosition(std::vector<float> const &position) override;
    void move(std::vector<float> const &amount) override;
    KOM_Vector2 *moveToGoodPosition(bool relative_to_inputs, bool move_inputs, bool move_outputs,
                                    bool move_unconnected) override;
    void layoutChildren(std::vector<KOM_Node *> const &child_nodes, float horizontal_spacing,
                        float vertical_spacing) override;
    bool isSelected() override;
    void setSelected(bool on, bool clear_all_selected) override;
    bool isCurrent() override;
    void setCurrent(bool on, bool clear_all_selected) override;
    std::string comment() override;
    void setComment(char const *comment) override;
    void appendComment(char const *comment) override;
    KOM_Color *color() override;
    void setColor(KOM_Color &color) override;
    KOM_EnumValue *expressionLanguage() override;
    void setExpressionLanguage(KOM_EnumValue &language) override;
    KOM_Parm *parm(char const *parm_path) override;
    KOM_ParmTuple *parmTuple(char const *parm_path) override;
    std::vector<KOM_ElemPtr<KOM_Parm>> parms() override;
    std::vector<KOM_ElemPtr<KOM_ParmTuple>> parmTuples() override;
    std::vector<KOM_ElemPtr<KOM_Parm>> spareParms() override;
    KOM_ParmTuple *addSpareParmTuple(KOM_ParmTemplate &parm_template) override;
    void removeSpareParmTuple(KOM_ParmTuple &parm_tuple) override;
    void destroy() override;
    void allowEditingOfContents(bool propagate) override;
    void matchCurrentDefinition() override;
    bool matchesCurrentDefinition() override;
    std::map<KOM_ElemPtr<KOM_Parm>, std::string> parmAliases(bool recurse) override;
    void clearParmAliases() override;
    KOM_IterableList<KOM_NetworkBox> *networkBoxes() override;
    KOM_NetworkBox *createNetworkBox(char const *name) override;
    KOM_NetworkBox *copyNetworkBox(KOM_NetworkBox &network_box_to_copy, char const *new_name,
                                   bool channel_reference_original) override;
    KOM_NetworkBox *findNetworkBox(char const *name) override;
    std::vector<KOM_ElemPtr<KOM_NetworkBox>> findNetworkBoxes(char const *pattern) override;
    KOM_Node *changeNodeType(char const *new_node_type, bool keep_name, bool keep_parms,
                             bool keep_network_contents) override;
    KOM_Node *createDigitalAsset(char const *name, char const *kda_file_name,
                                 char const *description, int min_num_inputs, int max_num_inputs,
                                 bool compress_contents, char const *comment, char const *version,
                                 bool save_as_embedded, bool ignore_external_references) override;
    KOM_Node *collapseIntoSubnet(std::vector<KOM_Node *> const &child_nodes,
                                 char const *subnet_name) override;
    void extractAndDelete() override;
    std::vector<KOM_ElemPtr<KOM_SubnetIndirectInput>> indirectInputs() override;
    // ObjNode (host/nodes_objects.cpp)
    KOM_Vector3 *origin() override;
    KOM_Matrix4 *worldTransform() override;
    void setWorldTransform(KOM_Matrix4 &matrix, bool fail_on_locked_parms) override;
    KOM_Matrix4 *parmTransform() override;
    void setParmTransform(KOM_Matrix4 &matrix, bool fail_on_locked_parms) override;
    KOM_Matrix4 *preTransform() override;
    void setPreTransform(KOM_Matrix4 &matrix) override;
    void movePreTransformIntoParmTransform() override;
    void moveParmTransformIntoPreTransform() override;
    void moveParmTranslateIntoPreTransform() override;
    void moveParmRotateIntoPreTransform() override;
    void moveParmScaleIntoPreTransform() override;
    KOM_Matrix4 *getTransformToNode(KOM_ObjNode &obj_node) override;
    KOM_Matrix4 *getTransformFromPointToPoint(KOM_Vector3 &pos3, KOM_ObjNode &other_node,
                                              KOM_Vector3 &pos3_other) override;
    KOM_Matrix4 *buildLookatRotation(KOM_ObjNode &to_node, KOM_Vector3 *up_vector) override;
    bool isObjectDisplayed() override;
    bool isSelectableInViewport() override;
    void setSelectableInViewport(bool on) override;
    bool isShowingOrigin() override;
    void showOrigin(bool on) override;
    bool isUsingXray() override;
    void useXray(bool on) override;
    void combine(std::vector<KOM_Node *> const &nodes) override;

    // Flags several node interfaces declare (host/nodes_flags.cpp)
    bool isBypassed() override;
    void bypass(bool on) override;
    bool isDisplayFlagSet() override;
    void setDisplayFlag(bool on) override;
    bool isRenderFlagSet() override;
    void setRenderFlag(bool on) override;
    bool isTemplateFlagSet() override;
    void setTemplateFlag(bool on) override;
    bool isUnloadFlagSet() override;
    void setUnloadFlag(bool on) override;
    KOM_Node *displayNode() override;
    KOM_Node *renderNode() override;

    // ChopNode
    bool isAudioFlagSet() override;
    void setAudioFlag(bool on) override;
    bool isExportFlagSet() override;
    void setExportFlag(bool on) override;

    // SopNode
    KOM_Geometry *geometry() override;
    KOM_Point *curPoint() override;
    bool isSelectableTemplateFlagSet() override;
    void setSelectableTemplateFlag(bool on) override;
    bool isHighlightFlagSet() override;
    void setHighlightFlag(bool on) override;
    bool isSoftLocked() override;
    void setSoftLocked(bool on) override;
    bool isHardLocked() override;
    void setHardLocked(bool on) override;

    // ShopNode and VopNetNode (host/nodes_shading.cpp)
    std::string shaderString(char const *render_type) override;
    std::string shaderName(bool as_otl_path) override;
    std::vector<std::string> supportedRenderers() override;
    KOM_Node *definingVopNetNode() override;
    KOM_EnumValue *shaderType() override;
    void saveCodeToFile(char const *file_name, bool skip_header) override;
    void saveToCompiledZelFile(char const *file_name) override;
    KOM_NodeType *definedType() override;
    KOM_ZelContext *zelContext() override;

    // Simulation nodes and networks (host/simulation.cpp)
    KOM_Node *dopNetNode() override;
    KOM_DopSimulation *simulation() override;
    std::vector<KOM_ElemPtr<KOM_DopData>> processedObjects() override;
    std::vector<KOM_ElemPtr<KOM_Node>> findNodesThatProcessedObject(KOM_DopObject &dop_object) override;

private:
    // The scene node, which must be of that category (KOM_OperationFailed otherwise).
    std::shared_ptr<SceneNode> sceneOfCategory(int categoryCode) const;
    // One flag bit: its value, and setting it (KOM_PermissionError inside a locked asset). The
    // call records under the first of the declaring interfaces the node answers to.
    bool flag(std::initializer_list<char const *> declaring, char const *method, std::uint32_t bit) const;
    void setFlag(std::initializer_list<char const *> declaring, char const *method, std::uint32_t bit,
                 bool on);
    // The scene node, refusing edits inside a locked asset.
    std::shared_ptr<SceneNode> editableScene() const;
    // The scene node, which must hold a network.
    std::shared_ptr<SceneNode> network() const;
    // Wires input `index`; `shift` first moves the inputs from `index` on up by one.
    void connect(int index, SceneNode::Input const &input, bool shift);
    SceneNode::Input sourceInput(std::shared_ptr<SceneNode> const &self, KOM_Node *node,
                                 int outputIndex) const;
    SceneNode::Input indirectSource(std::shared_ptr<SceneNode> const &self,
                                    KOM_SubnetIndirectInput &indirect) const;

    // The node's type; while nothing has left the scene or changed type since the handle last
    // saw its node there, from what it saw then. Results are converted right after their handles
    // are made, so choosing a proxy's class does not read the node again: in a large network, it
    // would no longer be in the caches.
    NodeTypeInfo const *typeInfo() const;

    static constexpr std::uint64_t NotSeen = 0;
    SceneNodeRef myNode;
    // What the handle saw when it last found its node in the scene. While nothing has left the
    // scene since, the node is still there, held by its network, so scene() need not look in
    // the table of named nodes, which a large scene keeps out of the caches.
    mutable SceneNode *mySeen;
    mutable NodeTypeInfo const *mySeenType;
    mutable std::uint64_t mySeenIn; // the scene's generation, NotSeen when the node was out of it
};

// One wire: output outputIndex() of a node feeding input inputIndex() of another
// (host/nodes_network.cpp).
class NodeConnectionHandle : public KOM_NodeConnection, private LiveCounted
{
public:
    NodeConnectionHandle(std::shared_ptr<SceneNode> const &destination, int inputIndex)
        : myDestination(destination), myInputIndex(inputIndex)
    {
    }

    std::string __repr__() override;
    KOM_Node *inputNode() override;
    KOM_Node *outputNode() override;
    int inputIndex() override;
    int outputIndex() override;

private:
    // The node the wire goes into and the wire, or KOM_ObjectWasDeleted once either is gone.
    std::shared_ptr<SceneNode> destination() const;
    SceneNode::Input const &wire(SceneNode const &destination) const;

    std::weak_ptr<SceneNode> myDestination;
    int myInputIndex;
};

// The input of a subnet as the nodes inside it see it (host/nodes_network.cpp).
class IndirectInputHandle : public KOM_SubnetIndirectInput, private LiveCounted
{
public:
    IndirectInputHandle(std::shared_ptr<SceneNode> const &subnet, int inputIndex)
        : mySubnet(subnet), myInputIndex(inputIndex)
    {
    }
    std::shared_ptr<SceneNode> subnet() const { return mySubnet.lock(); }
    int inputIndex() const { return myInputIndex; }

    std::tuple<SceneNode const *, int> identityKey() const { return {scene().get(), myInputIndex}; }
    KALHOST_COMPARED_BY_IDENTITY(SubnetIndirectInput)
    std::string __repr__() override;
    int number() override;
    KOM_Node *parent() override;

private:
    std::shared_ptr<SceneNode> scene() const;

    std::weak_ptr<SceneNode> mySubnet;
    int myInputIndex;
};

// A network box (host/nodes_boxes.cpp).
class NetworkBoxHandle : public KOM_NetworkBox, private LiveCounted
{
public:
    NetworkBoxHandle(std::shared_ptr<SceneNode> const &network,
                     std::shared_ptr<SceneNetworkBox> const &box)
        : myNetwork(network), myBox(box)
    {
    }
    std::shared_ptr<SceneNetworkBox> box() const { return myBox.lock(); }

    std::string __repr__() override;
    std::string name() override;
    void setName(char const *name) override;
    KOM_Vector2 *position() override;
    void setPosition(std::vector<float> const &position) override;
    void move(std::vector<float> const &amount) override;
    KOM_Vector2 *size() override;
    void setSize(std::vector<float> const &size) override;
    void resize(std::vector<float> const &amount) override;
    void fitAroundContents() override;
    bool isMinimized() override;
    void setMinimized(bool on) override;
    bool isPicked() override;
    void setPicked(bool on) override;
    KOM_Color *color() override;
    void setColor(KOM_Color &color) override;
    std::vector<KOM_ElemPtr<KOM_Node>> nodes() override;
    void addNode(KOM_Node &node) override;
    void removeNode(KOM_Node &node) override;
    void removeAllNodes() override;
    void destroy(bool destroy_contents) override;

private:
    // The network holding the box, and the box; KOM_ObjectWasDeleted once either is gone.
    std::shared_ptr<SceneNode> network() const;
    std::shared_ptr<SceneNetworkBox> scene() const;

    std::weak_ptr<SceneNode> myNetwork;
    std::weak_ptr<SceneNetworkBox> myBox;
};

// Within the family: throws KOM_InvalidNodeName for a name that is not one, KOM_OperationFailed
// for one another box of the network has.
void checkBoxName(SceneNode const &network, std::string const &name, SceneNetworkBox const *box);
// The nodes still in the box, dropping those that left its network.
std::vector<std::shared_ptr<SceneNode>> boxMembers(SceneNode const &network, SceneNetworkBox &box);

} // namespace kalhost
