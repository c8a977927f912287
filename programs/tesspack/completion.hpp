#pragma once

#include <CLI/CLI.hpp>

#include <ostream>
#include <span>

namespace tess {

// What the shell's completion asks of `tesspack --list-values WHAT...`, one
// word a line, read from the command line as set up and from the libraries'
// name tables, so it offers exactly what the program accepts:
//   commands            the commands
//   options [COMMAND]   the program's options, or a command's; "=" follows
//                       each that takes a value
//   metric, dither, format   the values those options take
// False, with nothing written, for anything else.
bool list_completion_values(const CLI::App& app, std::span<char* const> what, std::ostream& out);

}  // namespace tess
