// Object nodes: transforms through the parent chain, their decomposition back into parameters,
// look-at rotations, viewport flags and combining geometry.
#include <algorithm>
#include <cmath>

#include "host/mathvalues.h"
#include "host/nodes.h"
#include "host/parms.h"
#include "model/errors.h"

namespace kalhost
{

namespace
{

char const *const TransformTuples[3] = {"t", "r", "s"};

KOM_Matrix4 identity() { return KOM_Matrix4(1.0); }

// The translate, rotate and scale of an object's parameters now (those it lacks: none).
TransformParts parmParts(std::shared_ptr<SceneNode> const &object)
{
    TransformParts parts = {{0.0, 0.0, 0.0}, {0.0, 0.0, 0.0}, {1.0, 1.0, 1.0}};
    double(*const into[3])[3] = {&parts.translate, &parts.rotate, &parts.scale};
    for (int which = 0; which < 3; ++which)
        if (auto const tuple = findParmTuple(*object, TransformTuples[which]))
            for (std::size_t i = 0; i < 3 && i < tuple->parms.size(); ++i)
                (*into[which])[i] = evalParmNumber(object, tuple, i);
    return parts;
}

KOM_Vector3 originOf(KOM_Matrix4 const &matrix)
{
    return KOM_Vector3(float(matrix.m[3][0]), float(matrix.m[3][1]), float(matrix.m[3][2]));
}

KOM_Matrix4 translation(double x, double y, double z)
{
    KOM_Matrix4 matrix = identity();
    matrix.m[3][0] = x;
    matrix.m[3][1] = y;
    matrix.m[3][2] = z;
    return matrix;
}

KOM_Vector3 worldPoint(KOM_Vector3 const &point, std::shared_ptr<SceneNode> const &object)
{
    return transformPoint(point, worldTransformOf(object));
}

// Sets an object's translate, rotate and scale parameters to build `matrix`. Locked ones keep
// their values, or are an error (KOM_PermissionError) before anything changes.
void setTransformParms(std::shared_ptr<SceneNode> const &self, KOM_Matrix4 const &matrix,
                       bool failOnLockedParms)
{
    TransformParts const parts = partsOfTransform(matrix);
    double const *const values[3] = {parts.translate, parts.rotate, parts.scale};
    std::shared_ptr<SceneParmTuple> tuples[3];
    for (int which = 0; which < 3; ++which)
    {
        tuples[which] = findParmTuple(*self, TransformTuples[which]);
        if (failOnLockedParms && tuples[which])
            for (auto const &parm : tuples[which]->parms)
                requireUnlocked(parm);
    }
    for (int which = 0; which < 3; ++which)
        if (tuples[which])
            for (std::size_t i = 0; i < 3 && i < tuples[which]->parms.size(); ++i)
                if (!tuples[which]->parms[i].locked)
                    assignNumber(*tuples[which], tuples[which]->parms[i], values[which][i], false);
}

std::shared_ptr<SceneNode> objectOf(KOM_ObjNode &node)
{
    auto object = NodeHandle::sceneOf(&node);
    if (!object || object->type->categoryCode != KOM_ObjectCategory)
        throw KOM_OperationFailed("Expected an object node");
    return object;
}

} // namespace

// --- Transforms for other families ------------------------------------------------------

KOM_Matrix4 parmTransformOf(std::shared_ptr<SceneNode> const &object)
{
    TransformParts const parts = parmParts(object);
    return transformFromParts(parts.translate, parts.rotate, parts.scale);
}

KOM_Matrix4 preTransformOf(SceneNode const &object)
{
    KOM_Matrix4 matrix = identity();
    if (object.preTransform)
        std::copy(&object.preTransform->m[0][0], &object.preTransform->m[0][0] + 16, &matrix.m[0][0]);
    return matrix;
}

std::shared_ptr<SceneNode> parentObjectOf(std::shared_ptr<SceneNode> const &object)
{
    auto const isObject = [](std::shared_ptr<SceneNode> const &node) {
        return node && node->type->categoryCode == KOM_ObjectCategory;
    };
    if (!object->inputs().empty())
        if (auto source = sourceOf(object->inputs().front()); isObject(source))
            return source;
    auto network = object->parent.lock();
    return isObject(network) ? network : nullptr;
}

KOM_Matrix4 worldTransformOf(std::shared_ptr<SceneNode> const &object)
{
    // Up the chain of parents, each local transform applied before its parent's. Wiring has no
    // loops and networks nest, so the chain ends; it is walked, not recursed, however long.
    KOM_Matrix4 world = identity();
    for (auto node = object; node; node = parentObjectOf(node))
        world = product<4>(world, product<4>(parmTransformOf(node), preTransformOf(*node)));
    return world;
}

// --- ObjNode ----------------------------------------------------------------------------

std::shared_ptr<SceneNode> NodeHandle::sceneOfCategory(int categoryCode) const
{
    auto node = scene();
    if (node->type->categoryCode != categoryCode)
        throw KOM_OperationFailed(("Not a node of this kind: " + node->path()).c_str());
    return node;
}

KOM_Vector3 *NodeHandle::origin()
{
    hostOperation("ObjNode.origin");
    return new KOM_Vector3(originOf(worldTransformOf(sceneOfCategory(KOM_ObjectCategory))));
}

KOM_Matrix4 *NodeHandle::worldTransform()
{
    hostOperation("ObjNode.worldTransform");
    return new KOM_Matrix4(worldTransformOf(sceneOfCategory(KOM_ObjectCategory)));
}

void NodeHandle::setWorldTransform(KOM_Matrix4 &matrix, bool fail_on_locked_parms)
{
    // world = parms * pre * parent's world, so parms = world * parent's world^-1 * pre^-1.
    hostOperation("ObjNode.setWorldTransform", matrix, fail_on_locked_parms);
    auto const self = sceneOfCategory(KOM_ObjectCategory);
    editableScene();
    auto const parent = parentObjectOf(self);
    KOM_Matrix4 const parentWorld = parent ? worldTransformOf(parent) : identity();
    KOM_Matrix4 const local = product<4>(matrix, inverseOf<4>(parentWorld));
    setTransformParms(self, product<4>(local, inverseOf<4>(preTransformOf(*self))), fail_on_locked_parms);
}

KOM_Matrix4 *NodeHandle::parmTransform()
{
    hostOperation("ObjNode.parmTransform");
    return new KOM_Matrix4(parmTransformOf(sceneOfCategory(KOM_ObjectCategory)));
}

void NodeHandle::setParmTransform(KOM_Matrix4 &matrix, bool fail_on_locked_parms)
{
    hostOperation("ObjNode.setParmTransform", matrix, fail_on_locked_parms);
    auto const self = sceneOfCategory(KOM_ObjectCategory);
    editableScene();
    setTransformParms(self, matrix, fail_on_locked_parms);
}

KOM_Matrix4 *NodeHandle::preTransform()
{
    hostOperation("ObjNode.preTransform");
    return new KOM_Matrix4(preTransformOf(*sceneOfCategory(KOM_ObjectCategory)));
}

namespace
{
void storePreTransform(SceneNode &object, KOM_Matrix4 const &matrix)
{
    auto stored = std::make_shared<SceneTransform>();
    std::copy(&matrix.m[0][0], &matrix.m[0][0] + 16, &stored->m[0][0]);
    object.preTransform = std::move(stored);
}
} // namespace

void NodeHandle::setPreTransform(KOM_Matrix4 &matrix)
{
    hostOperation("ObjNode.setPreTransform", matrix);
    auto const self = sceneOfCategory(KOM_ObjectCategory);
    editableScene();
    storePreTransform(*self, matrix);
}

namespace
{

// Which parameter transforms a move takes out of the parameters into the pre-transform.
enum Moved : unsigned
{
    MovedTranslate = 1,
    MovedRotate = 2,
    MovedScale = 4,
};

// The parameters lose the moved parts; the pre-transform takes what keeps the local transform
// (parameters', then pre-transform) as it was.
void moveIntoPreTransform(std::shared_ptr<SceneNode> const &self, unsigned moved)
{
    KOM_Matrix4 const local = product<4>(parmTransformOf(self), preTransformOf(*self));
    TransformParts parts = parmParts(self);
    for (int i = 0; i < 3; ++i)
    {
        if (moved & MovedTranslate)
            parts.translate[i] = 0.0;
        if (moved & MovedRotate)
            parts.rotate[i] = 0.0;
        if (moved & MovedScale)
            parts.scale[i] = 1.0;
    }
    setTransformParms(self, transformFromParts(parts.translate, parts.rotate, parts.scale), false);
    storePreTransform(*self, product<4>(inverseOf<4>(parmTransformOf(self)), local));
}

} // namespace

void NodeHandle::movePreTransformIntoParmTransform()
{
    hostOperation("ObjNode.movePreTransformIntoParmTransform");
    auto const self = sceneOfCategory(KOM_ObjectCategory);
    editableScene();
    KOM_Matrix4 const local = product<4>(parmTransformOf(self), preTransformOf(*self));
    setTransformParms(self, local, false);
    // What the parameters cannot hold (a shear, a locked parameter) stays in the pre-transform;
    // rounding alone leaves none.
    KOM_Matrix4 const rest = product<4>(inverseOf<4>(parmTransformOf(self)), local);
    KOM_Matrix4 const none = identity();
    if (allWithin(&rest.m[0][0], &none.m[0][0], 16, 1e-9))
        self->preTransform.reset();
    else
        storePreTransform(*self, rest);
}

#define KALHOST_MOVE_INTO_PRE_TRANSFORM(METHOD, MOVED)                                            \
    void NodeHandle::METHOD()                                                                  \
    {                                                                                          \
        hostOperation("ObjNode." #METHOD);                                                     \
        auto const self = sceneOfCategory(KOM_ObjectCategory);                                 \
        editableScene();                                                                       \
        moveIntoPreTransform(self, MOVED);                                                     \
    }

KALHOST_MOVE_INTO_PRE_TRANSFORM(moveParmTransformIntoPreTransform,
                                MovedTranslate | MovedRotate | MovedScale)
KALHOST_MOVE_INTO_PRE_TRANSFORM(moveParmTranslateIntoPreTransform, MovedTranslate)
KALHOST_MOVE_INTO_PRE_TRANSFORM(moveParmRotateIntoPreTransform, MovedRotate)
KALHOST_MOVE_INTO_PRE_TRANSFORM(moveParmScaleIntoPreTransform, MovedScale)
#undef KALHOST_MOVE_INTO_PRE_TRANSFORM

KOM_Matrix4 *NodeHandle::getTransformToNode(KOM_ObjNode &obj_node)
{
    hostOperation("ObjNode.getTransformToNode", static_cast<KOM_Node &>(obj_node));
    auto const self = sceneOfCategory(KOM_ObjectCategory);
    return new KOM_Matrix4(
        product<4>(worldTransformOf(self), inverseOf<4>(worldTransformOf(objectOf(obj_node)))));
}

KOM_Matrix4 *NodeHandle::getTransformFromPointToPoint(KOM_Vector3 &pos3, KOM_ObjNode &other_node,
                                                      KOM_Vector3 &pos3_other)
{
    // The world-space translation that carries the one point onto the other.
    hostOperation("ObjNode.getTransformFromPointToPoint", pos3,
                  static_cast<KOM_Node &>(other_node), pos3_other);
    KOM_Vector3 const from = worldPoint(pos3, sceneOfCategory(KOM_ObjectCategory));
    KOM_Vector3 const to = worldPoint(pos3_other, objectOf(other_node));
    return new KOM_Matrix4(translation(double(to.x) - from.x, double(to.y) - from.y,
                                       double(to.z) - from.z));
}

KOM_Matrix4 *NodeHandle::buildLookatRotation(KOM_ObjNode &to_node, KOM_Vector3 *up_vector)
{
    // Rows are the rotated axes: -z towards the target, y as near the up vector as it can be.
    // With nothing to look along (the target at the origin, the up vector along the view) the
    // rotation is the identity.
    hostOperation("ObjNode.buildLookatRotation", static_cast<KOM_Node &>(to_node), up_vector);
    auto const self = sceneOfCategory(KOM_ObjectCategory);
    KOM_Vector3 const from = originOf(worldTransformOf(self));
    KOM_Vector3 const to = originOf(worldTransformOf(objectOf(to_node)));
    double const up[3] = {up_vector ? up_vector->x : 0.0, up_vector ? up_vector->y : 1.0,
                          up_vector ? up_vector->z : 0.0};
    double z[3] = {double(from.x) - to.x, double(from.y) - to.y, double(from.z) - to.z};
    double x[3] = {up[1] * z[2] - up[2] * z[1], up[2] * z[0] - up[0] * z[2], up[0] * z[1] - up[1] * z[0]};
    double const zLength = std::sqrt(z[0] * z[0] + z[1] * z[1] + z[2] * z[2]);
    double const xLength = std::sqrt(x[0] * x[0] + x[1] * x[1] + x[2] * x[2]);
    KOM_Matrix4 rotation = identity();
    if (!(zLength > 1e-12) || !(xLength > 1e-12 * zLength))
        return new KOM_Matrix4(rotation);
    for (int i = 0; i < 3; ++i)
    {
        z[i] /= zLength;
        x[i] /= xLength;
    }
    double const y[3] = {z[1] * x[2] - z[2] * x[1], z[2] * x[0] - z[0] * x[2], z[0] * x[1] - z[1] * x[0]};
    for (int i = 0; i < 3; ++i)
    {
        rotation.m[0][i] = x[i];
        rotation.m[1][i] = y[i];
        rotation.m[2][i] = z[i];
    }
    return new KOM_Matrix4(rotation);
}

bool NodeHandle::isObjectDisplayed()
{
    // Shown when its display flag is on and every object network around it is shown.
    hostOperation("ObjNode.isObjectDisplayed");
    for (auto node = sceneOfCategory(KOM_ObjectCategory);
         node && node->type->categoryCode == KOM_ObjectCategory; node = node->parent.lock())
        if (!(node->flags & FlagDisplay))
            return false;
    return true;
}

bool NodeHandle::isSelectableInViewport()
{
    return flag({"ObjNode"}, "isSelectableInViewport", FlagSelectable);
}

void NodeHandle::setSelectableInViewport(bool on)
{
    setFlag({"ObjNode"}, "setSelectableInViewport", FlagSelectable, on);
}

bool NodeHandle::isShowingOrigin() { return flag({"ObjNode"}, "isShowingOrigin", FlagShowOrigin); }

void NodeHandle::showOrigin(bool on) { setFlag({"ObjNode"}, "showOrigin", FlagShowOrigin, on); }

bool NodeHandle::isUsingXray() { return flag({"ObjNode"}, "isUsingXray", FlagXray); }

void NodeHandle::useXray(bool on) { setFlag({"ObjNode"}, "useXray", FlagXray, on); }

void NodeHandle::combine(std::vector<KOM_Node *> const &nodes)
{
    // Each object's surface nodes move in here behind a transform node that keeps where their
    // geometry was; a merge of everything shown becomes the display and render node, and the
    // emptied objects go.
    hostOperation("ObjNode.combine", nodes);
    auto const self = sceneOfCategory(KOM_ObjectCategory);
    editableScene();
    auto const others = scenesOf(nodes);
    auto const holdsSurfaces = [](SceneNode const &node) {
        return node.type->categoryCode == KOM_ObjectCategory && node.type->childCategoryCode == KOM_SopCategory;
    };
    if (!holdsSurfaces(*self))
        throw KOM_OperationFailed((self->path() + " holds no geometry").c_str());
    for (auto const &other : others)
    {
        if (other->type->categoryCode != KOM_ObjectCategory)
            throw KOM_TypeError(("Not an object: " + other->path()).c_str());
        if (other == self || !holdsSurfaces(*other) || other->isInsideLockedAsset())
            throw KOM_OperationFailed(("Cannot combine " + other->path() + " into " + self->path()).c_str());
    }
    if (others.empty())
        return;
    KOM_Matrix4 const toSelf = inverseOf<4>(worldTransformOf(self));
    std::vector<std::shared_ptr<SceneNode>> shown;
    if (auto const own = displayedChild(*self))
        shown.push_back(own);
    for (auto const &other : others)
    {
        auto const displayed = displayedChild(*other);
        KOM_Matrix4 const relative = product<4>(worldTransformOf(other), toSelf);
        auto const children = other->children.list();
        auto const moved = theScene().moveTo(children, self);
        if (!displayed)
            continue;
        auto const at = std::find(children.begin(), children.end(), displayed) - children.begin();
        auto const placed = theScene().create(self, "xform", nullptr);
        setTransformParms(placed, relative, false);
        theScene().connect(*placed, 0, {moved[at], 0, false}, false);
        shown.push_back(placed);
    }
    auto const merge = theScene().create(self, "merge", nullptr);
    for (std::size_t i = 0; i < shown.size(); ++i)
        theScene().connect(*merge, static_cast<int>(i), {shown[i], 0, false}, false);
    self->displayChild = {merge, true};
    self->renderChild = {merge, true};
    for (auto const &other : others)
        theScene().destroy(other);
}

} // namespace kalhost
