// Nodes, their subclasses and the items of a network.
#pragma once

#include <string>
#include <vector>

#include "model/sequences.h"

class KOM_NodeType;
class KOM_NodeTypeCategory;
class KOM_SubnetIndirectInput;

class KOM_Node
{
public:
    virtual ~KOM_Node() {}

    virtual bool __eq__(KOM_Node *other) = 0;
    virtual bool __ne__(KOM_Node *other) = 0;
    virtual int __hash__() = 0;
    virtual std::string __repr__() = 0;
    virtual std::string __str__() = 0;
    virtual std::string path() = 0;
    virtual std::string name() = 0;
    // Not exposed: they choose the Python class of a returned node.
    virtual int categoryCode() = 0;
    virtual int flagBits() = 0;
    virtual KOM_Node *node(char const *node_path) = 0;
    virtual KOM_Node *createNode(char const *node_type_name, char const *node_name = nullptr,
                                 bool run_init_scripts = true, bool load_contents = true) = 0;
    virtual void setInput(int input_index, KOM_Node *node, int output_index = 0) = 0;
    virtual void setInput(int input_index, KOM_SubnetIndirectInput &indirect_input) = 0;
    virtual std::vector<KOM_ElemPtr<KOM_Node>> inputs() = 0;
    virtual std::vector<KOM_ElemPtr<KOM_Node>> children() = 0;
    virtual KOM_Node *parent() = 0;
    virtual void destroy() = 0;
};

class KOM_ObjNode : public virtual KOM_Node {};
class KOM_ChopNode : public virtual KOM_Node {};
class KOM_DopNode : public virtual KOM_Node {};
class KOM_DopNetNode : public virtual KOM_ObjNode {};
class KOM_PopNetNode : public virtual KOM_Node {};
class KOM_PopNode : public virtual KOM_Node {};
class KOM_ShopNode : public virtual KOM_Node {};
class KOM_SopNode : public virtual KOM_Node {};
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
