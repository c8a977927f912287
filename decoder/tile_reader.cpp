#include "tile_reader.hpp"

#include "failure.hpp"

namespace tess {

namespace {
[[noreturn]] void ends_inside(const char* place)
{
    fail("Error: tile file ends inside %s\n", place);
}
}  // namespace

std::uint8_t TileReader::byte(const char* place)
{
    const auto c = in_.sbumpc();
    if (c == std::char_traits<char>::eof()) ends_inside(place);
    return static_cast<std::uint8_t>(c);
}

void TileReader::bytes(std::span<std::uint8_t> into, const char* place)
{
    const auto wanted = static_cast<std::streamsize>(into.size());
    if (in_.sgetn(reinterpret_cast<char*>(into.data()), wanted) != wanted) ends_inside(place);
}

}  // namespace tess
