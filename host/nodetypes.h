// Node types, their categories and shading-language contexts in the reference host.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "host/journal.h"
#include "model/nodetypes.h"

struct KOM_EnumValue;

namespace kalhost
{

KALHOST_JOURNAL_FORMAT(KOM_NodeType);         // its full name
KALHOST_JOURNAL_FORMAT(KOM_NodeTypeCategory); // its name


// Category codes; the class of a returned node is chosen from them.
enum CategoryCode
{
    ObjectCategory = 0,
    SopCategory = 1,
    PopNetCategory = 2,
    PopCategory = 3,
    Cop2Category = 4,
    ChopCategory = 5,
    ChopNetCategory = 6,
    ShopCategory = 7,
    RopCategory = 8,
    Cop2NetCategory = 9,
    VopCategory = 10,
    VopNetCategory = 11,
    DopCategory = 12,
    ManagerCategory = 13,
    RootCategory = 14,
    NoCategory = -1,
};

constexpr int SimulationNetworkFlag = 0x20000;

// The data type codes that evaluation chooses its result by.
enum ParmDataType
{
    IntParmData = 1,
    FloatParmData = 2,
    StringParmData = 3,
};

// What a node type's template says about one parameter tuple.
struct ParmTupleInfo
{
    std::string name;
    std::string label;
    int dataType;
    std::vector<std::string> componentNames; // one per component
    std::vector<double> defaults = {};       // numeric tuples: one per component
    std::string textDefault = "";            // string tuples: every component
    std::vector<std::string> menuItems = {};
};

struct NodeTypeInfo
{
    std::string name;
    int categoryCode;
    int childCategoryCode; // NoCategory when the node holds no network
    int flagBits;
    std::string description = "";
    int minInputs = 0;
    int maxInputs = 0;
    bool isGenerator = false;
    bool hasUnorderedInputs = false;
    std::vector<ParmTupleInfo> parms = {};
};

// The node type of that name in that category, or null.
NodeTypeInfo const *findNodeType(int categoryCode, std::string const &name);

// Aliases and hidden flags go back to none.
void resetNodeTypes();

KOM_NodeType *nodeTypeHandle(NodeTypeInfo const *type); // new owned handle, null for none

// Categories are host-kept, one object per code; null for an unknown code.
KOM_NodeTypeCategory *categoryFor(int categoryCode);
int categoryCodeOf(KOM_NodeTypeCategory &category);
std::map<std::string, KOM_NodeTypeCategory *> categoriesByName();

std::vector<KOM_ElemPtr<KOM_ZelContext>> zelContexts();
// Throws KOM_TypeError when the value is not a shader type; null when no context has it.
KOM_ZelContext *zelContextForShaderType(KOM_EnumValue &shaderType);
KOM_ZelContext *zelContextForCategory(KOM_NodeTypeCategory &category);

} // namespace kalhost
