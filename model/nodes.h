// Nodes, their subclasses and the items of a network.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "model/sequences.h"

class KOM_Color;
class KOM_Geometry;
class KOM_Matrix4;
class KOM_KDAModule;
class KOM_NetworkBox;
class KOM_NodeConnection;
class KOM_NodeType;
class KOM_NodeTypeCategory;
class KOM_Parm;
class KOM_Point;
class KOM_ParmTemplate;
class KOM_ParmTuple;
class KOM_SubnetIndirectInput;
class KOM_Vector2;
class KOM_Vector3;
class KOM_ZelContext;
struct KOM_EnumValue;

// A handle on one node of the scene. Operations on a handle whose node is gone throw
// KOM_ObjectWasDeleted. Declaration order is the slot order the host is built against.
class KOM_Node
{
public:
    virtual ~KOM_Node() {}

    // Completions an editor offers for the arguments of one of this node's methods.
    virtual std::vector<std::string> _getArgumentAutoComplete(char const *method_name,
                                                              char const *arguments) = 0;
    // Whether both refer to the same node.
    virtual bool __eq__(KOM_Node *other) = 0;
    // Whether they refer to different nodes.
    virtual bool __ne__(KOM_Node *other) = 0;
    // A hash equal for every handle on the same node, so nodes can be dict keys.
    virtual int __hash__() = 0;
    // How the node shows at the prompt: its class and path.
    virtual std::string __repr__() = 0;
    // The node's path, as print shows it.
    virtual std::string __str__() = 0;
    // The node's full path, such as "/obj/geo1".
    virtual std::string path() = 0;
    // The path from base_node to this node, with ".." where it climbs.
    virtual std::string relativePathTo(KOM_Node &base_node) = 0;
    // The node's name, the last part of its path.
    virtual std::string name() = 0;
    // Renames the node; the name must be valid and free among its siblings.
    virtual void setName(char const *name) = 0;
    // The number the node's name ends with (0 when none).
    virtual int digitsInName() = 0;
    // The node's type, such as geo or box.
    virtual KOM_NodeType *type() = 0;
    // The category of the nodes this network holds, or None when it holds none.
    virtual KOM_NodeTypeCategory *childTypeCategory() = 0;
    // Not exposed: they choose the Python class of a returned node.
    virtual int categoryCode() = 0;
    virtual int flagBits() = 0;
    // The node at a path relative to this one, or None when there is none.
    virtual KOM_Node *node(char const *node_path) = 0;
    // Creates a node of the given type inside this network and returns it.
    virtual KOM_Node *createNode(char const *node_type_name, char const *node_name = nullptr,
                                 bool run_init_scripts = true, bool load_contents = true) = 0;
    // Runs the initialisation scripts of the node's type again.
    virtual void runInitScripts() = 0;
    // Each wiring operation has a node form (declared first, so that a node or None picks
    // it) and a form taking a subnet's indirect input.
    // Wires an output of a node (None disconnects) into one of this node's inputs.
    virtual void setInput(int input_index, KOM_Node *node, int output_index = 0) = 0;
    // Wires a subnet's indirect input into one of this node's inputs.
    virtual void setInput(int input_index, KOM_SubnetIndirectInput &indirect_input) = 0;
    // Wires a node into input 0.
    virtual void setFirstInput(KOM_Node *node, int output_index = 0) = 0;
    // Wires a subnet's indirect input into input 0.
    virtual void setFirstInput(KOM_SubnetIndirectInput &indirect_input) = 0;
    // Wires a node into the first unconnected input.
    virtual void setNextInput(KOM_Node *node, int output_index = 0) = 0;
    // Wires a subnet's indirect input into the first unconnected input.
    virtual void setNextInput(KOM_SubnetIndirectInput &indirect_input) = 0;
    // Inserts a node at an input, moving the following wires one input up.
    virtual void insertInput(int input_index, KOM_Node *node, int output_index = 0) = 0;
    // Inserts a subnet's indirect input at an input, moving the following wires up.
    virtual void insertInput(int input_index, KOM_SubnetIndirectInput &indirect_input) = 0;
    // The nodes wired into this node's inputs, in input order.
    virtual std::vector<KOM_ElemPtr<KOM_Node>> inputs() = 0;
    // The connections into this node's inputs.
    virtual std::vector<KOM_ElemPtr<KOM_NodeConnection>> inputConnections() = 0;
    // Per input, the tuple of its connections (empty when unconnected).
    virtual KOM_IterableList<std::vector<KOM_ElemPtr<KOM_NodeConnection>>> *inputConnectors() = 0;
    // Every node upstream of this one, following inputs recursively.
    virtual std::vector<KOM_ElemPtr<KOM_Node>> inputAncestors(bool include_ref_inputs = true,
                                                              bool follow_subnets = false) = 0;
    // The nodes this node's outputs feed.
    virtual std::vector<KOM_ElemPtr<KOM_Node>> outputs() = 0;
    // The connections out of this node's outputs.
    virtual std::vector<KOM_ElemPtr<KOM_NodeConnection>> outputConnections() = 0;
    // Per output, the tuple of its connections.
    virtual KOM_IterableList<std::vector<KOM_ElemPtr<KOM_NodeConnection>>> *outputConnectors() = 0;
    // The nodes inside this network, in creation order.
    virtual std::vector<KOM_ElemPtr<KOM_Node>> children() = 0;
    // The network that holds this node, or None for the root.
    virtual KOM_Node *parent() = 0;
    // The node that created this one as part of its contents, or None.
    virtual KOM_Node *creator() = 0;
    // Whether the node is inside a locked digital asset and so cannot be edited.
    virtual bool isInsideLockedKDA() = 0;
    // The Python module of the node's digital asset definition.
    virtual KOM_KDAModule *kdaModule() = 0;
    // The node tile's width and height in the network editor.
    virtual KOM_Vector2 *size() = 0;
    // The node tile's position in the network editor.
    virtual KOM_Vector2 *position() = 0;
    // Moves the node tile to a position (two numbers).
    virtual void setPosition(std::vector<float> const &position) = 0;
    // Moves the node tile by an amount (two numbers).
    virtual void move(std::vector<float> const &amount) = 0;
    // Moves the node tile next to its inputs or outputs where it overlaps nothing.
    virtual KOM_Vector2 *moveToGoodPosition(bool relative_to_inputs = true, bool move_inputs = true,
                                            bool move_outputs = true,
                                            bool move_unconnected = true) = 0;
    // Lays out the tiles of child nodes (all of them by default) in the network editor.
    virtual void layoutChildren(std::vector<KOM_Node *> const &child_nodes = std::vector<KOM_Node *>(),
                                float horizontal_spacing = -1.0f,
                                float vertical_spacing = -1.0f) = 0;
    // Whether the node is selected.
    virtual bool isSelected() = 0;
    // Selects or deselects the node, optionally clearing the rest of the selection.
    virtual void setSelected(bool on, bool clear_all_selected = false) = 0;
    // Whether the node is the current node of its network.
    virtual bool isCurrent() = 0;
    // Makes the node current, or not, optionally clearing the selection.
    virtual void setCurrent(bool on, bool clear_all_selected = false) = 0;
    // The node's comment.
    virtual std::string comment() = 0;
    // Replaces the node's comment.
    virtual void setComment(char const *comment) = 0;
    // Adds text at the end of the node's comment.
    virtual void appendComment(char const *comment) = 0;
    // The colour of the node's tile.
    virtual KOM_Color *color() = 0;
    // Sets the colour of the node's tile.
    virtual void setColor(KOM_Color &color) = 0;
    // The language new expressions on this node's parameters use.
    virtual KOM_EnumValue *expressionLanguage() = 0;
    // Sets the language new expressions on this node's parameters use.
    virtual void setExpressionLanguage(KOM_EnumValue &language) = 0;
    // The parameter with this name (or relative path), or None when there is none.
    virtual KOM_Parm *parm(char const *parm_path) = 0;
    // The parameter tuple with this name (or relative path), or None when there is none.
    virtual KOM_ParmTuple *parmTuple(char const *parm_path) = 0;
    // Every parameter of the node.
    virtual std::vector<KOM_ElemPtr<KOM_Parm>> parms() = 0;
    // Every parameter tuple of the node.
    virtual std::vector<KOM_ElemPtr<KOM_ParmTuple>> parmTuples() = 0;
    // The spare parameters added to this node.
    virtual std::vector<KOM_ElemPtr<KOM_Parm>> spareParms() = 0;
    // The host keeps the tuple it returns.
    // Adds a spare parameter tuple made from a template and returns it.
    virtual KOM_ParmTuple *addSpareParmTuple(KOM_ParmTemplate &parm_template) = 0;
    // Removes a spare parameter tuple from the node.
    virtual void removeSpareParmTuple(KOM_ParmTuple &parm_tuple) = 0;
    // Deletes the node, and its contents, from the scene.
    virtual void destroy() = 0;
    // Unlocks the contents of a digital asset node for editing.
    virtual void allowEditingOfContents(bool propagate = false) = 0;
    // Locks the asset node's contents again, matching its definition.
    virtual void matchCurrentDefinition() = 0;
    // Whether the asset node's contents match its definition.
    virtual bool matchesCurrentDefinition() = 0;
    // Each parameter that has an alias, with its alias.
    virtual std::map<KOM_ElemPtr<KOM_Parm>, std::string> parmAliases(bool recurse = false) = 0;
    // Removes every parameter alias of the node.
    virtual void clearParmAliases() = 0;
    // The network boxes in this network.
    virtual KOM_IterableList<KOM_NetworkBox> *networkBoxes() = 0;
    // Creates a network box in this network and returns it.
    virtual KOM_NetworkBox *createNetworkBox(char const *name = nullptr) = 0;
    // Copies a network box, with its nodes, into this network and returns the copy.
    virtual KOM_NetworkBox *copyNetworkBox(KOM_NetworkBox &network_box_to_copy,
                                           char const *new_name = nullptr,
                                           bool channel_reference_original = false) = 0;
    // The network box with this name, or None.
    virtual KOM_NetworkBox *findNetworkBox(char const *name) = 0;
    // The network boxes whose names match a pattern.
    virtual std::vector<KOM_ElemPtr<KOM_NetworkBox>> findNetworkBoxes(char const *pattern) = 0;
    // Replaces the node with one of another type and returns the new node.
    virtual KOM_Node *changeNodeType(char const *new_node_type, bool keep_name = true,
                                     bool keep_parms = true, bool keep_network_contents = true) = 0;
    // Turns this subnet into a digital asset and returns the asset node.
    virtual KOM_Node *createDigitalAsset(char const *name = nullptr,
                                         char const *kda_file_name = nullptr,
                                         char const *description = nullptr, int min_num_inputs = 0,
                                         int max_num_inputs = 0, bool compress_contents = false,
                                         char const *comment = nullptr, char const *version = nullptr,
                                         bool save_as_embedded = false,
                                         bool ignore_external_references = false) = 0;
    // Moves child nodes into a new subnet and returns the subnet.
    virtual KOM_Node *collapseIntoSubnet(std::vector<KOM_Node *> const &child_nodes,
                                         char const *subnet_name = nullptr) = 0;
    // Moves the subnet's contents into its parent and deletes the subnet.
    virtual void extractAndDelete() = 0;
    // The subnet's indirect inputs, which nodes inside it can wire from.
    virtual std::vector<KOM_ElemPtr<KOM_SubnetIndirectInput>> indirectInputs() = 0;
};

