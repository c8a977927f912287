// Safe, distinct file names for scenes.
#include "pack/names.hpp"

#include <cctype>

namespace tess {

namespace {

constexpr std::size_t MaxStemLength = 64;

std::string lower(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

std::string SceneFileNames::next(std::string_view scene_name)
{
    std::string stem;
    for (const char c : scene_name.substr(0, MaxStemLength)) {
        const auto byte = static_cast<unsigned char>(c);
        stem += byte < 0x80 && (std::isalnum(byte) || c == '-' || c == '_') ? c : '_';
    }
    if (stem.empty()) stem = "scene";
    if (stem.front() == '-') stem.front() = '_';  // no name that reads as an option
    std::string name = stem;
    for (int n = 2; taken_.contains(lower(name)); ++n) name = stem + "_" + std::to_string(n);
    taken_.insert(lower(name));
    return name;
}

}  // namespace tess
