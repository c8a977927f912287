#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ase/ase_file.hpp"

namespace tess {

// Which layers a picture is made of. By default every visible layer: a
// layer in a hidden group is hidden, and reference layers are left out.
struct AseLayerChoice {
    enum class Kind {
        Visible,        // every visible layer
        Only,           // the named layers, visible or not (reference layers too); a named group brings its visible children
        VisibleExcept,  // every visible layer but the named ones; a named group takes its children along
    };
    Kind kind = Kind::Visible;
    std::vector<std::string> names;  // every layer of a name, where several share it
};

// A frame's pixels as indices into its palette, for an indexed file drawn
// without blending: the topmost drawn index wins.
struct AseIndexedPicture {
    std::vector<std::uint8_t> indices;  // row by row; the transparent index where nothing is drawn
    std::vector<std::uint8_t> alpha;    // 0 where nothing is drawn, else 255
};

// Frames composed as Aseprite's own export shows them: the chosen layers
// bottom to top, each cel at its place clipped to the canvas, with the
// cel's opacity times the layer's (where the header says the layer's is
// valid) and the layer's blend mode. Groups are composed on their own and
// then blended with their own mode and opacity where the header asks for
// it; otherwise their children go straight onto the canvas. A background
// layer is opaque. An indexed pixel of the header's transparent index is
// transparent except in the background layer; one past the palette draws
// nothing. Cels with z-indices are ordered among their layer's siblings by
// layer index plus z-index, then z-index.
//
// Normal blending is Porter-Duff "over" on 8-bit straight alpha, rounded
// once: the source's alpha is alpha x opacity / 255 rounded to nearest;
// the result's alpha is the exact sa + ba x (255 - sa) / 255 rounded to
// nearest, and each channel the exact (sc x sa + bc x ba x (255 - sa) / 255)
// divided by that exact alpha, rounded to nearest (halves up). The other
// modes mix the blended colour B(backdrop, source) with the source by the
// backdrop's alpha, as the W3C's compositing and blending defines them, then
// go "over" as above. Addition, subtract (backdrop minus source) and divide
// (backdrop over source; a source of 0 gives 255 unless the backdrop is 0)
// are per channel and clamped.
class AseComposer {
public:
    // Keeps `file`, which must outlive it. Throws AseError naming every
    // chosen name that no layer has, and for a chosen tilemap layer whose
    // tiles the file does not hold or whose non-square tiles are flipped on
    // their diagonal.
    explicit AseComposer(const AseFile& file, const AseLayerChoice& choice = {});
    ~AseComposer();
    AseComposer(const AseComposer&) = delete;
    AseComposer& operator=(const AseComposer&) = delete;

    // Canvas-sized 8-bit RGBA, row by row; grey as equal red, green and blue.
    std::vector<std::uint8_t> rgba(std::size_t frame);

    // True for an indexed file whose chosen layers (and the groups holding
    // them) all blend normally at full opacity in every cel, and whose
    // palettes are opaque in every entry that can be drawn: then indices()
    // gives exactly the pixels rgba() does.
    bool has_indices() const;
    AseIndexedPicture indices(std::size_t frame);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace tess
