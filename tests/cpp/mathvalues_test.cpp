// The reference host's math library: inversion, decomposition, rotation orders, quaternions,
// colour models, and the journal and faults of its operations.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "host/journal.h"
#include "host/mathvalues.h"
#include "model/errors.h"

namespace kalhost
{
void resetHost();
}

using namespace kalhost;

namespace
{

char const *const RotateOrders[] = {"xyz", "xzy", "yxz", "yzx", "zxy", "zyx"};
char const *const TransformOrders[] = {"srt", "str", "rst", "rts", "tsr", "trs"};

KOM_Matrix4 identity() { return KOM_Matrix4(1.0); }

template <class M>
void expectNear(M const &actual, M const &expected, double tolerance, int n)
{
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            EXPECT_NEAR(actual.m[i][j], expected.m[i][j], tolerance) << "entry " << i << ", " << j;
}

void expectNear(KOM_Vector3 const &actual, double x, double y, double z, double tolerance)
{
    EXPECT_NEAR(actual.x, x, tolerance);
    EXPECT_NEAR(actual.y, y, tolerance);
    EXPECT_NEAR(actual.z, z, tolerance);
}

// The transform the decomposition assumes: each of scale-and-shear and rotation about the pivot,
// in the transform order, row vectors.
KOM_Matrix4 compose(char const *transformOrder, char const *rotateOrder, KOM_Vector3 const &t,
                    KOM_Vector3 const &r, KOM_Vector3 const &s, KOM_Vector3 const &h,
                    KOM_Vector3 const &pivot)
{
    KOM_kmath &kmath = theKmath();
    KOM_Vector3 const minus(-pivot.x, -pivot.y, -pivot.z);
    KOM_Matrix4 toPivot = kmath.buildTranslate(minus), fromPivot = kmath.buildTranslate(pivot);
    KOM_Matrix4 scale = kmath.buildScale(s), shear = kmath.buildShear(h);
    KOM_Matrix4 rotate = kmath.buildRotate(r, rotateOrder);
    KOM_Matrix4 scaleShear = toPivot.__mul__(scale).__mul__(shear).__mul__(fromPivot);
    KOM_Matrix4 rotation = toPivot.__mul__(rotate).__mul__(fromPivot);
    KOM_Matrix4 translation = kmath.buildTranslate(t);
    KOM_Matrix4 result = identity();
    for (char const *step = transformOrder; *step; ++step)
        result = result.__mul__(*step == 's' ? scaleShear : *step == 'r' ? rotation : translation);
    return result;
}

class MathValues : public ::testing::Test
{
protected:
    void SetUp() override { resetHost(); }
    void TearDown() override { setJournalling(false); }
    std::mt19937 random{20261206};
    double uniform(double low, double high) { return std::uniform_real_distribution<>(low, high)(random); }
};

} // namespace

TEST_F(MathValues, InverseTimesMatrixIsTheIdentity)
{
    for (int trial = 0; trial < 50; ++trial)
    {
        KOM_Matrix4 m;
        for (auto &row : m.m)
            for (double &entry : row)
                entry = uniform(-5.0, 5.0);
        if (std::abs(m.determinant()) < 1e-3)
            continue;
        KOM_Matrix4 inverse = m.inverted();
        expectNear(inverse.__mul__(m), identity(), 1e-9, 4);
        expectNear(m.preMult(inverse), identity(), 1e-9, 4);

        KOM_Matrix3 m3;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                m3.m[i][j] = m.m[i][j];
        if (std::abs(m3.determinant()) < 1e-3)
            continue;
        KOM_Matrix3 inverse3 = m3.inverted();
        expectNear(inverse3.__mul__(m3), KOM_Matrix3(1.0), 1e-9, 3);
    }
}

