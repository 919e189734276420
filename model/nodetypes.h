// Node types, their categories and shading-language contexts.
#pragma once

class KOM_NodeType
{
public:
    virtual ~KOM_NodeType() {}
};

class KOM_ShopNodeType : public virtual KOM_NodeType {};
class KOM_SopNodeType : public virtual KOM_NodeType {};

// Host-owned: one instance per category, never deleted through a proxy.
class KOM_NodeTypeCategory
{
public:
    virtual ~KOM_NodeTypeCategory() {}
};

class KOM_ZelContext
{
public:
    virtual ~KOM_ZelContext() {}
};
