// Nodes, their subclasses and the items of a network.

%catches(KOM_ObjectWasDeleted, KOM_Error);

%catches(KOM_Error) KOM_Node::__hash__;
%catches(KOM_ObjectWasDeleted, KOM_InvalidNodeName, KOM_OperationFailed, KOM_Error) KOM_Node::setName;
%catches(KOM_ObjectWasDeleted, KOM_InvalidNodeName, KOM_PermissionError, KOM_OperationFailed,
         KOM_InitScriptFailed, KOM_MatchDefinitionError, KOM_Error) KOM_Node::createNode;
%catches(KOM_ObjectWasDeleted, KOM_InitScriptFailed, KOM_Error) KOM_Node::runInitScripts;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_InvalidInput, KOM_PermissionError,
         KOM_Error) KOM_Node::setInput;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_InvalidInput, KOM_PermissionError,
         KOM_Error) KOM_Node::setFirstInput;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_InvalidInput, KOM_PermissionError,
         KOM_Error) KOM_Node::setNextInput;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_InvalidInput, KOM_PermissionError,
         KOM_Error) KOM_Node::insertInput;
%catches(KOM_ObjectWasDeleted, KOM_InvalidInput, KOM_InvalidSize, KOM_Error) KOM_Node::setPosition;
%catches(KOM_ObjectWasDeleted, KOM_InvalidInput, KOM_InvalidSize, KOM_Error) KOM_Node::move;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_Error) KOM_Node::layoutChildren;
%catches(KOM_ObjectWasDeleted, KOM_TypeError, KOM_Error) KOM_Node::setExpressionLanguage;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_Error) KOM_Node::addSpareParmTuple;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_Error) KOM_Node::removeSpareParmTuple;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_Error) KOM_Node::destroy;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_Error) KOM_Node::matchCurrentDefinition;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_Error) KOM_Node::networkBoxes;
%catches(KOM_ObjectWasDeleted, KOM_InvalidNodeName, KOM_OperationFailed, KOM_Error)
    KOM_Node::createNetworkBox;
%catches(KOM_ObjectWasDeleted, KOM_InvalidNodeName, KOM_OperationFailed, KOM_Error)
    KOM_Node::copyNetworkBox;
// Only these three: the host raises nothing else here.
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_TypeError) KOM_Node::changeNodeType;
%catches(KOM_ObjectWasDeleted, KOM_InvalidNodeType, KOM_OperationFailed, KOM_Error)
    KOM_Node::createDigitalAsset;
%catches(KOM_ObjectWasDeleted, KOM_TypeError, KOM_InvalidNodeName, KOM_OperationFailed, KOM_Error)
    KOM_Node::collapseIntoSubnet;
%catches(KOM_ObjectWasDeleted, KOM_InvalidNodeType, KOM_OperationFailed, KOM_Error)
    KOM_Node::extractAndDelete;
%catches(KOM_ObjectWasDeleted, KOM_InvalidNodeType, KOM_Error) KOM_Node::indirectInputs;

%catches(KOM_ObjectWasDeleted, KOM_PermissionError, KOM_Error) KOM_ObjNode::setWorldTransform;
%catches(KOM_ObjectWasDeleted, KOM_PermissionError, KOM_Error) KOM_ObjNode::setParmTransform;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_TypeError, KOM_Error) KOM_ObjNode::combine;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_Error) KOM_SopNode::curPoint;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_Error) KOM_ShopNode::shaderString;
// Not even KOM_Error: the host raises nothing here.
%catches() KOM_ShopNode::shaderName;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_Error) KOM_VopNetNode::saveCodeToFile;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_Error) KOM_VopNetNode::saveToCompiledZelFile;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_Error) KOM_VopNetNode::definedType;

// Flag setters refuse inside a locked asset.
%define KAL_FLAG_SETTER(SETTER)
%catches(KOM_ObjectWasDeleted, KOM_PermissionError, KOM_Error) SETTER;
%enddef
KAL_FLAG_SETTER(KOM_ObjNode::setDisplayFlag)
KAL_FLAG_SETTER(KOM_ObjNode::setSelectableInViewport)
KAL_FLAG_SETTER(KOM_ObjNode::showOrigin)
KAL_FLAG_SETTER(KOM_ObjNode::useXray)
KAL_FLAG_SETTER(KOM_SopNode::bypass)
KAL_FLAG_SETTER(KOM_SopNode::setDisplayFlag)
KAL_FLAG_SETTER(KOM_SopNode::setRenderFlag)
KAL_FLAG_SETTER(KOM_SopNode::setTemplateFlag)
KAL_FLAG_SETTER(KOM_SopNode::setSelectableTemplateFlag)
KAL_FLAG_SETTER(KOM_SopNode::setHighlightFlag)
KAL_FLAG_SETTER(KOM_SopNode::setSoftLocked)
KAL_FLAG_SETTER(KOM_SopNode::setHardLocked)
KAL_FLAG_SETTER(KOM_SopNode::setUnloadFlag)
KAL_FLAG_SETTER(KOM_ChopNode::bypass)
KAL_FLAG_SETTER(KOM_ChopNode::setDisplayFlag)
KAL_FLAG_SETTER(KOM_ChopNode::setAudioFlag)
KAL_FLAG_SETTER(KOM_ChopNode::setExportFlag)
KAL_FLAG_SETTER(KOM_ChopNode::setUnloadFlag)
KAL_FLAG_SETTER(KOM_PopNode::bypass)
KAL_FLAG_SETTER(KOM_PopNode::setTemplateFlag)
KAL_FLAG_SETTER(KOM_PopNode::setDisplayFlag)
KAL_FLAG_SETTER(KOM_PopNode::setRenderFlag)