TEST_F(MathValues, SingularMatricesHaveNoInverse)
{
    KOM_Matrix4 rankThree(1.0);
    rankThree.m[2][0] = 2.0, rankThree.m[2][1] = 4.0, rankThree.m[2][2] = 0.0;
    rankThree.m[1][0] = 1.0, rankThree.m[1][1] = 2.0, rankThree.m[1][2] = 0.0;
    for (KOM_Matrix4 singular : {KOM_Matrix4(), rankThree, theKmath().buildScale(1.0, 0.0, 1.0)})
        EXPECT_THROW(singular.inverted(), KOM_OperationFailed);
    KOM_Matrix3 zero;
    EXPECT_THROW(zero.inverted(), KOM_OperationFailed);
    // Tiny but regular: scaled, not singular.
    KOM_Matrix4 small(1e-8);
    EXPECT_NEAR(small.inverted().m[0][0], 1e8, 1.0);
}

TEST_F(MathValues, DeterminantIsMultiplicative)
{
    KOM_Matrix4 a = compose("srt", "xyz", {1, 2, 3}, {10, 20, 30}, {2, 3, 4}, {0.5f, 0, 0.25f}, {});
    KOM_Matrix4 b = compose("rst", "zyx", {-1, 0, 5}, {-40, 5, 60}, {1, -2, 0.5f}, {0, 0.3f, 0}, {});
    EXPECT_NEAR(a.__mul__(b).determinant(), a.determinant() * b.determinant(), 1e-9);
    EXPECT_NEAR(a.determinant(), 2.0 * 3.0 * 4.0, 1e-9); // rotations and shears keep volume
}

TEST_F(MathValues, RotationsAreRightHandedInDegreesAndApplyInOrder)
{
    KOM_kmath &kmath = theKmath();
    KOM_Vector3 x(1, 0, 0), y(0, 1, 0);
    KOM_Matrix4 aboutZ = kmath.buildRotate(0.0, 0.0, 90.0, "xyz");
    KOM_Matrix4 aboutX = kmath.buildRotate(90.0, 0.0, 0.0, "xyz");
    expectNear(x.__mul__(aboutZ), 0, 1, 0, 1e-6);
    expectNear(y.__mul__(aboutX), 0, 0, 1, 1e-6);
    // "xyz": about x first. x is unmoved by 90 about x, then taken to -z by 90 about y.
    KOM_Matrix4 xThenY = kmath.buildRotate(90.0, 90.0, 0.0, "xyz");
    expectNear(x.__mul__(xThenY), 0, 0, -1, 1e-6);
    // "yxz": about y first takes x to -z, which 90 about x takes to y.
    KOM_Matrix4 yThenX = kmath.buildRotate(90.0, 90.0, 0.0, "yxz");
    expectNear(x.__mul__(yThenX), 0, 1, 0, 1e-6);
    expectNear(kmath.buildRotateAboutAxis(KOM_Vector3(0, 0, 2), 90.0), aboutZ, 1e-12, 4);
    EXPECT_NEAR(kmath.degToRad(180.0), M_PI, 1e-15);
    EXPECT_NEAR(kmath.radToDeg(M_PI / 2), 90.0, 1e-12);
}

TEST_F(MathValues, EulerAnglesRoundTripInEveryOrder)
{
    for (char const *order : RotateOrders)
        for (int trial = 0; trial < 20; ++trial)
        {
            KOM_Vector3 angles(float(uniform(-179, 179)), float(uniform(-89, 89)), float(uniform(-179, 179)));
            // The middle axis of the order is the one limited to (-90, 90).
            float *byAxis = &angles.x;
            std::swap(byAxis[1], byAxis[order[1] - 'x']);
            KOM_Matrix4 m = theKmath().buildRotate(angles, order);
            KOM_Vector3 back = m.extractRotates("srt", order, KOM_Vector3());
            expectNear(back, angles.x, angles.y, angles.z, 1e-3);
        }
}

TEST_F(MathValues, GimbalLockStillRebuildsTheRotation)
{
    for (char const *order : RotateOrders)
    {
        KOM_Vector3 angles(30, 40, 50);
        (&angles.x)[order[1] - 'x'] = 90;
        KOM_Matrix4 m = theKmath().buildRotate(angles, order);
        KOM_Vector3 back = m.extractRotates("srt", order, KOM_Vector3());
        expectNear(theKmath().buildRotate(back, order), m, 1e-5, 4);
    }
}

