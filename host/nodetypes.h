// Node types and their categories in the reference host.
#pragma once

#include <string>

namespace kalhost
{

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

struct NodeTypeInfo
{
    std::string name;
    int categoryCode;
    int childCategoryCode; // NoCategory when the node holds no network
    int flagBits;
};

// The node type of that name in that category, or null.
NodeTypeInfo const *findNodeType(int categoryCode, std::string const &name);

} // namespace kalhost
