#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <string_view>

#include "xpm_files.hpp"

namespace tess {

// The XPM path of one image: the input path less its last four characters
// (normally ".til"), then _scene_view_frame.xpm. A '/' in the scene name
// becomes '_' so that no image lands outside the tile file's folder.
std::string image_path(std::string_view input_path, std::string_view scene_name, int view, int frame);

// What tessdec does once the tile file is open: walks it, prints the summary
// on `summary` as it goes and writes every image as an XPM through `files`.
// Damage raises tessdec's Failure with its message.
void decode_tile_file(std::istream& tile, std::string_view input_path, std::ostream& summary, XpmFiles& files);

}  // namespace tess
