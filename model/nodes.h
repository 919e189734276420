// Nodes, their subclasses and the items of a network.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "model/sequences.h"

class KOM_Color;
class KOM_Geometry;
class KOM_KDAModule;
class KOM_NetworkBox;
class KOM_NodeConnection;
class KOM_NodeType;
class KOM_NodeTypeCategory;
class KOM_Parm;
class KOM_ParmTemplate;
class KOM_ParmTuple;
class KOM_SubnetIndirectInput;
class KOM_Vector2;
struct KOM_EnumValue;

// A handle on one node of the scene. Operations on a handle whose node is gone throw
// KOM_ObjectWasDeleted. Declaration order is the slot order the host is built against.
class KOM_Node
{
public:
    virtual ~KOM_Node() {}

    virtual std::vector<std::string> _getArgumentAutoComplete(char const *method_name,
                                                              char const *arguments) = 0;
    virtual bool __eq__(KOM_Node *other) = 0;
    virtual bool __ne__(KOM_Node *other) = 0;
    virtual int __hash__() = 0;
    virtual std::string __repr__() = 0;
    virtual std::string __str__() = 0;
    virtual std::string path() = 0;
    virtual std::string relativePathTo(KOM_Node &base_node) = 0;
    virtual std::string name() = 0;
    virtual void setName(char const *name) = 0;
    virtual int digitsInName() = 0;
    virtual KOM_NodeType *type() = 0;
    virtual KOM_NodeTypeCategory *childTypeCategory() = 0;
    // Not exposed: they choose the Python class of a returned node.
    virtual int categoryCode() = 0;
    virtual int flagBits() = 0;
    virtual KOM_Node *node(char const *node_path) = 0;
    virtual KOM_Node *createNode(char const *node_type_name, char const *node_name = nullptr,
                                 bool run_init_scripts = true, bool load_contents = true) = 0;
    virtual void runInitScripts() = 0;
    // Each wiring operation has a node form (declared first, so that a node or None picks
    // it) and a form taking a subnet's indirect input.
    virtual void setInput(int input_index, KOM_Node *node, int output_index = 0) = 0;
    virtual void setInput(int input_index, KOM_SubnetIndirectInput &indirect_input) = 0;
    virtual void setFirstInput(KOM_Node *node, int output_index = 0) = 0;
    virtual void setFirstInput(KOM_SubnetIndirectInput &indirect_input) = 0;
    virtual void setNextInput(KOM_Node *node, int output_index = 0) = 0;
    virtual void setNextInput(KOM_SubnetIndirectInput &indirect_input) = 0;
    virtual void insertInput(int input_index, KOM_Node *node, int output_index = 0) = 0;
    virtual void insertInput(int input_index, KOM_SubnetIndirectInput &indirect_input) = 0;
    virtual std::vector<KOM_ElemPtr<KOM_Node>> inputs() = 0;
    virtual std::vector<KOM_ElemPtr<KOM_NodeConnection>> inputConnections() = 0;
    virtual KOM_IterableList<std::vector<KOM_ElemPtr<KOM_NodeConnection>>> *inputConnectors() = 0;
    virtual std::vector<KOM_ElemPtr<KOM_Node>> inputAncestors(bool include_ref_inputs = true,
                                                              bool follow_subnets = false) = 0;
    virtual std::vector<KOM_ElemPtr<KOM_Node>> outputs() = 0;
    virtual std::vector<KOM_ElemPtr<KOM_NodeConnection>> outputConnections() = 0;
    virtual KOM_IterableList<std::vector<KOM_ElemPtr<KOM_NodeConnection>>> *outputConnectors() = 0;
    virtual std::vector<KOM_ElemPtr<KOM_Node>> children() = 0;
    virtual KOM_Node *parent() = 0;
    virtual KOM_Node *creator() = 0;
    virtual bool isInsideLockedKDA() = 0;
    virtual KOM_KDAModule *kdaModule() = 0;
    virtual KOM_Vector2 *size() = 0;
    virtual KOM_Vector2 *position() = 0;
    virtual void setPosition(std::vector<float> const &position) = 0;
    virtual void move(std::vector<float> const &amount) = 0;
    virtual KOM_Vector2 *moveToGoodPosition(bool relative_to_inputs = true, bool move_inputs = true,
                                            bool move_outputs = true,
                                            bool move_unconnected = true) = 0;
    virtual void layoutChildren(std::vector<KOM_Node *> const &child_nodes = std::vector<KOM_Node *>(),
                                float horizontal_spacing = -1.0f,
                                float vertical_spacing = -1.0f) = 0;
    virtual bool isSelected() = 0;
    virtual void setSelected(bool on, bool clear_all_selected = false) = 0;
    virtual bool isCurrent() = 0;
    virtual void setCurrent(bool on, bool clear_all_selected = false) = 0;
    virtual std::string comment() = 0;
    virtual void setComment(char const *comment) = 0;
    virtual void appendComment(char const *comment) = 0;
    virtual KOM_Color *color() = 0;
    virtual void setColor(KOM_Color &color) = 0;
    virtual KOM_EnumValue *expressionLanguage() = 0;
    virtual void setExpressionLanguage(KOM_EnumValue &language) = 0;
    virtual KOM_Parm *parm(char const *parm_path) = 0;
    virtual KOM_ParmTuple *parmTuple(char const *parm_path) = 0;
    virtual std::vector<KOM_ElemPtr<KOM_Parm>> parms() = 0;
    virtual std::vector<KOM_ElemPtr<KOM_ParmTuple>> parmTuples() = 0;
    virtual std::vector<KOM_ElemPtr<KOM_Parm>> spareParms() = 0;
    // The host keeps the tuple it returns.
    virtual KOM_ParmTuple *addSpareParmTuple(KOM_ParmTemplate &parm_template) = 0;
    virtual void removeSpareParmTuple(KOM_ParmTuple &parm_tuple) = 0;
    virtual void destroy() = 0;
    virtual void allowEditingOfContents(bool propagate = false) = 0;
    virtual void matchCurrentDefinition() = 0;
    virtual bool matchesCurrentDefinition() = 0;
    virtual std::map<KOM_ElemPtr<KOM_Parm>, std::string> parmAliases(bool recurse = false) = 0;
    virtual void clearParmAliases() = 0;
    virtual KOM_IterableList<KOM_NetworkBox> *networkBoxes() = 0;
    virtual KOM_NetworkBox *createNetworkBox(char const *name = nullptr) = 0;
    virtual KOM_NetworkBox *copyNetworkBox(KOM_NetworkBox &network_box_to_copy,
                                           char const *new_name = nullptr,
                                           bool channel_reference_original = false) = 0;
    virtual KOM_NetworkBox *findNetworkBox(char const *name) = 0;
    virtual std::vector<KOM_ElemPtr<KOM_NetworkBox>> findNetworkBoxes(char const *pattern) = 0;
    virtual KOM_Node *changeNodeType(char const *new_node_type, bool keep_name = true,
                                     bool keep_parms = true, bool keep_network_contents = true) = 0;
    virtual KOM_Node *createDigitalAsset(char const *name = nullptr,
                                         char const *kda_file_name = nullptr,
                                         char const *description = nullptr, int min_num_inputs = 0,
                                         int max_num_inputs = 0, bool compress_contents = false,
                                         char const *comment = nullptr, char const *version = nullptr,
                                         bool save_as_embedded = false,
                                         bool ignore_external_references = false) = 0;
    virtual KOM_Node *collapseIntoSubnet(std::vector<KOM_Node *> const &child_nodes,
                                         char const *subnet_name = nullptr) = 0;
    virtual void extractAndDelete() = 0;
    virtual std::vector<KOM_ElemPtr<KOM_SubnetIndirectInput>> indirectInputs() = 0;
};

class KOM_ObjNode : public virtual KOM_Node {};
class KOM_ChopNode : public virtual KOM_Node {};
class KOM_PopNetNode : public virtual KOM_Node {};
class KOM_PopNode : public virtual KOM_Node {};
class KOM_ShopNode : public virtual KOM_Node {};
class KOM_SopNode : public virtual KOM_Node
{
public:
    // The geometry the node cooks, read-only.
    virtual KOM_Geometry *geometry() = 0;
};
class KOM_VopNetNode : public virtual KOM_Node {};

class KOM_NetworkBox
{
public:
    virtual ~KOM_NetworkBox() {}
};

class KOM_NodeConnection
{
public:
    virtual ~KOM_NodeConnection() {}
};

class KOM_SubnetIndirectInput
{
public:
    virtual ~KOM_SubnetIndirectInput() {}
};
