#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace tess {

// The fixed palette as image editors load it, each file whole in memory. Every
// format keeps all 256 entries in index order, duplicates included, so an
// entry's position in the editor is its palette index.

// GIMP palette (.gpl), named "tess", twelve columns like the palette's ramps.
std::vector<std::uint8_t> gimp_palette_file();

// One lower-case RRGGBB a line (.hex).
std::vector<std::uint8_t> hex_palette_file();

// Adobe Color Table (.act): 256 red, green, blue triples.
std::vector<std::uint8_t> act_palette_file();

// JASC-PAL (.pal), as Paint Shop Pro and many sprite editors read it.
std::vector<std::uint8_t> jasc_palette_file();

// A 16 x 16 indexed PNG whose pixel i, row by row, is index i.
std::vector<std::uint8_t> png_palette_swatch();

// The file for `path`, chosen by its extension in any case: .gpl, .hex, .act,
// .pal or .png. std::nullopt for any other extension, so the caller words the
// complaint. Throws PngError only if the swatch cannot be encoded.
std::optional<std::vector<std::uint8_t>> palette_file_for(std::string_view path);

}  // namespace tess
