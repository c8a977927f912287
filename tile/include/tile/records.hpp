#pragma once

#include <cstddef>
#include <string_view>

#include "tile/error.hpp"

namespace tess {

// The limits a record's contents must keep, the same on writing as on
// reading: a name of at most MaxSceneNameLength characters without a zero
// byte, data that fits the 16-bit length. `where` goes into the error.
void check_scene_name(std::string_view name, const TileLocation& where = {});
void check_data_length(std::size_t length, const TileLocation& where = {});

}  // namespace tess
