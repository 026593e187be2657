// A small streaming JSON writer for the command line's output contract: UTF-8 text (bytes
// that are not valid UTF-8 become U+FFFD), round-trip floats, null for absent values.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace kirvano {

class JsonWriter {
public:
    JsonWriter& beginObject();
    JsonWriter& endObject();
    JsonWriter& beginArray();
    JsonWriter& endArray();
    JsonWriter& key(std::string_view name);

    JsonWriter& value(std::string_view text);
    JsonWriter& value(const char* text) { return value(std::string_view(text)); }
    JsonWriter& value(const std::string& text) { return value(std::string_view(text)); }
    JsonWriter& value(bool flag);
    template <class T>
    requires(std::is_integral_v<T> && !std::is_same_v<T, bool>) JsonWriter& value(T number) {
        if constexpr (std::is_signed_v<T>)
            return integer(static_cast<long long>(number));
        else
            return unsignedInteger(static_cast<unsigned long long>(number));
    }
    // Non-finite numbers are written as null. A float is written as the exact double it
    // holds, so a reader gets the same value back.
    JsonWriter& value(double number);
    JsonWriter& value(float number) { return value(static_cast<double>(number)); }
    JsonWriter& null();
    template <class T> JsonWriter& value(const std::optional<T>& v) {
        return v ? value(*v) : null();
    }

    // The document so far (since the last drain); complete once every object and array
    // is closed.
    const std::string& text() const { return out_; }
    // Writes the text so far to the stream and forgets it, so that a long document does
    // not have to be held whole.
    void drainTo(std::FILE* stream);

private:
    void separate();
    JsonWriter& integer(long long number);
    JsonWriter& unsignedInteger(unsigned long long number);

    std::string out_;
    std::vector<bool> first_; // per open container: nothing written into it yet
    bool afterKey_ = false;
};

// Appends text as a JSON string literal, replacing invalid UTF-8 by U+FFFD.
void AppendJsonString(std::string& out, std::string_view text);

} // namespace kirvano
