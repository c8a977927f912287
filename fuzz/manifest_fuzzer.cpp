// Manifest text in, through tesspack's manifest reader. A refused manifest
// must end in one PackError; an accepted one must survive being written out
// as unpack writes manifests and read again, scene for scene.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "pack/manifest.hpp"
#include "pack/error.hpp"

namespace {

bool same(const tess::Manifest& a, const tess::Manifest& b)
{
    if (a.output != b.output || a.revision != b.revision || a.views != b.views || a.metric != b.metric ||
        a.strict != b.strict || a.colour != b.colour || a.scenes.size() != b.scenes.size()) {
        return false;
    }
    for (std::size_t s = 0; s < a.scenes.size(); ++s) {
        const tess::ManifestScene& x = a.scenes[s];
        const tess::ManifestScene& y = b.scenes[s];
        if (x.name != y.name || x.frames != y.frames || x.images != y.images || x.sheet != y.sheet ||
            x.frames_from != y.frames_from || x.colour != y.colour || x.grid != y.grid || x.atlas != y.atlas ||
            x.placement != y.placement || x.frames_stated != y.frames_stated) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    tess::Manifest manifest;
    try {
        manifest = tess::parse_manifest(text, "fuzz.toml");
    } catch (const tess::PackError&) {
        return 0;
    }
    try {
        if (!same(manifest, tess::parse_manifest(tess::manifest_text(manifest), "fuzz.toml"))) __builtin_trap();
    } catch (const tess::PackError&) {
        __builtin_trap();  // what the writer wrote, the reader must take
    }
    return 0;
}