// An object: a transform in the scene and the viewport flags that show it.
class KOM_ObjNode : public virtual KOM_Node
{
public:
    std::string __repr__() override = 0;
    // The object's origin in world space.
    virtual KOM_Vector3 *origin() = 0;
    // The transform from the object's space to world space, through its parents.
    virtual KOM_Matrix4 *worldTransform() = 0;
    // Sets the translate, rotate and scale parameters so the world transform becomes `matrix`;
    // locked parameters are left alone unless `fail_on_locked_parms` makes them an error.
    virtual void setWorldTransform(KOM_Matrix4 &matrix, bool fail_on_locked_parms = false) = 0;
    // The transform the translate, rotate and scale parameters build.
    virtual KOM_Matrix4 *parmTransform() = 0;
    // Sets the translate, rotate and scale parameters so they build `matrix`.
    virtual void setParmTransform(KOM_Matrix4 &matrix, bool fail_on_locked_parms = false) = 0;
    // The fixed transform applied after the parameters' one.
    virtual KOM_Matrix4 *preTransform() = 0;
    // Replaces the pre-transform.
    virtual void setPreTransform(KOM_Matrix4 &matrix) = 0;
    // Folds the pre-transform into the parameters, leaving the identity behind.
    virtual void movePreTransformIntoParmTransform() = 0;
    // Folds the parameters' transform into the pre-transform, resetting the parameters.
    virtual void moveParmTransformIntoPreTransform() = 0;
    // Moves only the translate parameters into the pre-transform.
    virtual void moveParmTranslateIntoPreTransform() = 0;
    // Moves only the rotate parameters into the pre-transform.
    virtual void moveParmRotateIntoPreTransform() = 0;
    // Moves only the scale parameters into the pre-transform.
    virtual void moveParmScaleIntoPreTransform() = 0;
    // The transform from this object's space to `obj_node`'s space.
    virtual KOM_Matrix4 *getTransformToNode(KOM_ObjNode &obj_node) = 0;
    // The transform that carries `pos3` in this object's space onto `pos3_other` in `other_node`'s.
    virtual KOM_Matrix4 *getTransformFromPointToPoint(KOM_Vector3 &pos3, KOM_ObjNode &other_node,
                                                      KOM_Vector3 &pos3_other) = 0;
    // The rotation that turns this object's -z axis towards `to_node`, keeping `up_vector`
    // (world y when none) up.
    virtual KOM_Matrix4 *buildLookatRotation(KOM_ObjNode &to_node, KOM_Vector3 *up_vector = nullptr) = 0;
    // Whether the object shows in the viewport: its display flag, and its parents' shown.
    virtual bool isObjectDisplayed() = 0;
    // Whether the display flag is on.
    virtual bool isDisplayFlagSet() = 0;
    // Turns the display flag on or off.
    virtual void setDisplayFlag(bool on) = 0;
    // Whether the object can be picked in the viewport.
    virtual bool isSelectableInViewport() = 0;
    // Lets the object be picked in the viewport, or not.
    virtual void setSelectableInViewport(bool on) = 0;
    // Whether the viewport shows the object's origin.
    virtual bool isShowingOrigin() = 0;
    // Shows or hides the object's origin in the viewport.
    virtual void showOrigin(bool on) = 0;
    // Whether the object is drawn through what stands in front of it.
    virtual bool isUsingXray() = 0;
    // Draws the object through what stands in front of it, or not.
    virtual void useXray(bool on) = 0;
    // The node inside whose geometry the viewport shows, or none.
    virtual KOM_Node *displayNode() = 0;
    // The node inside whose geometry is rendered, or none.
    virtual KOM_Node *renderNode() = 0;
    // Merges the geometry of the given objects into this one and removes them.
    virtual void combine(std::vector<KOM_Node *> const &nodes) = 0;
};

