#include "pack/layout.hpp"

#include "pack/build.hpp"
#include "pack/error.hpp"

namespace tess {

std::vector<std::string> PictureSource::list(const std::string& folder)
{
    throw PackError("cannot list the folder here, so patterns cannot be expanded", in_file(folder));
}

std::optional<Anchor> parse_anchor(const std::string& text)
{
    if (text == "left") return Anchor::Left;
    if (text == "center") return Anchor::Center;
    if (text == "right") return Anchor::Right;
    return std::nullopt;
}

const char* anchor_name(Anchor anchor)
{
    switch (anchor) {
    case Anchor::Center: return "center";
    case Anchor::Right: return "right";
    case Anchor::Left: break;
    }
    return "left";
}

bool is_pattern(const std::string& path) { return path.find_first_of("*?[") != std::string::npos; }

std::optional<int> frames_a_view(std::size_t count, int views)
{
    if (views <= 0) return count == 0 ? std::optional<int>(0) : std::nullopt;
    const auto per_view = static_cast<std::size_t>(views);
    if (count % per_view != 0 || count / per_view > 255) return std::nullopt;
    return static_cast<int>(count / per_view);
}

std::string no_frames_a_view(std::size_t count, const std::string& what, int views)
{
    return std::to_string(count) + " " + what + " do not make " + std::to_string(views) + (views == 1 ? " view" : " views") +
           " of at most 255 frames";
}

namespace {

// One bracket expression at `p` (just past '['): whether `c` is in it, and
// where it ends. An unclosed '[' is an ordinary character.
bool in_set(const std::string& pattern, std::size_t& p, char c, bool& closed)
{
    std::size_t i = p;
    bool negated = false;
    if (i < pattern.size() && (pattern[i] == '!' || pattern[i] == '^')) negated = true, ++i;
    bool found = false;
    for (bool first = true; i < pattern.size() && (first || pattern[i] != ']'); first = false) {
        const char low = pattern[i];
        char high = low;
        if (i + 2 < pattern.size() && pattern[i + 1] == '-' && pattern[i + 2] != ']') {
            high = pattern[i + 2];
            i += 3;
        } else {
            ++i;
        }
        if (static_cast<unsigned char>(c) >= static_cast<unsigned char>(low) &&
            static_cast<unsigned char>(c) <= static_cast<unsigned char>(high)) {
            found = true;
        }
    }
    closed = i < pattern.size();
    if (closed) p = i + 1;
    return found != negated;
}

}  // namespace

bool matches_pattern(const std::string& pattern, const std::string& name)
{
    if (!name.empty() && name.front() == '.' && (pattern.empty() || pattern.front() != '.')) return false;
    // Iterative, backtracking only to the last '*': linear in practice and
    // never recursive, whatever a stranger's pattern holds.
    std::size_t p = 0, n = 0, star_p = std::string::npos, star_n = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star_p = ++p;
            star_n = n;
            continue;
        }
        if (p < pattern.size()) {
            if (pattern[p] == '?') {
                ++p, ++n;
                continue;
            }
            if (pattern[p] == '[') {
                std::size_t q = p + 1;
                bool closed = false;
                const bool in = in_set(pattern, q, name[n], closed);
                if (closed) {
                    if (in) {
                        p = q, ++n;
                        continue;
                    }
                } else if (name[n] == '[') {
                    ++p, ++n;
                    continue;
                }
            } else if (pattern[p] == name[n]) {
                ++p, ++n;
                continue;
            }
        }
        if (star_p == std::string::npos) return false;
        p = star_p;
        n = ++star_n;
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

bool natural_less(const std::string& a, const std::string& b)
{
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (digit(a[i]) && digit(b[j])) {
            std::size_t i_end = i, j_end = j;
            while (i_end < a.size() && digit(a[i_end])) ++i_end;
            while (j_end < b.size() && digit(b[j_end])) ++j_end;
            std::size_t i_start = i, j_start = j;
            while (i_start + 1 < i_end && a[i_start] == '0') ++i_start;
            while (j_start + 1 < j_end && b[j_start] == '0') ++j_start;
            const std::string_view x(a.data() + i_start, i_end - i_start), y(b.data() + j_start, j_end - j_start);
            if (x.size() != y.size()) return x.size() < y.size();
            if (x != y) return x < y;
            i = i_end;
            j = j_end;
            continue;
        }
        if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        ++i, ++j;
    }
    if ((a.size() - i) != (b.size() - j)) return a.size() - i < b.size() - j;
    return a < b;  // "f01" and "f1": still one order
}

}  // namespace tess
