#include "cli/Json.h"

#include "base/Utf8.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

namespace kirvano {

namespace {

// The bytes that stand for themselves in a JSON string: printable ASCII but the quote
// and the backslash.
constexpr std::array<bool, 256> kPlain = [] {
    std::array<bool, 256> plain{};
    for (int c = 0x20; c < 0x7F; ++c)
        plain[c] = c != '"' && c != '\\';
    return plain;
}();

} // namespace

void AppendJsonString(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    for (std::size_t i = 0; i < text.size();) {
        // Printable ASCII other than the quote and the backslash is copied as a run.
        std::size_t plain = i;
        while (plain < text.size() && kPlain[static_cast<unsigned char>(text[plain])])
            ++plain;
        if (plain > i) {
            out.append(text.data() + i, plain - i);
            i = plain;
            continue;
        }
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
            ++i;
        } else if (c < 0x20) {
            switch (c) {
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                out += "\\u00";
                out += kHex[c >> 4];
                out += kHex[c & 15];
            }
            ++i;
        } else if (const std::size_t n = Utf8SequenceLength(text, i); n > 0) {
            out.append(text.substr(i, n));
            i += n;
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    out += '"';
}

void JsonWriter::separate() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!first_.empty()) {
        if (!first_.back())
            out_ += ',';
        first_.back() = false;
    }
}

JsonWriter& JsonWriter::beginObject() {
    separate();
    out_ += '{';
    first_.push_back(true);
    return *this;
}

JsonWriter& JsonWriter::endObject() {
    out_ += '}';
    first_.pop_back();
    if (first_.empty())
        out_ += '\n';
    return *this;
}

JsonWriter& JsonWriter::beginArray() {
    separate();
    out_ += '[';
    first_.push_back(true);
    return *this;
}

JsonWriter& JsonWriter::endArray() {
    out_ += ']';
    first_.pop_back();
    if (first_.empty())
        out_ += '\n';
    return *this;
}

JsonWriter& JsonWriter::key(std::string_view name) {
    separate();
    // Keys are short plain words: written in one piece.
    char text[64];
    if (name.size() + 3 <= sizeof text && std::all_of(name.begin(), name.end(), [](char c) {
            return kPlain[static_cast<unsigned char>(c)];
        })) {
        text[0] = '"';
        std::memcpy(text + 1, name.data(), name.size());
        text[name.size() + 1] = '"';
        text[name.size() + 2] = ':';
        out_.append(text, name.size() + 3);
    } else {
        AppendJsonString(out_, name);
        out_ += ':';
    }
    afterKey_ = true;
    return *this;
}

JsonWriter& JsonWriter::value(std::string_view text) {
    separate();
    AppendJsonString(out_, text);
    return *this;
}

JsonWriter& JsonWriter::value(bool flag) {
    separate();
    out_ += flag ? "true" : "false";
    return *this;
}

JsonWriter& JsonWriter::integer(long long number) {
    separate();
    char buffer[24];
    out_.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, number).ptr);
    return *this;
}

JsonWriter& JsonWriter::unsignedInteger(unsigned long long number) {
    separate();
    char buffer[24];
    out_.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, number).ptr);
    return *this;
}

JsonWriter& JsonWriter::value(double number) {
    if (!std::isfinite(number))
        return null();
    separate();
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
    out_.append(buffer, result.ptr);
    return *this;
}

void JsonWriter::drainTo(std::FILE* stream) {
    std::fwrite(out_.data(), 1, out_.size(), stream);
    out_.clear();
}

JsonWriter& JsonWriter::null() {
    separate();
    out_ += "null";
    return *this;
}

} // namespace kirvano