TEST_F(MathValues, ExplodeReturnsTheComponentsOfEveryOrder)
{
    KOM_Vector3 const t(1.5f, -2, 3), r(20, -35, 60), s(2, 0.5f, 3), h(0.25f, -0.5f, 0.125f);
    for (char const *transformOrder : TransformOrders)
        for (char const *rotateOrder : RotateOrders)
            for (KOM_Vector3 pivot : {KOM_Vector3(), KOM_Vector3(0.5f, 1, -2)})
            {
                SCOPED_TRACE(std::string(transformOrder) + " " + rotateOrder);
                KOM_Matrix4 m = compose(transformOrder, rotateOrder, t, r, s, h, pivot);
                auto parts = m.explode(transformOrder, rotateOrder, pivot);
                expectNear(parts.at("translate"), t.x, t.y, t.z, 1e-4);
                expectNear(parts.at("rotate"), r.x, r.y, r.z, 1e-3);
                expectNear(parts.at("scale"), s.x, s.y, s.z, 1e-5);
                expectNear(parts.at("shear"), h.x, h.y, h.z, 1e-5);
                if (pivot.lengthSquared() == 0.0) // it takes no pivot
                    expectNear(m.extractTranslates(transformOrder), t.x, t.y, t.z, 1e-4);
            }
}

TEST_F(MathValues, AMirrorIsANegativeScale)
{
    KOM_Vector3 const t(1, 2, 3), r(10, 20, 30), s(-2, 1, 1);
    KOM_Matrix4 m = compose("srt", "xyz", t, r, s, {}, {});
    auto parts = m.explode("srt", "xyz", KOM_Vector3());
    expectNear(parts.at("scale"), -2, 1, 1, 1e-5);
    expectNear(parts.at("rotate"), 10, 20, 30, 1e-3);
}

TEST_F(MathValues, BadOrdersAndZeroScalesAreRefused)
{
    KOM_Matrix4 m(1.0);
    for (char const *bad : {"xy", "xxz", "XYZ", "xyzw", ""})
        EXPECT_THROW(m.extractRotates("srt", bad, KOM_Vector3()), KOM_ValueError) << bad;
    EXPECT_THROW(m.extractRotates("srt", nullptr, KOM_Vector3()), KOM_ValueError);
    for (char const *bad : {"sr", "ssr", "tsrx"})
        EXPECT_THROW(m.explode(bad, "xyz", KOM_Vector3()), KOM_ValueError) << bad;
    EXPECT_THROW(theKmath().buildRotate(0.0, 0.0, 0.0, "xyx"), KOM_ValueError);
    KOM_Matrix4 flat = theKmath().buildScale(1.0, 0.0, 1.0);
    EXPECT_THROW(flat.extractScales("srt", KOM_Vector3()), KOM_OperationFailed);
    EXPECT_THROW(KOM_Matrix3().extractRotates("xyz"), KOM_OperationFailed);
}

TEST_F(MathValues, QuaternionsAndMatricesRoundTrip)
{
    for (int trial = 0; trial < 20; ++trial)
    {
        KOM_Quaternion q = KOM_Quaternion(float(uniform(-1, 1)), float(uniform(-1, 1)),
                                          float(uniform(-1, 1)), float(uniform(-1, 1)))
                               .normalized();
        KOM_Quaternion back = rotationQuaternion(rotationMatrix(q));
        double const sign = (back.w * q.w + back.x * q.x + back.y * q.y + back.z * q.z) < 0 ? -1 : 1;
        EXPECT_NEAR(back.x * sign, q.x, 1e-5);
        EXPECT_NEAR(back.y * sign, q.y, 1e-5);
        EXPECT_NEAR(back.z * sign, q.z, 1e-5);
        EXPECT_NEAR(back.w * sign, q.w, 1e-5);

        // A product rotates by its right factor first: R(p q) = R(q) R(p) for row vectors.
        KOM_Quaternion p = KOM_Quaternion(0.3f, -0.2f, 0.9f, 0.1f).normalized();
        KOM_Matrix3 pFirst = rotationMatrix(p);
        expectNear(rotationMatrix(p.__mul__(q)), rotationMatrix(q).__mul__(pFirst), 1e-5, 3);
    }
    // 90 degrees about z, as kmath builds it.
    float const half = float(std::sqrt(0.5));
    KOM_Matrix3 aboutZ = rotationMatrix(KOM_Quaternion(0, 0, half, half));
    KOM_Matrix4 built = theKmath().buildRotate(0.0, 0.0, 90.0, "xyz");
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            EXPECT_NEAR(aboutZ.m[i][j], built.m[i][j], 1e-6);
}

