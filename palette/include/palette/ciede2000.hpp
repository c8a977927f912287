#pragma once

#include "palette/palette.hpp"

namespace tess {

// CIELAB under the D65 white point, from 8-bit sRGB.
struct CieLab {
    double lightness;
    double a;
    double b;
};

CieLab cielab(const Rgb& colour);

// The CIEDE2000 colour difference (kL = kC = kH = 1): about 1 is the least
// difference a person sees side by side, 5 plainly another shade.
double ciede2000(const CieLab& first, const CieLab& second);
double ciede2000(const Rgb& first, const Rgb& second);

}  // namespace tess