// A channel node.
class KOM_ChopNode : public virtual KOM_Node
{
public:
    std::string __repr__() override = 0;
    // Whether the node passes its first input through unchanged.
    virtual bool isBypassed() = 0;
    // Bypasses the node, or not.
    virtual void bypass(bool on) = 0;
    // Whether the display flag is on.
    virtual bool isDisplayFlagSet() = 0;
    // Turns the display flag on or off.
    virtual void setDisplayFlag(bool on) = 0;
    // Whether the node's channels play as audio.
    virtual bool isAudioFlagSet() = 0;
    // Plays the node's channels as audio, or not.
    virtual void setAudioFlag(bool on) = 0;
    // Whether the node's channels drive the parameters they are exported to.
    virtual bool isExportFlagSet() = 0;
    // Exports the node's channels, or not.
    virtual void setExportFlag(bool on) = 0;
    // Whether the node drops its cooked data once it is used.
    virtual bool isUnloadFlagSet() = 0;
    // Drops the node's cooked data once it is used, or not.
    virtual void setUnloadFlag(bool on) = 0;
};


// A particle network: which particle node the viewport shows and which is rendered.
class KOM_PopNetNode : public virtual KOM_Node
{
public:
    std::string __repr__() override = 0;
    // The particle node the viewport shows, or none.
    virtual KOM_Node *displayNode() = 0;
    // The particle node that is rendered, or none.
    virtual KOM_Node *renderNode() = 0;
};

