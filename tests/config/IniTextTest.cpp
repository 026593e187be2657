#include "config/IniText.h"

#include <gtest/gtest.h>

using namespace std::literals;

namespace kirvano {
namespace {

struct ReadCase {
    const char* what;
    std::string text;
    const char* section;
    const char* key;
    const char* expected;
};

TEST(IniValue, ReadsTolerantly) {
    const ReadCase cases[] = {
        {"plain", "[DISPLAY]\nASPECT=on\n", "DISPLAY", "ASPECT", "on"},
        {"crlf", "[DISPLAY]\r\nASPECT=on\r\nVOLUME=12\r\n", "DISPLAY", "VOLUME", "12"},
        {"blanks around", "  [ DISPLAY ]  \n  ASPECT  =  off  \n", "DISPLAY", "ASPECT", "off"},
        {"names ignore case", "[display]\naspect=on\n", "DISPLAY", "ASPECT", "on"},
        {"value keeps case", "[DISPLAY]\nASPECT=On\n", "DISPLAY", "ASPECT", "On"},
        {"other section", "[DECODE]\nASPECT=on\n", "DISPLAY", "ASPECT", ""},
        {"key before any section", "ASPECT=on\n[DISPLAY]\n", "DISPLAY", "ASPECT", ""},
        {"missing key", "[DISPLAY]\nVOLUME=1\n", "DISPLAY", "ASPECT", ""},
        {"empty value", "[DISPLAY]\nASPECT=\n", "DISPLAY", "ASPECT", ""},
        {"first of two", "[DISPLAY]\nASPECT=a\nASPECT=b\n", "DISPLAY", "ASPECT", "a"},
        {"value with equals", "[S]\nK=a=b\n", "S", "K", "a=b"},
        {"no final newline", "[S]\nK=v", "S", "K", "v"},
        {"truncated section line", "[S\nK=v\n", "S", "K", ""},
        {"malformed lines skipped", "[S]\ngarbage\n=x\n;K=c\nK=v\n", "S", "K", "v"},
        {"binary garbage", "\x01\x02\xff\n[S]\n\0\0K\xfe=\n"s, "S", "K", ""},
        {"nul inside file", "[S]\nA=\0\0\nK=v\n"s, "S", "K", "v"},
        {"utf-8 path", "[SOURCE]\nFOLDER=/media/ドライブ/録画\n", "SOURCE", "FOLDER",
         "/media/ドライブ/録画"},
        {"empty text", "", "S", "K", ""},
        {"second section of same name", "[S]\nA=1\n[T]\n[S]\nK=v\n", "S", "K", "v"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IniValue(c.text, c.section, c.key), c.expected) << c.what;
    }
}

TEST(IniValue, DoesNotCutLongValues) {
    std::string value(1000, 'x');
    EXPECT_EQ(IniValue("[S]\nK=" + value + "\n", "S", "K"), value);
}

struct WriteCase {
    const char* what;
    std::string before;
    const char* section;
    const char* key;
    const char* value;
    std::string after;
};

TEST(IniWithValue, KeepsEveryOtherLine) {
    const WriteCase cases[] = {
        {"new file", "", "DISPLAY", "ASPECT", "on", "[DISPLAY]\nASPECT=on\n"},
        {"replace", "[D]\nA=1\nB=2\n", "D", "A", "x", "[D]\nA=x\nB=2\n"},
        {"replace keeps crlf", "[D]\r\nA=1\r\nB=2\r\n", "D", "A", "x", "[D]\r\nA=x\r\nB=2\r\n"},
        {"append in section", "[D]\nA=1\n\n[E]\nC=3\n", "D", "B", "2",
         "[D]\nA=1\nB=2\n\n[E]\nC=3\n"},
        {"new section at end", "[D]\nA=1", "E", "B", "2", "[D]\nA=1\n[E]\nB=2\n"},
        {"unknown lines kept", "; note\n[D]\njunk\nA=1\n", "D", "A", "2",
         "; note\n[D]\njunk\nA=2\n"},
        {"key in other section untouched", "[E]\nA=1\n[D]\n", "D", "A", "2",
         "[E]\nA=1\n[D]\nA=2\n"},
        {"replace last line without newline", "[D]\nA=1", "D", "A", "2", "[D]\nA=2\n"},
        {"empty value", "[D]\nA=1\n", "D", "A", "", "[D]\nA=\n"},
        {"crlf new section", "[D]\r\nA=1\r\n", "E", "B", "2", "[D]\r\nA=1\r\n[E]\r\nB=2\r\n"},
    };
    for (const auto& c : cases) {
        auto out = IniWithValue(c.before, c.section, c.key, c.value);
        ASSERT_TRUE(out) << c.what;
        EXPECT_EQ(*out, c.after) << c.what;
        EXPECT_EQ(IniValue(*out, c.section, c.key), c.value) << c.what;
    }
}

TEST(IniWithValue, RefusesEntriesThatWouldChangeOtherLines) {
    struct Bad {
        std::string section, key, value;
    };
    const Bad bad[] = {
        {"D", "A", "one\ntwo"}, {"D", "A", "one\rtwo"}, {"D", "A=B", "v"}, {"D]", "A", "v"},
        {"", "A", "v"},         {"D", "", "v"},         {"D", "[A", "v"},  {"D", ";A", "v"},
        {"D", "A", "x\0y"s},    {"D\n", "A", "v"},      {" D", "A", "v"},  {"D", " A", "v"},
    };
    for (const auto& b : bad) {
        EXPECT_FALSE(IniWithValue("[D]\nA=1\n", b.section, b.key, b.value))
            << b.section << "/" << b.key;
    }
}

TEST(IniWithValue, RoundTripsManyKeys) {
    std::string text;
    for (int i = 0; i < 20; ++i) {
        auto out = IniWithValue(text, "S" + std::to_string(i % 3), "K" + std::to_string(i),
                                "v" + std::to_string(i));
        ASSERT_TRUE(out);
        text = *out;
    }
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(IniValue(text, "S" + std::to_string(i % 3), "K" + std::to_string(i)),
                  "v" + std::to_string(i));
    }
}

} // namespace
} // namespace kirvano
