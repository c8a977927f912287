// AseError's place: the frame and chunk a fault lies in, named in its message.
#include "ase/ase_error.hpp"

#include <cstdio>

namespace tess {

namespace {

const char* chunk_name(std::uint16_t type)
{
    switch (type) {
    case 0x0004:
    case 0x0011: return "old palette";
    case 0x2004: return "layer";
    case 0x2005: return "cel";
    case 0x2006: return "cel extra";
    case 0x2007: return "colour profile";
    case 0x2008: return "external files";
    case 0x2016: return "mask";
    case 0x2017: return "path";
    case 0x2018: return "tags";
    case 0x2019: return "palette";
    case 0x2020: return "user data";
    case 0x2022: return "slice";
    case 0x2023: return "tileset";
    default: return "unknown";
    }
}

std::string place(std::uint32_t frame, std::optional<std::uint16_t> chunk)
{
    std::string text = "frame " + std::to_string(frame);
    if (chunk) {
        char type[8];
        std::snprintf(type, sizeof type, "0x%04x", static_cast<unsigned>(*chunk));
        text += std::string(", chunk ") + type + " (" + chunk_name(*chunk) + ")";
    }
    return text;
}

}  // namespace

AseError::AseError(std::uint32_t frame, std::optional<std::uint16_t> chunk, const std::string& what)
    : std::runtime_error(place(frame, chunk) + ": " + what), frame_(frame), chunk_(chunk)
{
}

}  // namespace tess