// A particle node.
class KOM_PopNode : public virtual KOM_Node
{
public:
    std::string __repr__() override = 0;
    // Whether the node passes its first input through unchanged.
    virtual bool isBypassed() = 0;
    // Bypasses the node, or not.
    virtual void bypass(bool on) = 0;
    // Whether the node is drawn as a template.
    virtual bool isTemplateFlagSet() = 0;
    // Draws the node as a template, or not.
    virtual void setTemplateFlag(bool on) = 0;
    // Whether the viewport shows this node.
    virtual bool isDisplayFlagSet() = 0;
    // Makes this the node the viewport shows (on), or not.
    virtual void setDisplayFlag(bool on) = 0;
    // Whether this node is rendered.
    virtual bool isRenderFlagSet() = 0;
    // Makes this the node that is rendered (on), or not.
    virtual void setRenderFlag(bool on) = 0;
    // The node of this network the viewport shows, or none.
    virtual KOM_Node *displayNode() = 0;
    // The node of this network that is rendered, or none.
    virtual KOM_Node *renderNode() = 0;
};

// A shader.
class KOM_ShopNode : public virtual KOM_Node
{
public:
    std::string __repr__() override = 0;
    // The shader's call as the renderer reads it (the first supported renderer when none).
    virtual std::string shaderString(char const *render_type = nullptr) = 0;
    // The shader's name: as a path to its definition, or the bare name.
    virtual std::string shaderName(bool as_otl_path = true) = 0;
    // The renderers that can use this shader.
    virtual std::vector<std::string> supportedRenderers() = 0;
    // The shading network that defines the shader, or none.
    virtual KOM_Node *definingVopNetNode() = 0;
    // The kind of shader (surface, displacement, ...).
    virtual KOM_EnumValue *shaderType() = 0;
};