TEST_F(MathValues, ColoursConvertBetweenModels)
{
    struct Case
    {
        float rgb[3], hsv[3], hsl[3];
    };
    // Hue in degrees; the rest in [0, 1].
    Case const cases[] = {{{1, 0, 0}, {0, 1, 1}, {0, 1, 0.5f}},
                          {{0, 0.5f, 0}, {120, 1, 0.5f}, {120, 1, 0.25f}},
                          {{0.25f, 0.5f, 0.75f}, {210, 2.0f / 3, 0.75f}, {210, 0.5f, 0.5f}},
                          {{0.6f, 0.6f, 0.6f}, {0, 0, 0.6f}, {0, 0, 0.6f}}};
    for (auto const &c : cases)
    {
        KOM_Color color(std::vector<float>(c.rgb, c.rgb + 3));
        auto const hsv = color.hsv(), hsl = color.hsl();
        for (int i = 0; i < 3; ++i)
        {
            EXPECT_NEAR(hsv[i], c.hsv[i], 1e-5);
            EXPECT_NEAR(hsl[i], c.hsl[i], 1e-5);
        }
        KOM_Color fromHsv, fromHsl;
        fromHsv.setHSV(std::vector<float>(c.hsv, c.hsv + 3));
        fromHsl.setHSL(std::vector<float>(c.hsl, c.hsl + 3));
        for (int i = 0; i < 3; ++i)
        {
            EXPECT_NEAR(fromHsv.rgb()[i], c.rgb[i], 1e-5);
            EXPECT_NEAR(fromHsl.rgb()[i], c.rgb[i], 1e-5);
        }
    }
    KOM_Color white(std::vector<float>{1, 1, 1});
    auto const xyz = white.xyz(), lab = white.lab();
    EXPECT_NEAR(xyz[0], 0.95047, 1e-4);
    EXPECT_NEAR(xyz[1], 1.0, 1e-4);
    EXPECT_NEAR(xyz[2], 1.08883, 1e-4);
    EXPECT_NEAR(lab[0], 100.0, 1e-3);
    EXPECT_NEAR(lab[1], 0.0, 1e-3);
    EXPECT_NEAR(lab[2], 0.0, 1e-3);
    KOM_Color back;
    back.setLAB(white.lab());
    EXPECT_NEAR(back.rgb()[1], 1.0, 1e-4);
    KOM_Color dark;
    dark.setXYZ({0.001f, 0.001f, 0.001f}); // below the linear threshold of L*a*b*
    KOM_Color again;
    again.setLAB(dark.lab());
    EXPECT_NEAR(again.xyz()[0], 0.001, 1e-6);
}

TEST_F(MathValues, OperationsRecordAndCanBeFaulted)
{
    setJournalling(true);
    KOM_Matrix4 m(1.0);
    KOM_Vector3 v(1, 2, 3);
    m.__mul__(m);
    v.__mul__(m);
    theKmath().buildRotate(v, "zyx");
    auto const &entries = journalEntries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].operation, "Matrix4.__mul__");
    EXPECT_EQ(entries[0].args[0].items.size(), 4u); // the rows
    EXPECT_EQ(entries[1].operation, "Vector3.__mul__");
    EXPECT_EQ(entries[2].operation, "kmath.buildRotate");
    EXPECT_EQ(entries[2].args[0].items[2].real, 3.0);
    EXPECT_EQ(entries[2].args[1].text, "zyx");

    ASSERT_TRUE(addFault("Matrix4.__mul__", "OperationFailed", "refused", 1));
    EXPECT_THROW(m.__mul__(m), KOM_OperationFailed);
    EXPECT_NO_THROW(m.__mul__(m));
}
