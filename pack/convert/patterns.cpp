// Patterns of file names, and the natural order of names.
#include "pack/patterns.hpp"

namespace tess {

bool is_pattern(const std::string& path) { return path.find_first_of("*?[") != std::string::npos; }

NamePattern::NamePattern(std::string_view pattern) : hidden_too_(!pattern.empty() && pattern.front() == '.')
{
    bool no_closer_after = false;  // no ']' is left, so every '[' from here on is an ordinary character
    for (std::size_t p = 0; p < pattern.size();) {
        const char c = pattern[p];
        if (c == '*') {
            if (parts_.empty() || !parts_.back().star) parts_.push_back({true, {}});
            ++p;
            continue;
        }
        // A name is at most NameMax bytes: a pattern of more single-byte
        // parts matches none, and is read no further.
        if (++singles_ > NameMax) return;
        Part part{false, {}};
        if (c == '?') {
            part.set.set();
            ++p;
        } else if (c == '[' && !no_closer_after) {
            std::size_t i = p + 1;
            const bool negated = i < pattern.size() && (pattern[i] == '!' || pattern[i] == '^');
            if (negated) ++i;
            // A ']' first in the set is one of its members.
            const std::size_t close = i < pattern.size() ? pattern.find(']', i + 1) : std::string_view::npos;
            if (close == std::string_view::npos) {
                no_closer_after = true;
                part.set.set(static_cast<unsigned char>('['));
                ++p;
            } else {
                while (i < close) {
                    const auto low = static_cast<unsigned char>(pattern[i]);
                    auto high = low;
                    if (i + 2 < close && pattern[i + 1] == '-') {
                        high = static_cast<unsigned char>(pattern[i + 2]);
                        i += 3;
                    } else {
                        ++i;
                    }
                    for (unsigned value = low; value <= high; ++value) part.set.set(value);
                }
                if (negated) part.set.flip();
                p = close + 1;
            }
        } else {
            part.set.set(static_cast<unsigned char>(c));
            ++p;
        }
        parts_.push_back(part);
    }
}

bool NamePattern::matches(std::string_view name) const
{
    if (!name.empty() && name.front() == '.' && !hidden_too_) return false;
    if (singles_ > NameMax || singles_ > name.size()) return false;
    // Backtracking only to the last '*': at most name x parts steps, never
    // recursive, whatever a stranger's pattern holds.
    std::size_t p = 0, n = 0, star_p = std::string_view::npos, star_n = 0;
    while (n < name.size()) {
        if (p < parts_.size() && parts_[p].star) {
            star_p = ++p;
            star_n = n;
            continue;
        }
        if (p < parts_.size() && parts_[p].set.test(static_cast<unsigned char>(name[n]))) {
            ++p, ++n;
            continue;
        }
        if (star_p == std::string_view::npos) return false;
        p = star_p;
        n = ++star_n;
    }
    while (p < parts_.size() && parts_[p].star) ++p;
    return p == parts_.size();
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
