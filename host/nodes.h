// Node handles: what the host hands out for a node of its scene.
#pragma once

#include <memory>

#include "host/scene.h"
#include "model/nodes.h"

namespace kalhost
{

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

    // The scene node, or KOM_ObjectWasDeleted when it is gone.
    std::shared_ptr<SceneNode> scene() const;
    // A new handle on `node`, or null for no node.
    static KOM_Node *handleFor(std::shared_ptr<SceneNode> const &node);
    static std::shared_ptr<SceneNode> sceneOf(KOM_Node *node);

    bool __eq__(KOM_Node *other) override;
    bool __ne__(KOM_Node *other) override;
    int __hash__() override;
    std::string __repr__() override;
    std::string __str__() override;
    std::string path() override;
    std::string name() override;
    int categoryCode() override;
    int flagBits() override;
    KOM_Node *node(char const *node_path) override;
    KOM_Node *createNode(char const *node_type_name, char const *node_name, bool run_init_scripts,
                         bool load_contents) override;
    void setInput(int input_index, KOM_Node *node, int output_index) override;
    void setInput(int input_index, KOM_SubnetIndirectInput &indirect_input) override;
    std::vector<KOM_ElemPtr<KOM_Node>> inputs() override;
    std::vector<KOM_ElemPtr<KOM_Node>> children() override;
    KOM_Node *parent() override;
    void destroy() override;

private:
    std::weak_ptr<SceneNode> myNode;
};

} // namespace kalhost
