#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

#include "pack/build.hpp"

namespace tess {

inline constexpr int Failed = 1;
inline constexpr int UsageError = 2;

// Far more files than any sprite set has, far fewer than a disk's inodes.
inline constexpr std::uint64_t DefaultMaxFiles = 100'000;

// What the command line gave, for every command: each takes its part.
struct Arguments {
    std::string input;
    std::string second;  // diff's B
    std::string output;
    bool output_given = false;
    std::string metric;
    std::string dither;
    bool report = false;
    bool report_json = false;
    std::string format = "png";
    bool sheets = false;
    bool json = false;
    int scale = 1;
    std::optional<std::string> scene;  // preview -o x.gif
    std::optional<int> delay_ms;
    std::uint64_t max_size = DefaultMaxTileBytes;
    std::uint64_t max_files = DefaultMaxFiles;
};

// The command line asked for something that cannot be done: status 2.
class UsageFault : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Standard output failed where what it carries is part of the run's result.
class StandardOutputLost : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The commands, each giving its exit status. They raise UsageFault,
// StandardOutputLost and PackError.
int run_build(const Arguments& arguments);
int run_compare(const Arguments& arguments);
int run_unpack(const Arguments& arguments);
int run_verify(const Arguments& arguments);
int run_list(const Arguments& arguments);
int run_preview(const Arguments& arguments);
int run_palette(const Arguments& arguments);
int run_diff(const Arguments& arguments);
int run_dump(const Arguments& arguments);

}  // namespace tess
