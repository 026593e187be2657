#include "ui/UiText.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace kirvano {
namespace {

TEST(UiTextTable, EntriesUpTo158AreFilledInBothColumns) {
    for (int column = 0; column < 2; ++column)
        for (int entry = 0; entry <= 158; ++entry)
            EXPECT_FALSE(UiTextOf(column, entry).empty()) << column << ":" << entry;
}

TEST(UiTextTable, EntriesFrom159AreEmptyInBothColumns) {
    EXPECT_EQ(kUiTextEntries, 260);
    for (int column = 0; column < 2; ++column)
        for (int entry = 159; entry < kUiTextEntries; ++entry)
            EXPECT_TRUE(UiTextOf(column, entry).empty()) << column << ":" << entry;
}

TEST(UiTextTable, OutOfRangeGivesEmpty) {
    const struct {
        int column;
        int entry;
    } cases[] = {{0, -1}, {1, -1}, {0, 260}, {1, 260}, {0, 100000}, {-1, 0}, {2, 0}, {7, 12}};
    for (const auto& c : cases)
        EXPECT_TRUE(UiTextOf(c.column, c.entry).empty()) << c.column << ":" << c.entry;
    SelectUiTextColumn(0);
    EXPECT_TRUE(UiText(-5).empty());
    EXPECT_TRUE(UiText(260).empty());
}

TEST(UiTextTable, JapaneseSpotChecks) {
    const struct {
        int entry;
        const char* text;
    } cases[] = {
        {0, "閉じる"},
        {2, "CSV"},
        {5, "回転 180°"},
        {11, "一時停止"},
        {12, "再生"},
        {25, "衝撃＋マニュアル"},
        {33, "日付,"},
        {68, "ドライブサポート　急加速"},
        {98, "フォルダパスの取得に失敗しました。"},
        {105, "表示数が1500を超えています。1500項目表示します。"},
        {113, "メイリオ"},
        {157, "WebView2 ランタイムがインストールされていません。"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(UiTextOf(0, c.entry), c.text) << c.entry;
}

TEST(UiTextTable, CountPlaceholderFormatsInBothColumns) {
    EXPECT_EQ(UiTextOf(0, 37), "%d個");
    for (int column = 0; column < 2; ++column) {
        const std::string& format = UiTextOf(column, 37);
        ASSERT_NE(format.find("%d"), std::string::npos) << column;
        EXPECT_EQ(format.find('%'), format.rfind('%')) << "one placeholder only, column " << column;
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, format.c_str(), 42);
        const std::string out(buffer);
        EXPECT_NE(out.find("42"), std::string::npos) << out;
        EXPECT_EQ(out.find('%'), std::string::npos) << out;
    }
}

TEST(UiTextTable, LineBreaksAreCarriageReturnLineFeed) {
    for (int column = 0; column < 2; ++column) {
        for (int entry : {107, 158}) {
            const std::string& text = UiTextOf(column, entry);
            EXPECT_NE(text.find("\r\n"), std::string::npos) << column << ":" << entry;
            EXPECT_EQ(text.find("\\r"), std::string::npos) << column << ":" << entry;
            // Every line feed follows a carriage return and vice versa.
            for (size_t i = 0; i < text.size(); ++i) {
                if (text[i] == '\n') {
                    EXPECT_TRUE(i > 0 && text[i - 1] == '\r') << column << ":" << entry;
                }
                if (text[i] == '\r') {
                    EXPECT_TRUE(i + 1 < text.size() && text[i + 1] == '\n')
                        << column << ":" << entry;
                }
            }
        }
        const std::string& notice = UiTextOf(column, 158);
        EXPECT_EQ(notice.substr(notice.size() - 2), "\r\n") << column;
        EXPECT_NE(notice.find("\r\n\r\n\r\n"), std::string::npos) << column;
    }
    EXPECT_EQ(UiTextOf(0, 107), "新しいバージョンのソフトを利用できます。\r\nダウンロードする場合は"
                                "下記URLをクリックしてください。");
}

TEST(UiTextTable, OtherEntriesHaveNoControlCharactersOrPercent) {
    for (int column = 0; column < 2; ++column)
        for (int entry = 0; entry <= 158; ++entry) {
            if (entry == 107 || entry == 158 || entry == 37)
                continue;
            for (char ch : UiTextOf(column, entry)) {
                EXPECT_FALSE(static_cast<unsigned char>(ch) < 0x20) << column << ":" << entry;
                EXPECT_NE(ch, '%') << column << ":" << entry;
            }
        }
}

TEST(UiTextTable, FontFaceIsTheSameInBothColumns) {
    EXPECT_EQ(UiTextOf(0, 113), "メイリオ");
    EXPECT_EQ(UiTextOf(1, 113), UiTextOf(0, 113));
}

TEST(UiTextTable, EnglishColumnIsATranslation) {
    for (int entry : {0, 11, 12, 48, 93, 105})
        EXPECT_NE(UiTextOf(1, entry), UiTextOf(0, entry)) << entry;
    EXPECT_EQ(UiTextOf(1, 12), "Play");
    EXPECT_EQ(UiTextOf(1, 11), "Pause");
}

TEST(UiTextSelection, SwitchesTheColumnUiTextReads) {
    const struct {
        int requested;
        int expected;
    } cases[] = {{1, 1}, {0, 0}, {1, 1}, {5, 0}, {-1, 0}};
    for (const auto& c : cases) {
        SelectUiTextColumn(c.requested);
        EXPECT_EQ(SelectedUiTextColumn(), c.expected) << c.requested;
        for (int entry : {0, 12, 37, 113, 158, 200})
            EXPECT_EQ(UiText(entry), UiTextOf(c.expected, entry)) << c.requested << ":" << entry;
    }
    SelectUiTextColumn(0);
}

// Sets or clears the language variables for one case, restoring them afterwards.
class Environment {
public:
    Environment() {
        for (const char* name : kNames) {
            const char* value = std::getenv(name);
            saved_.push_back(value ? std::optional<std::string>(value) : std::nullopt);
        }
    }
    ~Environment() {
        for (size_t i = 0; i < std::size(kNames); ++i)
            Set(kNames[i], saved_[i] ? saved_[i]->c_str() : nullptr);
    }
    static void Set(const char* name, const char* value) {
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    static constexpr const char* kNames[] = {"KIRVANO_LANG", "LC_ALL", "LC_MESSAGES", "LANG"};

private:
    std::vector<std::optional<std::string>> saved_;
};

TEST(UiTextSelection, ColumnFromEnvironment) {
    const struct {
        const char* kirvanoLang;
        const char* lcAll;
        const char* lcMessages;
        const char* lang;
        int expected;
    } cases[] = {
        {nullptr, nullptr, nullptr, nullptr, 0},
        {nullptr, nullptr, nullptr, "C", 0},
        {nullptr, nullptr, nullptr, "POSIX", 0},
        {nullptr, nullptr, nullptr, "en_US.UTF-8", 1},
        {nullptr, nullptr, nullptr, "en_GB.UTF-8", 1},
        {nullptr, nullptr, nullptr, "ja_JP.UTF-8", 0},
        {nullptr, nullptr, nullptr, "de_DE.UTF-8", 0},
        {nullptr, nullptr, "en_US.UTF-8", "ja_JP.UTF-8", 1},
        {nullptr, nullptr, "ja_JP.UTF-8", "en_US.UTF-8", 0},
        {nullptr, "ja_JP.UTF-8", "en_US.UTF-8", "en_US.UTF-8", 0},
        {nullptr, "en_US.UTF-8", "ja_JP.UTF-8", "ja_JP.UTF-8", 1},
        {nullptr, "", "", "en_US.UTF-8", 1},
        {nullptr, "", "en", "C", 1},
        {nullptr, "C", "en_US.UTF-8", "en_US.UTF-8", 0},
        {"ja", nullptr, nullptr, "en_US.UTF-8", 0},
        {"ja", "en_US.UTF-8", nullptr, nullptr, 0},
        {"en", nullptr, nullptr, "ja_JP.UTF-8", 1},
        {"en", nullptr, nullptr, nullptr, 1},
        {"fr", nullptr, nullptr, "en_US.UTF-8", 1},
        {"fr", nullptr, nullptr, "ja_JP.UTF-8", 0},
        {"", nullptr, nullptr, "en_US.UTF-8", 1},
        {"EN", nullptr, nullptr, "C", 0},
    };
    Environment keep;
    for (const auto& c : cases) {
        Environment::Set("KIRVANO_LANG", c.kirvanoLang);
        Environment::Set("LC_ALL", c.lcAll);
        Environment::Set("LC_MESSAGES", c.lcMessages);
        Environment::Set("LANG", c.lang);
        EXPECT_EQ(UiTextColumnFromEnvironment(), c.expected)
            << (c.kirvanoLang ? c.kirvanoLang : "-") << " " << (c.lcAll ? c.lcAll : "-") << " "
            << (c.lcMessages ? c.lcMessages : "-") << " " << (c.lang ? c.lang : "-");
    }
}

} // namespace
} // namespace kirvano
