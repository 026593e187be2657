#include "config/IniText.h"

#include <vector>

namespace kirvano {
namespace {

struct Line {
    std::string_view body; // without the line end
    std::string_view end;  // "\n", "\r\n" or "" for the last line
};

std::vector<Line> SplitLines(std::string_view text) {
    std::vector<Line> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t nl = text.find('\n', start);
        if (nl == std::string_view::npos) {
            lines.push_back({text.substr(start), {}});
            break;
        }
        std::size_t bodyEnd = nl;
        if (bodyEnd > start && text[bodyEnd - 1] == '\r') {
            --bodyEnd;
        }
        lines.push_back(
            {text.substr(start, bodyEnd - start), text.substr(bodyEnd, nl + 1 - bodyEnd)});
        start = nl + 1;
    }
    return lines;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && IsBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

// The section name of a "[name]" line, or nothing.
std::optional<std::string_view> SectionOf(std::string_view body) {
    std::string_view t = Trim(body);
    if (t.empty() || t.front() != '[') {
        return std::nullopt;
    }
    std::size_t close = t.find(']');
    if (close == std::string_view::npos) {
        return std::nullopt;
    }
    return Trim(t.substr(1, close - 1));
}

struct KeyLine {
    std::string_view key;
    std::string_view value;
};

std::optional<KeyLine> KeyOf(std::string_view body) {
    std::string_view t = Trim(body);
    if (t.empty() || t.front() == ';' || t.front() == '[') {
        return std::nullopt;
    }
    std::size_t eq = t.find('=');
    if (eq == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view key = Trim(t.substr(0, eq));
    if (key.empty()) {
        return std::nullopt;
    }
    return KeyLine{key, Trim(t.substr(eq + 1))};
}

bool HasAny(std::string_view s, std::string_view chars) {
    return s.find_first_of(chars) != std::string_view::npos;
}

} // namespace

std::string IniValue(std::string_view text, std::string_view section, std::string_view key) {
    bool inSection = false;
    for (const Line& line : SplitLines(text)) {
        if (auto name = SectionOf(line.body)) {
            inSection = SameName(*name, section);
            continue;
        }
        if (!inSection) {
            continue;
        }
        if (auto entry = KeyOf(line.body); entry && SameName(entry->key, key)) {
            return std::string(entry->value);
        }
    }
    return {};
}

bool IsStorableIniEntry(std::string_view section, std::string_view key, std::string_view value) {
    using namespace std::literals;
    const std::string_view breaks = "\r\n\0"sv;
    if (Trim(section).empty() || Trim(key).empty()) {
        return false;
    }
    if (HasAny(section, breaks) || HasAny(section, "]") || HasAny(key, breaks) ||
        HasAny(key, "=") || HasAny(value, breaks)) {
        return false;
    }
    std::string_view k = Trim(key);
    return k.front() != '[' && k.front() != ';' && Trim(section) == section && k == key;
}

std::optional<std::string> IniWithValue(std::string_view text, std::string_view section,
                                        std::string_view key, std::string_view value) {
    if (!IsStorableIniEntry(section, key, value)) {
        return std::nullopt;
    }
    const std::vector<Line> lines = SplitLines(text);
    std::string_view eol = "\n";
    if (!lines.empty() && !lines.front().end.empty()) {
        eol = lines.front().end;
    }
    const std::string entry = std::string(key) + "=" + std::string(value);

    // Find the first matching section, the key in it, and its last non-blank line.
    std::optional<std::size_t> keyLine;
    std::optional<std::size_t> lastInSection;
    bool inSection = false;
    bool seenSection = false;
    for (std::size_t i = 0; i < lines.size() && !keyLine; ++i) {
        if (auto name = SectionOf(lines[i].body)) {
            if (seenSection && inSection) {
                break; // only the first section of that name is changed
            }
            inSection = SameName(*name, section);
            if (inSection) {
                seenSection = true;
                lastInSection = i;
            }
            continue;
        }
        if (!inSection) {
            continue;
        }
        if (!Trim(lines[i].body).empty()) {
            lastInSection = i;
        }
        if (auto e = KeyOf(lines[i].body); e && SameName(e->key, key)) {
            keyLine = i;
        }
    }

    std::string out;
    out.reserve(text.size() + entry.size() + section.size() + 8);
    auto emit = [&](const Line& l) {
        out.append(l.body);
        out.append(l.end);
    };
    if (keyLine) {
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (i == *keyLine) {
                out.append(entry);
                out.append(lines[i].end.empty() ? eol : lines[i].end);
            } else {
                emit(lines[i]);
            }
        }
        return out;
    }
    if (lastInSection) {
        for (std::size_t i = 0; i < lines.size(); ++i) {
            emit(lines[i]);
            if (i == *lastInSection) {
                if (lines[i].end.empty()) {
                    out.append(eol);
                }
                out.append(entry);
                out.append(eol);
            }
        }
        return out;
    }
    out.assign(text);
    if (!out.empty() && out.back() != '\n') {
        out.append(eol);
    }
    out.append("[").append(section).append("]").append(eol);
    out.append(entry).append(eol);
    return out;
}

} // namespace kirvano
