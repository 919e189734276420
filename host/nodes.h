// Node handles: what the host hands out for a node of its scene and the items of its network.
#pragma once

#include <memory>
#include <vector>

#include "host/journal.h"
#include "host/scene.h"
#include "model/assets.h"
#include "model/nodes.h"

namespace kalhost
{

KALHOST_JOURNAL_FORMAT(KOM_Node); // its path


// --- Within the family: shared by host/nodes*.cpp ------------------------------------------

// How far apart placed nodes and boxes go.
inline constexpr float DefaultSpacing[2] = {2.0f, 1.0f};

// The connections that feed input slots firstSlot..lastSlot of a node, or leave from one of its
// outputs (-1: every output).
std::vector<KOM_ElemPtr<KOM_NodeConnection>> inputConnectionsOf(
    std::shared_ptr<SceneNode> const &node, int firstSlot, int lastSlot);
std::vector<KOM_ElemPtr<KOM_NodeConnection>> outputConnectionsOf(
    std::shared_ptr<SceneNode> const &node, int outputIndex);

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
    explicit NodeHandle(std::shared_ptr<SceneNode> const &node) : myNode(node) {}

    // Listing a large network makes and frees handles by the hundred thousand: they come from
    // blocks the host keeps, in address order, not from the general allocator.
    static void *operator new(std::size_t size);
    static void operator delete(void *handle, std::size_t size);

    // The scene node, or KOM_ObjectWasDeleted when it is gone.
    std::shared_ptr<SceneNode> scene() const;
    // A new handle on `node`, or null for no node.
    static KOM_Node *handleFor(std::shared_ptr<SceneNode> const &node);
    static std::vector<KOM_ElemPtr<KOM_Node>> handlesFor(
        std::vector<std::shared_ptr<SceneNode>> const &nodes);
    static std::vector<KOM_ElemPtr<KOM_Node>> handlesFor(SceneChildren const &nodes);
    // The scene node of a handle; null for a null handle, KOM_ObjectWasDeleted when gone.
    static std::shared_ptr<SceneNode> sceneOf(KOM_Node *node);
    // The scene nodes of non-null handles; KOM_TypeError for a null one.
    static std::vector<std::shared_ptr<SceneNode>> scenesOf(std::vector<KOM_Node *> const &nodes);

    std::vector<std::string> _getArgumentAutoComplete(char const *method_name,
                                                      char const *arguments) override;
    bool __eq__(KOM_Node *other) override;
    bool __ne__(KOM_Node *other) override;
    int __hash__() override;
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
    KOM_Geometry *geometry() override;

private:
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

    std::weak_ptr<SceneNode> myNode;
};

// One wire: an output of one node feeding an input of another.
class NodeConnectionHandle : public KOM_NodeConnection, private LiveCounted
{
public:
    NodeConnectionHandle(std::shared_ptr<SceneNode> const &destination, int inputIndex)
        : myDestination(destination), myInputIndex(inputIndex)
    {
    }

private:
    std::weak_ptr<SceneNode> myDestination;
    int myInputIndex;
};

// The input of a subnet as the nodes inside it see it.
class IndirectInputHandle : public KOM_SubnetIndirectInput, private LiveCounted
{
public:
    IndirectInputHandle(std::shared_ptr<SceneNode> const &subnet, int inputIndex)
        : mySubnet(subnet), myInputIndex(inputIndex)
    {
    }
    std::shared_ptr<SceneNode> subnet() const { return mySubnet.lock(); }
    int inputIndex() const { return myInputIndex; }

private:
    std::weak_ptr<SceneNode> mySubnet;
    int myInputIndex;
};

class NetworkBoxHandle : public KOM_NetworkBox, private LiveCounted
{
public:
    NetworkBoxHandle(std::shared_ptr<SceneNode> const &network,
                     std::shared_ptr<SceneNetworkBox> const &box)
        : myNetwork(network), myBox(box)
    {
    }
    std::shared_ptr<SceneNetworkBox> box() const { return myBox.lock(); }

private:
    std::weak_ptr<SceneNode> myNetwork;
    std::weak_ptr<SceneNetworkBox> myBox;
};

} // namespace kalhost