// A surface node: it cooks geometry.
class KOM_SopNode : public virtual KOM_Node
{
public:
    std::string __repr__() override = 0;
    // The geometry the node cooks, read-only; freeze() makes an editable copy.
    virtual KOM_Geometry *geometry() = 0;
    // The point the node's tools work on.
    virtual KOM_Point *curPoint() = 0;
    // Whether the node passes its first input's geometry through unchanged.
    virtual bool isBypassed() = 0;
    // Bypasses the node, or not.
    virtual void bypass(bool on) = 0;
    // Whether the viewport shows this node's geometry.
    virtual bool isDisplayFlagSet() = 0;
    // Makes this the node the viewport shows (on), or not.
    virtual void setDisplayFlag(bool on) = 0;
    // Whether this node's geometry is rendered.
    virtual bool isRenderFlagSet() = 0;
    // Makes this the node that is rendered (on), or not.
    virtual void setRenderFlag(bool on) = 0;
    // Whether the node's geometry is drawn as a template.
    virtual bool isTemplateFlagSet() = 0;
    // Draws the node's geometry as a template, or not.
    virtual void setTemplateFlag(bool on) = 0;
    // Whether the node's geometry is drawn as a template that can be picked.
    virtual bool isSelectableTemplateFlagSet() = 0;
    // Draws the node's geometry as a template that can be picked, or not.
    virtual void setSelectableTemplateFlag(bool on) = 0;
    // Whether the viewport highlights what the node changes.
    virtual bool isHighlightFlagSet() = 0;
    // Highlights what the node changes, or not.
    virtual void setHighlightFlag(bool on) = 0;
    // Whether the node keeps its geometry while still following later edits.
    virtual bool isSoftLocked() = 0;
    // Soft-locks the node, or not.
    virtual void setSoftLocked(bool on) = 0;
    // Whether the node keeps its geometry whatever happens upstream.
    virtual bool isHardLocked() = 0;
    // Hard-locks the node on its current geometry, or unlocks it.
    virtual void setHardLocked(bool on) = 0;
    // Whether the node drops its cooked geometry once it is used.
    virtual bool isUnloadFlagSet() = 0;
    // Drops the node's cooked geometry once it is used, or not.
    virtual void setUnloadFlag(bool on) = 0;
    // The node of this network the viewport shows, or none.
    virtual KOM_Node *displayNode() = 0;
    // The node of this network that is rendered, or none.
    virtual KOM_Node *renderNode() = 0;
};

