#include "host/nodetypes.h"

#include <vector>

namespace kalhost
{

namespace
{

std::vector<NodeTypeInfo> const theNodeTypes = {
    {"geo", ObjectCategory, SopCategory, 0},
    {"subnet", ObjectCategory, ObjectCategory, 0},
    {"null", ObjectCategory, NoCategory, 0},
    {"cam", ObjectCategory, NoCategory, 0},
    {"dopnet", ObjectCategory, DopCategory, SimulationNetworkFlag},
    {"box", SopCategory, NoCategory, 0},
    {"grid", SopCategory, NoCategory, 0},
    {"sphere", SopCategory, NoCategory, 0},
    {"null", SopCategory, NoCategory, 0},
    {"merge", SopCategory, NoCategory, 0},
    {"xform", SopCategory, NoCategory, 0},
    {"popnet", PopNetCategory, PopCategory, 0},
    {"source", PopCategory, NoCategory, 0},
    {"cop2net", Cop2NetCategory, Cop2Category, 0},
    {"constant", Cop2Category, NoCategory, 0},
    {"chopnet", ChopNetCategory, ChopCategory, 0},
    {"wave", ChopCategory, NoCategory, 0},
    {"surface", ShopCategory, NoCategory, 0},
    {"output", RopCategory, NoCategory, 0},
    {"vopnet", VopNetCategory, VopCategory, 0},
    {"constant", VopCategory, NoCategory, 0},
    {"rigidobject", DopCategory, NoCategory, 0},
};

} // namespace

NodeTypeInfo const *findNodeType(int categoryCode, std::string const &name)
{
    for (auto const &type : theNodeTypes)
        if (type.categoryCode == categoryCode && type.name == name)
            return &type;
    return nullptr;
}

} // namespace kalhost
