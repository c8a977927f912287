// Decoded pictures kept for reuse within a bound.
#include "picture_cache.hpp"

#include "pack/error.hpp"

namespace tess {

namespace {

// Pixel numbers and colours together; past this the least recently used
// pictures are let go.
constexpr std::uint64_t MaxKeptPixels = std::uint64_t{1} << 22;
// The same for pictures asked for once so far: 64 frames of 64 x 64, so a
// trimmed scene of as many, read once to measure and again to place, is
// still decoded once, and a build of thousands of frames touches 1 MB.
constexpr std::uint64_t MaxOnceKeptPixels = std::uint64_t{1} << 18;

std::uint64_t size_of(const Picture& picture) { return picture.pixels.size() + picture.colours.size(); }

std::uint64_t size_of(const PictureFrames& frames)
{
    std::uint64_t size = 0;
    for (const Picture& picture : frames.pictures) size += size_of(picture);
    return size;
}

}  // namespace

std::string layers_key(const AseLayerChoice& layers)
{
    std::string key = std::to_string(static_cast<int>(layers.kind));
    // Names by their lengths, so that no two lists give one key.
    for (const std::string& name : layers.names) key += "|" + std::to_string(name.size()) + ":" + name;
    return key;
}

template <typename Made, typename Make>
std::shared_ptr<const Made> PictureCache::kept(const Key& key, Make make)
{
    if (const auto found = by_key_.find(key); found != by_key_.end()) {
        Kept& held = *found->second;
        if (held.again) {
            again_.splice(again_.begin(), again_, found->second);
        } else {
            held.again = true;
            once_pixels_ -= held.pixels;
            again_pixels_ += held.pixels;
            again_.splice(again_.begin(), once_, found->second);
        }
        keep_within_bounds(held);
        return std::static_pointer_cast<const Made>(held.held);
    }
    // Let go of by the bounds, but still held as the file read last.
    if (key == read_last_.first) return std::static_pointer_cast<const Made>(read_last_.second);
    auto made = std::make_shared<const Made>(make());
    const std::uint64_t pixels = size_of(*made);
    once_.push_front({key, made, pixels, false});
    by_key_[key] = once_.begin();
    once_pixels_ += pixels;
    keep_within_bounds(once_.front());
    return made;
}

void PictureCache::let_go(std::list<Kept>& list, std::uint64_t& pixels)
{
    pixels -= list.back().pixels;
    by_key_.erase(list.back().key);
    list.pop_back();
}

void PictureCache::keep_within_bounds(const Kept& last)
{
    const auto can_let_go = [&](const std::list<Kept>& list) { return !list.empty() && &list.back() != &last; };
    while (once_pixels_ > MaxOnceKeptPixels && can_let_go(once_)) let_go(once_, once_pixels_);
    while (once_pixels_ + again_pixels_ > MaxKeptPixels) {
        if (can_let_go(once_)) {
            let_go(once_, once_pixels_);
        } else if (can_let_go(again_)) {
            let_go(again_, again_pixels_);
        } else {
            break;
        }
    }
}

std::shared_ptr<const Picture> PictureCache::get(const std::string& path) { return still(path, key_of(path)); }

std::shared_ptr<const Picture> PictureCache::still(const std::string& path, Key key)
{
    auto picture = kept<Picture>(key, [&] { return read_picture(source_.read(path)); });
    read_last_ = {std::move(key), picture};
    return picture;
}

std::shared_ptr<const Picture> PictureCache::made(const Key& key, const std::function<Picture()>& make)
{
    return kept<Picture>(key, make);
}

std::shared_ptr<const PictureFrames> PictureCache::frames(const std::string& path, const AseLayerChoice& layers, bool large)
{
    return frames(path, key_of(path) + "#frames#" + (large ? "large#" : "") + layers_key(layers), layers, large);
}

std::shared_ptr<const PictureFrames> PictureCache::frames(const std::string& path, Key key, const AseLayerChoice& layers, bool large)
{
    auto frames = kept<PictureFrames>(key, [&] { return read_picture_frames(source_.read(path), large, layers); });
    read_last_ = {std::move(key), frames};
    return frames;
}

PictureCache::KeyedPicture PictureCache::picture(const std::string& path, int frame, const AseLayerChoice& layers)
{
    Key key = key_of(path);
    if (frame < 0) return {still(path, key), key};
    key += "#frames#large#" + layers_key(layers);
    const std::shared_ptr<const PictureFrames> all = frames(path, key, layers, true);
    if (static_cast<std::size_t>(frame) >= all->pictures.size()) {
        throw PackError(Fault::Layout, "has no frame " + std::to_string(frame) + "; it has " + std::to_string(all->pictures.size()));
    }
    // The frame shares its file's hold on the frames.
    return {{all, &all->pictures[static_cast<std::size_t>(frame)]}, key + "#" + std::to_string(frame)};
}

}  // namespace tess
