#pragma once

#include <istream>
#include <ostream>
#include <string_view>

#include "palette/metric.hpp"

namespace tess {

// What tessenc does once its files are open: writes to `tile` the header for
// one view and one scene, the scene record, then the XPM's image, printing
// the dimensions line and the data length on `report`. A failure raises
// tessenc's Failure; `tile` then holds what tessenc's file holds: the header
// and scene record, and once the colour table is read the height, a length
// of 00 00 and the rows encoded before the failure.
void encode_tile_file(std::istream& xpm, Metric metric, std::string_view scene_name, std::ostream& tile,
                      std::ostream& report);

}  // namespace tess
