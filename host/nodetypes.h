// Node types, their categories and shading-language contexts in the reference host.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "host/journal.h"
#include "model/nodetypes.h"
#include "model/parms.h"

struct KOM_EnumValue;

namespace kalhost
{

KALHOST_JOURNAL_FORMAT(KOM_NodeType);         // its full name
KALHOST_JOURNAL_FORMAT(KOM_NodeTypeCategory); // its name


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
    // What a parameter template adds (host/parmtemplates.h); the defaults suit the node types.
    std::vector<std::string> textDefaults = {}; // string tuples: one per component, over textDefault
    int templateTypeId = 0;                     // a parmTemplateType id; 0: by the data type
    KOM_EnumValue const *look = nullptr;        // null: parmLook.Regular
    KOM_EnumValue const *namingScheme = nullptr; // null: by the number of components
    double min = 0.0;
    double max = 10.0;
    bool minIsStrict = false;
    bool maxIsStrict = false;
    std::map<std::string, std::string> tags = {};
};

struct NodeTypeInfo
{
    std::string name;
    int categoryCode;
    int childCategoryCode; // KOM_NoCategory when the node holds no network
    int flagBits;
    std::string description = "";
    int minInputs = 0;
    int maxInputs = 0;
    bool isGenerator = false;
    bool hasUnorderedInputs = false;
    std::vector<ParmTupleInfo> parms = {};
};

// The node type of that name in that category (built in, or defined by an installed digital
// asset), or null.
NodeTypeInfo const *findNodeType(int categoryCode, std::string const &name);

// Aliases and hidden flags go back to none.
void resetNodeTypes();

KOM_NodeType *nodeTypeHandle(NodeTypeInfo const *type); // new owned handle, null for none

// Categories are host-kept, one object per code; null for an unknown code.
KOM_NodeTypeCategory *categoryFor(int categoryCode);
int categoryCodeOf(KOM_NodeTypeCategory &category);
// "Object", "Sop" ...; empty for an unknown code. Not recorded in the journal.
std::string categoryNameOf(int categoryCode);
std::map<std::string, KOM_NodeTypeCategory *> categoriesByName();

std::vector<KOM_ElemPtr<KOM_ZelContext>> zelContexts();
// Throws KOM_TypeError when the value is not a shader type; null when no context has it.
KOM_ZelContext *zelContextForShaderType(KOM_EnumValue &shaderType);
KOM_ZelContext *zelContextForCategory(KOM_NodeTypeCategory &category);

} // namespace kalhost
