#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <unordered_map>

#include "pack/build.hpp"
#include "pack/picture.hpp"

namespace tess {

// A choice of layers as a part of a key: no two choices give one.
std::string layers_key(const AseLayerChoice& layers);

// Decoded pictures for a build. A file is decoded once however the
// manifest spells it (the source says which names are one file), and kept
// while the kept ones fit in a bound, the one asked for last always, so a
// sheet named by many scenes is decoded once and a scene of many large
// pictures holds few at a time. A picture asked for once so far is kept
// within a smaller bound: a build of thousands of frames, each named once,
// then reuses the same little memory rather than filling the larger bound
// with pictures never asked for again. An animated file's frames are kept
// together.
class PictureCache {
public:
    using Key = std::string;

    explicit PictureCache(PictureSource& source) : source_(source) {}

    // The still picture at `path`; raises PackError for a file that cannot
    // be read or decoded.
    std::shared_ptr<const Picture> get(const std::string& path);
    // The frames of the animated file at `path` (a GIF, an .aseprite file
    // of the chosen layers); `large` takes screens larger than an image.
    std::shared_ptr<const PictureFrames> frames(const std::string& path, const AseLayerChoice& layers = {}, bool large = true);

    // A picture with the key it is kept under, which all that is made from
    // it is kept under too: the still picture at `path` (`frame` < 0), or
    // frame `frame` of the animated file there, of the chosen layers.
    struct KeyedPicture {
        std::shared_ptr<const Picture> picture;
        Key key;
    };
    KeyedPicture picture(const std::string& path, int frame, const AseLayerChoice& layers);

    // A picture made from others (a drawing scaled), kept as pictures are
    // under `key`, so that one made again is made once.
    std::shared_ptr<const Picture> made(const Key& key, const std::function<Picture()>& make);

    Key key_of(const std::string& path) { return source_.identify(path); }
    PictureSource& source() { return source_; }

private:
    struct Kept {
        Key key;
        std::shared_ptr<const void> held;
        std::uint64_t pixels;
        bool again;  // asked for more than once, so in again_
    };
    // What is kept under `key`, made by `make` when it is not.
    template <typename Made, typename Make>
    std::shared_ptr<const Made> kept(const Key& key, Make make);
    std::shared_ptr<const Picture> still(const std::string& path, Key key);
    std::shared_ptr<const PictureFrames> frames(const std::string& path, Key key, const AseLayerChoice& layers, bool large);
    // Lets go of the least recently used until both bounds hold, never `last`.
    void keep_within_bounds(const Kept& last);
    void let_go(std::list<Kept>& list, std::uint64_t& pixels);

    PictureSource& source_;
    // Each the most recently used first.
    std::list<Kept> once_;
    std::list<Kept> again_;
    std::unordered_map<Key, std::list<Kept>::iterator> by_key_;
    std::uint64_t once_pixels_ = 0;
    std::uint64_t again_pixels_ = 0;
    // The file read last, held whatever the bounds: a sheet cut into cells
    // that are each scaled stays while its scaled cells come and go.
    std::pair<Key, std::shared_ptr<const void>> read_last_;
};

}  // namespace tess
