#pragma once

#include <ostream>
#include <streambuf>

namespace tess {

// A tile file as stable text, for version control to compare: the header, a
// line a scene, a line an image, then one line a row of its pixels ("|" and
// three digits a palette index, "..." a transparent pixel, trailing
// transparency left out). Only what the pixels are shows, not how they are
// encoded, so one pixel changed is one line changed. Written as the file is
// read; damage raises PackError after what came before it.
void dump_tile_file(std::streambuf& tile, std::ostream& out);

}  // namespace tess
