// Decoded pictures kept for reuse within a bound.
#include "picture_cache.hpp"

namespace tess {

namespace {

// Pixel numbers and colours together; past this the least recently used
// pictures are let go.
constexpr std::uint64_t MaxKeptPixels = std::uint64_t{1} << 22;

std::uint64_t size_of(const Picture& picture) { return picture.pixels.size() + picture.colours.size(); }

}  // namespace

std::shared_ptr<const Picture> PictureCache::get(const std::string& path)
{
    const Key key = key_of(path);
    if (const auto found = by_key_.find(key); found != by_key_.end()) {
        kept_.splice(kept_.begin(), kept_, found->second);
        return kept_.front().picture;
    }
    auto picture = std::make_shared<const Picture>(read_picture(source_.read(path)));
    kept_.push_front({key, picture});
    by_key_[key] = kept_.begin();
    kept_pixels_ += size_of(*picture);
    while (kept_pixels_ > MaxKeptPixels && kept_.size() > 1) {
        kept_pixels_ -= size_of(*kept_.back().picture);
        by_key_.erase(kept_.back().key);
        kept_.pop_back();
    }
    return picture;
}

}  // namespace tess
