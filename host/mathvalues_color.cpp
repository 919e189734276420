// The reference host's math library: colours and their models.
#include "host/mathvalues.h"

#include "model/errors.h"

namespace kalhost
{
namespace
{

// --- colour models ---

// Hue in degrees [0, 360), saturation and value in [0, 1].
std::array<double, 3> hsvFromRgb(double r, double g, double b)
{
    double const high = std::max({r, g, b}), low = std::min({r, g, b});
    double const chroma = high - low;
    double hue = 0.0;
    if (chroma > 0.0)
    {
        if (high == r)
            hue = std::fmod((g - b) / chroma, 6.0);
        else if (high == g)
            hue = (b - r) / chroma + 2.0;
        else
            hue = (r - g) / chroma + 4.0;
        hue *= 60.0;
        if (hue < 0.0)
            hue += 360.0;
    }
    return {hue, high > 0.0 ? chroma / high : 0.0, high};
}

// From hue, chroma and the amount added to every channel.
std::array<double, 3> rgbFromHueChroma(double hue, double chroma, double added)
{
    double const sector = std::fmod(std::fmod(hue, 360.0) + 360.0, 360.0) / 60.0;
    double const second = chroma * (1.0 - std::abs(std::fmod(sector, 2.0) - 1.0));
    double r = 0.0, g = 0.0, b = 0.0;
    switch (int(sector))
    {
    case 0: r = chroma, g = second; break;
    case 1: r = second, g = chroma; break;
    case 2: g = chroma, b = second; break;
    case 3: g = second, b = chroma; break;
    case 4: r = second, b = chroma; break;
    default: r = chroma, b = second; break;
    }
    return {r + added, g + added, b + added};
}

std::array<double, 3> rgbFromHsv(double h, double s, double v)
{
    double const chroma = v * s;
    return rgbFromHueChroma(h, chroma, v - chroma);
}

std::array<double, 3> hslFromRgb(double r, double g, double b)
{
    double const high = std::max({r, g, b}), low = std::min({r, g, b});
    double const lightness = (high + low) / 2.0;
    double const chroma = high - low;
    double const saturation =
        chroma > 0.0 ? chroma / (1.0 - std::abs(2.0 * lightness - 1.0)) : 0.0;
    return {hsvFromRgb(r, g, b)[0], saturation, lightness};
}

std::array<double, 3> rgbFromHsl(double h, double s, double l)
{
    double const chroma = (1.0 - std::abs(2.0 * l - 1.0)) * s;
    return rgbFromHueChroma(h, chroma, l - chroma / 2.0);
}

// Linear RGB with the sRGB primaries and the D65 white point.
double const RgbToXyz[3][3] = {{0.4124564, 0.3575761, 0.1804375},
                               {0.2126729, 0.7151522, 0.0721750},
                               {0.0193339, 0.1191920, 0.9503041}};
double const XyzToRgb[3][3] = {{3.2404542, -1.5371385, -0.4985314},
                               {-0.9692660, 1.8760108, 0.0415560},
                               {0.0556434, -0.2040259, 1.0572252}};
double const White[3] = {0.95047, 1.0, 1.08883};

std::array<double, 3> applied(double const (&m)[3][3], double a, double b, double c)
{
    return {m[0][0] * a + m[0][1] * b + m[0][2] * c, m[1][0] * a + m[1][1] * b + m[1][2] * c,
            m[2][0] * a + m[2][1] * b + m[2][2] * c};
}

double labF(double t)
{
    double const delta = 6.0 / 29.0;
    return t > delta * delta * delta ? std::cbrt(t) : t / (3.0 * delta * delta) + 4.0 / 29.0;
}

double labInverse(double t)
{
    double const delta = 6.0 / 29.0;
    return t > delta ? t * t * t : 3.0 * delta * delta * (t - 4.0 / 29.0);
}

std::array<double, 3> labFromXyz(double x, double y, double z)
{
    double const fx = labF(x / White[0]), fy = labF(y / White[1]), fz = labF(z / White[2]);
    return {116.0 * fy - 16.0, 500.0 * (fx - fy), 200.0 * (fy - fz)};
}

std::array<double, 3> xyzFromLab(double l, double a, double b)
{
    double const fy = (l + 16.0) / 116.0;
    return {White[0] * labInverse(fy + a / 500.0), White[1] * labInverse(fy),
            White[2] * labInverse(fy - b / 200.0)};
}

std::array<double, 3> toRgb(int model, double const (&c)[3])
{
    switch (model)
    {
    case KOM_Color::HSV: return rgbFromHsv(c[0], c[1], c[2]);
    case KOM_Color::HSL: return rgbFromHsl(c[0], c[1], c[2]);
    case KOM_Color::XYZ: return applied(XyzToRgb, c[0], c[1], c[2]);
    case KOM_Color::LAB:
    {
        auto const xyz = xyzFromLab(c[0], c[1], c[2]);
        return applied(XyzToRgb, xyz[0], xyz[1], xyz[2]);
    }
    default: return {c[0], c[1], c[2]};
    }
}

std::array<double, 3> fromRgb(int model, std::array<double, 3> const &rgb)
{
    switch (model)
    {
    case KOM_Color::HSV: return hsvFromRgb(rgb[0], rgb[1], rgb[2]);
    case KOM_Color::HSL: return hslFromRgb(rgb[0], rgb[1], rgb[2]);
    case KOM_Color::XYZ: return applied(RgbToXyz, rgb[0], rgb[1], rgb[2]);
    case KOM_Color::LAB:
    {
        auto const xyz = applied(RgbToXyz, rgb[0], rgb[1], rgb[2]);
        return labFromXyz(xyz[0], xyz[1], xyz[2]);
    }
    default: return rgb;
    }
}

// The components in `model`: as stored when the colour was set in it, converted otherwise.
std::vector<float> componentsIn(KOM_Color const &color, int model)
{
    if (color.model == model)
        return {color.components[0], color.components[1], color.components[2]};
    double const stored[3] = {color.components[0], color.components[1], color.components[2]};
    auto const converted = fromRgb(model, toRgb(color.model, stored));
    return {float(converted[0]), float(converted[1]), float(converted[2])};
}

void setComponents(KOM_Color &color, int model, std::vector<float> const &values)
{
    float components[3];
    copyExactly<3>(values, components, "A colour");
    color.model = model;
    std::copy(components, components + 3, color.components);
}

std::string colorText(KOM_Color const &color)
{
    static char const *const names[] = {"HSV", "HSL", "RGB", "XYZ", "LAB"};
    char const *name = color.model >= KOM_Color::HSV && color.model <= KOM_Color::LAB
                           ? names[color.model]
                           : "?";
    return std::string("<kal.Color ") + name + " " + listed(color.components, 3, true) + ">";
}

} // namespace

JournalValue JournalFormat<KOM_Color>::format(KOM_Color const &value)
{
    return JournalValue::ofText(colorText(value));
}

std::array<float, 3> rgbOf(KOM_Color const &color)
{
    auto const rgb = componentsIn(color, KOM_Color::RGB);
    return {rgb[0], rgb[1], rgb[2]};
}

KOM_Color colorFromRGB(float red, float green, float blue)
{
    KOM_Color color;
    color.components[0] = red;
    color.components[1] = green;
    color.components[2] = blue;
    return color;
}

} // namespace kalhost

