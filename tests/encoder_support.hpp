#pragma once

#include <sstream>
#include <string>

#include "decode_tile_file.hpp"
#include "encode_tile_file.hpp"
#include "memory_xpm_files.hpp"
#include "programs/failure.hpp"
#include "test_support.hpp"

namespace tess::testing {

struct Encoded {
    Bytes tile;
    std::string report;
    std::string failure;  // empty when the XPM was encoded
};

// What tessenc writes and prints for an XPM, run in memory.
inline Encoded encode(const std::string& xpm, Metric type = Metric::L2, std::string_view name = "walk")
{
    std::istringstream in(xpm);
    std::ostringstream tile;
    std::ostringstream report;
    Encoded result;
    try {
        encode_tile_file(in, type, name, tile, report);
    } catch (const Failure& failure) {
        result.failure = failure.what();
    }
    result.tile = bytes_of(tile.str());
    result.report = report.str();
    return result;
}

// The pixel rows of the one image of a tile file, as tessdec writes them:
// 64 pixels of three characters each, "..." for transparent.
inline std::vector<std::string> decoded_rows(const Bytes& tile)
{
    std::istringstream in(text_of(tile));
    std::ostringstream summary;
    MemoryXpmFiles files;
    decode_tile_file(in, "t.til", summary, files);
    const std::string xpm = files.contents().begin()->second;

    std::istringstream lines(xpm);
    std::vector<std::string> rows;
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with('"') && line.find(" c ") == std::string::npos && line.find(' ') == std::string::npos) {
            rows.push_back(line.substr(1, line.find('"', 1) - 1));
        }
    }
    return rows;
}

}  // namespace tess::testing

namespace tess::testing {

inline std::string formatted_hex(const Rgb& rgb)
{
    return formatted(" c #%02x%02x%02x", static_cast<unsigned>(rgb.red), static_cast<unsigned>(rgb.green),
                     static_cast<unsigned>(rgb.blue));
}

}  // namespace tess::testing