// A shading network: its nodes generate a shader's code.
class KOM_VopNetNode : public virtual KOM_Node
{
public:
    std::string __repr__() override = 0;
    // Writes the shader's generated code to a file, with or without the header comment.
    virtual void saveCodeToFile(char const *file_name, bool skip_header = false) = 0;
    // Writes the shader compiled to a file.
    virtual void saveToCompiledZelFile(char const *file_name) = 0;
    // The node type the network defines.
    virtual KOM_NodeType *definedType() = 0;
    // The shading context the network's code runs in.
    virtual KOM_ZelContext *zelContext() = 0;
    // The kind of shader the network builds.
    virtual KOM_EnumValue *shaderType() = 0;
};

// A named box grouping nodes in the network editor.
class KOM_NetworkBox
{
public:
    virtual ~KOM_NetworkBox() {}

    virtual std::string __repr__() = 0;
    // The box's name, unique in its network.
    virtual std::string name() = 0;
    // Renames the box.
    virtual void setName(char const *name) = 0;
    // Where the box's lower left corner is in the network editor.
    virtual KOM_Vector2 *position() = 0;
    // Moves the box's lower left corner to (x, y); its nodes stay where they are.
    virtual void setPosition(std::vector<float> const &position) = 0;
    // Moves the box and its nodes by (x, y).
    virtual void move(std::vector<float> const &amount) = 0;
    // The box's width and height.
    virtual KOM_Vector2 *size() = 0;
    // Sets the box's width and height.
    virtual void setSize(std::vector<float> const &size) = 0;
    // Grows (or shrinks) the box by (width, height).
    virtual void resize(std::vector<float> const &amount) = 0;
    // Sizes the box to just hold its nodes.
    virtual void fitAroundContents() = 0;
    // Whether the box is drawn folded, hiding its nodes.
    virtual bool isMinimized() = 0;
    // Folds the box, or opens it.
    virtual void setMinimized(bool on) = 0;
    // Whether the box is picked in the network editor.
    virtual bool isPicked() = 0;
    // Picks the box, or not.
    virtual void setPicked(bool on) = 0;
    // The box's colour.
    virtual KOM_Color *color() = 0;
    // Sets the box's colour.
    virtual void setColor(KOM_Color &color) = 0;
    // The nodes in the box.
    virtual std::vector<KOM_ElemPtr<KOM_Node>> nodes() = 0;
    // Puts a node of the box's network in the box, growing it to fit.
    virtual void addNode(KOM_Node &node) = 0;
    // Takes a node out of the box.
    virtual void removeNode(KOM_Node &node) = 0;
    // Takes every node out of the box.
    virtual void removeAllNodes() = 0;
    // Removes the box, and with `destroy_contents` the nodes in it.
    virtual void destroy(bool destroy_contents = false) = 0;
};

// One wire: output outputIndex() of inputNode() feeds input inputIndex() of outputNode().
class KOM_NodeConnection
{
public:
    virtual ~KOM_NodeConnection() {}

    virtual std::string __repr__() = 0;
    // The node the wire comes from, or none when a subnet's indirect input feeds it.
    virtual KOM_Node *inputNode() = 0;
    // The node the wire goes into.
    virtual KOM_Node *outputNode() = 0;
    // The input of outputNode() the wire goes into.
    virtual int inputIndex() = 0;
    // The output of inputNode() (or the subnet input) the wire comes from.
    virtual int outputIndex() = 0;
};

// An input of a subnet as the nodes inside it see it; wire them to it with setInput.
class KOM_SubnetIndirectInput
{
public:
    virtual ~KOM_SubnetIndirectInput() {}

    // Whether both are the same input of the same subnet.
    virtual bool __eq__(KOM_SubnetIndirectInput *other) = 0;
    // Whether they are different inputs, or inputs of different subnets.
    virtual bool __ne__(KOM_SubnetIndirectInput *other) = 0;
    // A hash that equal inputs share, so that inputs can key a dict.
    virtual int __hash__() = 0;
    virtual std::string __repr__() = 0;
    // The subnet input it passes on, from 0.
    virtual int number() = 0;
    // The subnet; the host keeps the node it returns.
    virtual KOM_Node *parent() = 0;
};