using namespace kalhost;

// --- Color ---

KOM_Color::KOM_Color(std::vector<float> const &rgb) : model(RGB), components{}
{
    hostOperation("Module.Color", rgb);
    setComponents(*this, RGB, rgb);
}

bool KOM_Color::__eq__(KOM_Color &other)
{
    hostOperation("Color.__eq__", other);
    return rgbOf(*this) == rgbOf(other);
}

bool KOM_Color::__ne__(KOM_Color &other)
{
    hostOperation("Color.__ne__", other);
    return rgbOf(*this) != rgbOf(other);
}

int KOM_Color::__hash__()
{
    hostOperation("Color.__hash__");
    auto const rgb = rgbOf(*this);
    return hashOf(rgb.data(), 3);
}

std::string KOM_Color::__repr__()
{
    hostOperation("Color.__repr__");
    return colorText(*this);
}

KOM_Color KOM_Color::__add__(KOM_Color &other)
{
    hostOperation("Color.__add__", other);
    auto const a = rgbOf(*this), b = rgbOf(other);
    return colorFromRGB(float(double(a[0]) + b[0]), float(double(a[1]) + b[1]),
                        float(double(a[2]) + b[2]));
}

KOM_Color KOM_Color::__mul__(float scalar)
{
    hostOperation("Color.__mul__", scalar);
    auto const a = rgbOf(*this);
    return colorFromRGB(float(double(a[0]) * scalar), float(double(a[1]) * scalar),
                        float(double(a[2]) * scalar));
}

std::vector<float> KOM_Color::rgb()
{
    hostOperation("Color.rgb");
    return componentsIn(*this, RGB);
}

std::vector<float> KOM_Color::hsv()
{
    hostOperation("Color.hsv");
    return componentsIn(*this, HSV);
}

std::vector<float> KOM_Color::hsl()
{
    hostOperation("Color.hsl");
    return componentsIn(*this, HSL);
}

std::vector<float> KOM_Color::xyz()
{
    hostOperation("Color.xyz");
    return componentsIn(*this, XYZ);
}

std::vector<float> KOM_Color::lab()
{
    hostOperation("Color.lab");
    return componentsIn(*this, LAB);
}

void KOM_Color::setRGB(std::vector<float> const &values)
{
    hostOperation("Color.setRGB", values);
    setComponents(*this, RGB, values);
}

void KOM_Color::setHSV(std::vector<float> const &values)
{
    hostOperation("Color.setHSV", values);
    setComponents(*this, HSV, values);
}

void KOM_Color::setHSL(std::vector<float> const &values)
{
    hostOperation("Color.setHSL", values);
    setComponents(*this, HSL, values);
}

void KOM_Color::setXYZ(std::vector<float> const &values)
{
    hostOperation("Color.setXYZ", values);
    setComponents(*this, XYZ, values);
}

void KOM_Color::setLAB(std::vector<float> const &values)
{
    hostOperation("Color.setLAB", values);
    setComponents(*this, LAB, values);
}
