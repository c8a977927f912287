// CIELAB and the CIEDE2000 colour difference, for the colour report.
#include "palette/ciede2000.hpp"

#include <cmath>
#include <numbers>

namespace tess {

namespace {

double linear(std::int32_t channel)
{
    const double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double lab_f(double t)
{
    constexpr double epsilon = 216.0 / 24389.0, kappa = 24389.0 / 27.0;
    return t > epsilon ? std::cbrt(t) : (kappa * t + 16.0) / 116.0;
}

double degrees(double radians) { return radians * 180.0 / std::numbers::pi; }
double radians(double degrees) { return degrees * std::numbers::pi / 180.0; }

// The hue angle in degrees, 0 to 360; 0 for a grey.
double hue(double b, double a)
{
    if (a == 0 && b == 0) return 0;
    const double h = degrees(std::atan2(b, a));
    return h < 0 ? h + 360 : h;
}

}  // namespace

CieLab cielab(const Rgb& colour)
{
    const double r = linear(colour.red), g = linear(colour.green), b = linear(colour.blue);
    // sRGB to XYZ, each over the D65 white.
    const double x = (0.4124564 * r + 0.3575761 * g + 0.1804375 * b) / 0.95047;
    const double y = 0.2126729 * r + 0.7151522 * g + 0.0721750 * b;
    const double z = (0.0193339 * r + 0.1191920 * g + 0.9503041 * b) / 1.08883;
    const double fx = lab_f(x), fy = lab_f(y), fz = lab_f(z);
    return {116.0 * fy - 16.0, 500.0 * (fx - fy), 200.0 * (fy - fz)};
}

double ciede2000(const CieLab& first, const CieLab& second)
{
    const double c1 = std::hypot(first.a, first.b), c2 = std::hypot(second.a, second.b);
    const double c_mean7 = std::pow((c1 + c2) / 2, 7);
    const double g = 0.5 * (1 - std::sqrt(c_mean7 / (c_mean7 + std::pow(25.0, 7))));
    const double a1 = (1 + g) * first.a, a2 = (1 + g) * second.a;
    const double cp1 = std::hypot(a1, first.b), cp2 = std::hypot(a2, second.b);
    const double hp1 = hue(first.b, a1), hp2 = hue(second.b, a2);

    const double delta_l = second.lightness - first.lightness;
    const double delta_c = cp2 - cp1;
    double delta_h = 0;
    if (cp1 * cp2 != 0) {
        delta_h = hp2 - hp1;
        if (delta_h > 180) delta_h -= 360;
        if (delta_h < -180) delta_h += 360;
    }
    const double delta_big_h = 2 * std::sqrt(cp1 * cp2) * std::sin(radians(delta_h / 2));

    const double l_mean = (first.lightness + second.lightness) / 2;
    const double cp_mean = (cp1 + cp2) / 2;
    double hp_mean = hp1 + hp2;
    if (cp1 * cp2 != 0) {
        if (std::abs(hp1 - hp2) <= 180) {
            hp_mean /= 2;
        } else {
            hp_mean = hp_mean < 360 ? (hp_mean + 360) / 2 : (hp_mean - 360) / 2;
        }
    }
    const double t = 1 - 0.17 * std::cos(radians(hp_mean - 30)) + 0.24 * std::cos(radians(2 * hp_mean)) +
                     0.32 * std::cos(radians(3 * hp_mean + 6)) - 0.20 * std::cos(radians(4 * hp_mean - 63));
    const double delta_theta = 30 * std::exp(-std::pow((hp_mean - 275) / 25, 2));
    const double cp_mean7 = std::pow(cp_mean, 7);
    const double r_c = 2 * std::sqrt(cp_mean7 / (cp_mean7 + std::pow(25.0, 7)));
    const double l50 = (l_mean - 50) * (l_mean - 50);
    const double s_l = 1 + 0.015 * l50 / std::sqrt(20 + l50);
    const double s_c = 1 + 0.045 * cp_mean;
    const double s_h = 1 + 0.015 * cp_mean * t;
    const double r_t = -std::sin(radians(2 * delta_theta)) * r_c;

    const double l = delta_l / s_l, c = delta_c / s_c, h = delta_big_h / s_h;
    return std::sqrt(l * l + c * c + h * h + r_t * c * h);
}

double ciede2000(const Rgb& first, const Rgb& second) { return ciede2000(cielab(first), cielab(second)); }

}  // namespace tess
