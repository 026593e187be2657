#include "cli/Json.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace kirvano {
namespace {

TEST(JsonString, EscapesAndReplacesInvalidUtf8) {
    struct Case {
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"plain", "\"plain\""},
        {"/card/Normal/Front/A__-220801-080000-000001F.MOV\x7F",
         "\"/card/Normal/Front/A__-220801-080000-000001F.MOV\x7F\""},
        {"a\"b\\c", "\"a\\\"b\\\\c\""},
        {"line\nbreak\t\x01", "\"line\\nbreak\\t\\u0001\""},
        {"\xE3\x83\xA1", "\"\xE3\x83\xA1\""},                         // valid three-byte sequence
        {"\xF0\x9F\x98\x80", "\"\xF0\x9F\x98\x80\""},                 // valid four-byte sequence
        {"a\xFFz", "\"a\xEF\xBF\xBDz\""},                             // stray byte
        {"\xE3\x83", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},                 // truncated sequence
        {"\xC0\xAF", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},                 // overlong encoding
        {"\xED\xA0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""}, // surrogate
    };
    for (const auto& c : cases) {
        std::string out;
        AppendJsonString(out, c.in);
        EXPECT_EQ(out, c.out) << c.in;
    }
}

TEST(JsonWriter, NestsWithCommasAndNulls) {
    JsonWriter w;
    w.beginObject()
        .key("a")
        .value(1)
        .key("b")
        .beginArray()
        .value(true)
        .null()
        .value(std::optional<int>())
        .value(std::optional<int>(7))
        .endArray()
        .key("c")
        .beginObject()
        .endObject()
        .key("d")
        .value(std::numeric_limits<double>::quiet_NaN())
        .key("e")
        .value(-std::numeric_limits<double>::infinity())
        .endObject();
    EXPECT_EQ(w.text(), "{\"a\":1,\"b\":[true,null,null,7],\"c\":{},\"d\":null,\"e\":null}\n");
}

TEST(JsonWriter, FloatsRoundTrip) {
    const double values[] = {0.1, 1.0 / 3.0, 36.363636363636, 1e-300, -2.5e17};
    for (double v : values) {
        JsonWriter w;
        w.beginArray().value(v).endArray();
        const std::string text = w.text().substr(1, w.text().size() - 3);
        EXPECT_EQ(std::strtod(text.c_str(), nullptr), v) << text;
    }
    // A float is printed as the exact double it holds.
    JsonWriter w;
    w.beginArray().value(36.363636f).endArray();
    const std::string text = w.text().substr(1, w.text().size() - 3);
    EXPECT_EQ(std::strtod(text.c_str(), nullptr), static_cast<double>(36.363636f));
}

TEST(JsonWriter, LargeIntegers) {
    JsonWriter w;
    w.beginArray().value(std::uint64_t{18446744073709551615ull}).value(std::int64_t{-5}).endArray();
    EXPECT_EQ(w.text(), "[18446744073709551615,-5]\n");
}

// A document drained in pieces reads the same as one written whole.
TEST(JsonWriter, DrainedPiecesMakeTheSameDocument) {
    const auto write = [](JsonWriter& w, std::FILE* drain) {
        w.beginObject().key("list").beginArray();
        for (int i = 0; i < 50; ++i) {
            w.beginObject().key("n").value(std::int64_t{-9223372036854775807 - 1} + i).endObject();
            if (drain && i % 7 == 0)
                w.drainTo(drain);
        }
        w.endArray().endObject();
    };
    JsonWriter whole;
    write(whole, nullptr);
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    JsonWriter pieces;
    write(pieces, file);
    pieces.drainTo(file);
    EXPECT_TRUE(pieces.text().empty());
    std::rewind(file);
    std::string read(whole.text().size() + 1, '\0');
    read.resize(std::fread(read.data(), 1, read.size(), file));
    std::fclose(file);
    EXPECT_EQ(read, whole.text());
    EXPECT_NE(whole.text().find("-9223372036854775808"), std::string::npos);
}

} // namespace
} // namespace kirvano
