// Nodes, their subclasses and the items of a network.

%catches(KOM_ObjectWasDeleted, KOM_Error);

%catches(KOM_Error) KOM_Node::__hash__;
%catches(KOM_ObjectWasDeleted, KOM_InvalidNodeName, KOM_PermissionError, KOM_OperationFailed,
         KOM_InitScriptFailed, KOM_MatchDefinitionError, KOM_Error) KOM_Node::createNode;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_InvalidInput, KOM_PermissionError,
         KOM_Error) KOM_Node::setInput;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_Error) KOM_Node::destroy;

%feature("kwargs") KOM_Node::node;
%feature("kwargs") KOM_Node::createNode;

class KOM_Node
{
public:
    virtual ~KOM_Node();
    virtual bool __eq__(KOM_Node *other);
    virtual bool __ne__(KOM_Node *other);
    virtual int __hash__();
    virtual std::string __repr__();
    virtual std::string __str__();
    virtual std::string path();
    virtual std::string name();
    virtual KOM_Node *node(char const *node_path);
    virtual KOM_Node *createNode(char const *node_type_name, char const *node_name = 0,
                                 bool run_init_scripts = true, bool load_contents = true);
    virtual void setInput(int input_index, KOM_Node *node, int output_index = 0);
    virtual void setInput(int input_index, KOM_SubnetIndirectInput &indirect_input);
    virtual KOM_Node *parent();
    virtual void destroy();
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
    virtual ~KOM_NetworkBox();
};

class KOM_NodeConnection
{
public:
    virtual ~KOM_NodeConnection();
};

class KOM_SubnetIndirectInput
{
public:
    virtual ~KOM_SubnetIndirectInput();
};

%catches();