%catches(KOM_ObjectWasDeleted, KOM_InvalidNodeName, KOM_OperationFailed, KOM_Error) KOM_NetworkBox::setName;
%catches(KOM_ObjectWasDeleted, KOM_InvalidSize, KOM_InvalidInput, KOM_Error) KOM_NetworkBox::setPosition;
%catches(KOM_ObjectWasDeleted, KOM_InvalidSize, KOM_InvalidInput, KOM_Error) KOM_NetworkBox::move;
%catches(KOM_ObjectWasDeleted, KOM_InvalidSize, KOM_InvalidInput, KOM_Error) KOM_NetworkBox::setSize;
%catches(KOM_ObjectWasDeleted, KOM_InvalidSize, KOM_InvalidInput, KOM_Error) KOM_NetworkBox::resize;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_Error) KOM_NetworkBox::addNode;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_Error) KOM_NetworkBox::removeNode;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_Error) KOM_NetworkBox::removeAllNodes;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_Error) KOM_NetworkBox::destroy;
// Only KOM_Error: a wire or input whose node is gone reaches Python as plain kal.Error.
%catches(KOM_Error) KOM_NodeConnection::inputIndex;
%catches(KOM_Error) KOM_NodeConnection::outputIndex;
%catches(KOM_Error) KOM_SubnetIndirectInput::__hash__;

%feature("kwargs") KOM_Node::setName;
%feature("kwargs") KOM_Node::node;
%feature("kwargs") KOM_Node::createNode;
%feature("kwargs") KOM_Node::layoutChildren;
%feature("kwargs") KOM_Node::parmAliases;
%feature("kwargs") KOM_Node::changeNodeType;
%feature("kwargs") KOM_Node::createDigitalAsset;
%feature("kwargs") KOM_Node::collapseIntoSubnet;
%feature("kwargs") KOM_ObjNode::setWorldTransform;
%feature("kwargs") KOM_ObjNode::setParmTransform;
%feature("kwargs") KOM_VopNetNode::saveCodeToFile;

// None when there is no such node, parameter, network box or asset module, and where a
// network has no display or render node, a shader no network, or a wire no node at an end.
%feature("kal:maybenone") KOM_Node::childTypeCategory;
%feature("kal:maybenone") KOM_Node::node;
%feature("kal:maybenone") KOM_Node::parent;
%feature("kal:maybenone") KOM_Node::creator;
%feature("kal:maybenone") KOM_Node::kdaModule;
%feature("kal:maybenone") KOM_Node::parm;
%feature("kal:maybenone") KOM_Node::parmTuple;
%feature("kal:maybenone") KOM_Node::findNetworkBox;
%feature("kal:maybenone") KOM_ObjNode::displayNode;
%feature("kal:maybenone") KOM_ObjNode::renderNode;
%feature("kal:maybenone") KOM_SopNode::displayNode;
%feature("kal:maybenone") KOM_SopNode::renderNode;
%feature("kal:maybenone") KOM_PopNetNode::displayNode;
%feature("kal:maybenone") KOM_PopNetNode::renderNode;
%feature("kal:maybenone") KOM_PopNode::displayNode;
%feature("kal:maybenone") KOM_PopNode::renderNode;
%feature("kal:maybenone") KOM_ShopNode::definingVopNetNode;
%feature("kal:maybenone") KOM_NodeConnection::inputNode;
%feature("kal:maybenone") KOM_NodeConnection::outputNode;
%feature("kal:maybenone") KOM_SubnetIndirectInput::parent;

// The tuple stays with the node that holds it.
%typemap(out, noblock=1) KOM_ParmTuple *KOM_Node::addSpareParmTuple {
  $result = KOMconvertValueForInterpreter($1, 0);
}

// The subnet stays with the host, which keeps the node it returns.
%typemap(out, noblock=1) KOM_Node *KOM_SubnetIndirectInput::parent {
  $result = KOMconvertValueForInterpreter($1, 0);
}

// Used only to choose the Python class of a returned node.
%ignore KOM_Node::categoryCode;
%ignore KOM_Node::flagBits;

%include "model/nodes.h"

%catches();
