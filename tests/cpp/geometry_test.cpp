// Geometry in the reference host: element numbering, attribute storage, transforms and the
// cook cache behind surface nodes.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "host/geometry.h"
#include "host/host.h"
#include "host/parms.h"
#include "model/errors.h"
#include "model/parms.h"
#include "tests/cpp/network_fixture.h"

using namespace kalhost;

namespace
{

class Cooking : public Network
{
protected:
    static void set(std::shared_ptr<SceneNode> const &node, char const *parm, float value)
    {
        std::unique_ptr<KOM_Parm>(parmHandle(node, parm))->set(value);
    }

    static void wire(std::shared_ptr<SceneNode> const &to, std::shared_ptr<SceneNode> const &from)
    {
        SceneNode::Input input;
        input.node = from;
        theScene().setInputs(*to, {input});
    }
};

TEST_F(Cooking, GeometryIsCachedUntilSomethingUpstreamChanges)
{
    auto const box = sop("box");
    auto const xform = sop("xform");
    wire(xform, box);
    GeometryData const *first = &cookedGeometry(xform);
    GeometryData const *boxFirst = &cookedGeometry(box);
    EXPECT_EQ(&cookedGeometry(xform), first);

    set(xform, "tx", 1.0f); // downstream only: the box keeps its geometry
    EXPECT_NE(&cookedGeometry(xform), first);
    EXPECT_EQ(&cookedGeometry(box), boxFirst);

    first = &cookedGeometry(xform);
    set(box, "divisions", 2.0f);
    EXPECT_NE(&cookedGeometry(xform), first);
    EXPECT_EQ(cookedGeometry(xform).pointCount(), 26u);
}

TEST_F(Cooking, ACopiedNodeCooksIntoACacheOfItsOwn)
{
    auto const box = sop("box");
    GeometryData const *original = &cookedGeometry(box);
    auto const copy = theScene().copyTo({box}, geo).front();
    set(copy, "divisions", 3.0f);
    EXPECT_EQ(cookedGeometry(copy).pointCount(), 56u);
    EXPECT_EQ(&cookedGeometry(box), original);
    EXPECT_EQ(cookedGeometry(box).pointCount(), 8u);
}

TEST_F(Cooking, InputsThatFormACycleFailInsteadOfRecursing)
{
    auto const a = sop("null");
    auto const b = sop("null");
    wire(a, b);
    wire(b, a); // connecting refuses this; the cook must not rely on it
    EXPECT_THROW(cookedGeometry(a), KOM_OperationFailed);
    theScene().setInputs(*b, {});
}

TEST_F(Cooking, ALongChainCooksWithoutRecursingAndEachNodeOnce)
{
    auto const box = sop("box");
    auto last = box;
    for (int i = 0; i < 100000; ++i)
    {
        auto const next = sop("null");
        wire(next, last);
        last = next;
    }
    auto const merge = sop("merge"); // reads the box twice: once directly, once down the chain
    theScene().setInputs(*merge, {SceneNode::Input{last}, SceneNode::Input{box}});
    EXPECT_EQ(cookedGeometry(merge).pointCount(), 16u);
    EXPECT_EQ(&cookedGeometry(last), &cookedGeometry(box));
}

TEST_F(Cooking, NullSharesItsInputsGeometry)
{
    auto const box = sop("box");
    auto const null = sop("null");
    wire(null, box);
    EXPECT_EQ(&cookedGeometry(null), &cookedGeometry(box));
}

TEST(ElementIds, IdsStayWithTheirElementsAcrossDeletions)
{
    ElementIds ids;
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(ids.add(), std::uint32_t(i));
    EXPECT_EQ(ids.indexOf(3, -1), 3);
    ids.keep({1, 0, 1, 0, 1});
    EXPECT_EQ(ids.count(), 3u);
    EXPECT_EQ(ids.indexOf(1, 1), -1);
    EXPECT_EQ(ids.indexOf(4, 4), 2); // a stale hint still finds it
    EXPECT_EQ(ids.idOf(1), 2u);
    EXPECT_EQ(ids.add(), 5u); // never an id used before
    EXPECT_EQ(ids.indexOf(5, 0), 3);
    ids.keep({0, 0, 0, 0});
    EXPECT_EQ(ids.add(), 6u);
    EXPECT_EQ(ids.indexOf(6, 0), 0);
}

TEST(GeometryData, DeletingPrimitivesCompactsTheirAttributesAndUnusedPoints)
{
    GeometryData data;
    for (int i = 0; i < 6; ++i)
        data.addPoint(float(i), 0.0f, 0.0f);
    int const first[3] = {0, 1, 2}, second[3] = {2, 3, 4}, third[3] = {4, 5, 0};
    data.addPolygon(first, 3);
    data.addPolygon(second, 3);
    data.addPolygon(third, 3);
    GeometryAttrib &uv = data.addAttrib(AttribClass::Vertex, "uv", KOM_FloatAttribDataId, {0.0f}, {}, "");
    for (std::size_t vertex = 0; vertex < 9; ++vertex)
        uv.floats[vertex] = float(vertex);

    data.deletePrims({0, 1, 0}, false); // point 3 was the second's alone
    EXPECT_EQ(data.primCount(), 2u);
    EXPECT_EQ(data.pointCount(), 5u);
    EXPECT_EQ(data.find(AttribClass::Vertex, "uv")->floats, (std::vector<float>{0, 1, 2, 6, 7, 8}));
    EXPECT_EQ(data.vertexPoints, (std::vector<int>{0, 1, 2, 3, 4, 0}));
    EXPECT_EQ(data.positions().floats[3 * 3], 4.0f); // the old point 4, renumbered
}

TEST(GeometryData, AppendingMatchesAttributesByNameAndConvertsNumbers)
{
    GeometryData first, second;
    first.addPoint(0, 0, 0);
    first.addAttrib(AttribClass::Point, "id", KOM_IntAttribDataId, {}, {7}, "");
    first.addAttrib(AttribClass::Global, "name", KOM_StringAttribDataId, {}, {}, "first");
    second.addPoint(1, 1, 1);
    second.addPoint(2, 2, 2);
    GeometryAttrib &id =
        second.addAttrib(AttribClass::Point, "id", KOM_FloatAttribDataId, {2.6f, 1.0f}, {}, "");
    id.floats[2] = -3.4f;
    GeometryAttrib &secondLabel =
        second.addAttrib(AttribClass::Point, "label", KOM_StringAttribDataId, {}, {}, "b");
    secondLabel.ints[1] = secondLabel.stringIndex("c");
    second.addAttrib(AttribClass::Global, "name", KOM_StringAttribDataId, {}, {}, "second");

    first.append(second);
    EXPECT_EQ(first.pointCount(), 3u);
    EXPECT_EQ(first.find(AttribClass::Point, "id")->ints,
              (std::vector<int>{7, 3, -3})); // first component only
    GeometryAttrib const &label = *first.find(AttribClass::Point, "label");
    ASSERT_EQ(label.count, 3u);
    EXPECT_EQ(label.strings[label.ints[0]], "b"); // elements it was missing from take its default
    EXPECT_EQ(label.strings[label.ints[1]], "b");
    EXPECT_EQ(label.strings[label.ints[2]], "c");
    GeometryAttrib const &name = *first.find(AttribClass::Global, "name");
    EXPECT_EQ(name.strings[name.ints[0]], "first"); // the values already there win
}

TEST(GeometryData, AttributeNamesAreIdentifiersUsedOnce)
{
    GeometryData data;
    EXPECT_THROW(data.addAttrib(AttribClass::Point, "P", KOM_FloatAttribDataId, {0}, {}, ""),
                 KOM_OperationFailed);
    EXPECT_THROW(data.addAttrib(AttribClass::Point, "1st", KOM_IntAttribDataId, {}, {0}, ""),
                 KOM_OperationFailed);
    EXPECT_THROW(data.addAttrib(AttribClass::Point, "", KOM_IntAttribDataId, {}, {0}, ""),
                 KOM_OperationFailed);
    EXPECT_NO_THROW(data.addAttrib(AttribClass::Prim, "P", KOM_IntAttribDataId, {}, {0}, ""));
}

TEST(Transform, ScalesRotatesThenTranslatesAndKeepsNormalsPerpendicular)
{
    double const translate[3] = {1, 2, 3}, rotate[3] = {0, 0, 90}, scale[3] = {2, 1, 1};
    Transform const transform = Transform::fromComponents(translate, rotate, scale);
    float point[3] = {1, 0, 0};
    transform.applyToPoint(point); // (2, 0, 0) turned about z is (0, 2, 0)
    EXPECT_NEAR(point[0], 1.0f, 1e-6f);
    EXPECT_NEAR(point[1], 4.0f, 1e-6f);
    EXPECT_NEAR(point[2], 3.0f, 1e-6f);

    // The plane x + y = 0: its tangent (1, -1, 0) and normal (1, 1, 0) stay perpendicular.
    double const none[3] = {0, 0, 0}, squash[3] = {3, 1, 0.5};
    Transform const skew = Transform::fromComponents(none, none, squash);
    float tangent[3] = {1, -1, 0}, normal[3] = {1, 1, 0};
    skew.applyToPoint(tangent);
    skew.applyToNormal(normal);
    EXPECT_NEAR(tangent[0] * normal[0] + tangent[1] * normal[1] + tangent[2] * normal[2], 0.0f, 1e-6f);
    EXPECT_NEAR(std::hypot(normal[0], normal[1], normal[2]), 1.0f, 1e-6f);
}

} // namespace
