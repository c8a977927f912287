// The words tesspack's shell completion offers, answered by the program itself.
#include "completion.hpp"

#include <string_view>

#include "pack/colour_options.hpp"
#include "pack/image_files.hpp"
#include "palette/metric.hpp"

namespace tess {

namespace {

void list_names(std::span<const std::string_view> names, std::ostream& out)
{
    for (const std::string_view name : names) out << name << '\n';
}

void list_options(const CLI::App& command, std::ostream& out)
{
    for (const CLI::Option* option : command.get_options()) {
        if (!option->nonpositional() || option->get_group().empty()) continue;
        const char* const takes_value = option->get_expected_max() > 0 ? "=" : "";
        for (const std::string& name : option->get_snames()) out << '-' << name << takes_value << '\n';
        for (const std::string& name : option->get_lnames()) out << "--" << name << takes_value << '\n';
    }
}

}  // namespace

bool list_completion_values(const CLI::App& app, std::span<char* const> what, std::ostream& out)
{
    if (what.empty() || what.size() > 2) return false;
    const std::string_view kind = what[0];
    if (what.size() == 1) {
        if (kind == "metric") list_names(metric_names(), out);
        else if (kind == "dither") list_names(dither_names(), out);
        else if (kind == "format") list_names(image_format_names(), out);
        else if (kind == "options") list_options(app, out);
        else if (kind == "commands") {
            for (const CLI::App* command : app.get_subcommands({})) out << command->get_name() << '\n';
        } else {
            return false;
        }
        return true;
    }
    if (kind != "options") return false;
    for (const CLI::App* command : app.get_subcommands({})) {
        if (command->get_name() != what[1]) continue;
        list_options(*command, out);
        return true;
    }
    return false;
}

}  // namespace tess
