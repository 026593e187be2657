#include "update/VersionRules.h"
#include "ui/UiText.h"

#include <gtest/gtest.h>

#include <map>

namespace kirvano {
namespace {

TEST(VersionRulesTest, TruncateKeepsWhatComesBeforeTheThirdDot) {
    const std::pair<const char*, const char*> cases[] = {
        {"1.2.3.4", "1.2.3"}, {"1.2.3", "1.2.3"},     {"1.03", "1.03"},        {"", ""},
        {"...", ".."},        {"1.2.3.4.5", "1.2.3"}, {"a.b.c.\r\n", "a.b.c"},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(TruncateVersion(text), expected) << text;
}

TEST(VersionRulesTest, VersionIsWhatFollowsTheFirstMarkerOfTheFirstBlock) {
    const std::string longVersion(400, '7');
    const std::string late = std::string(1021, ' ') + "VER:1.0";
    const std::string atTheEnd = std::string(1020, ' ') + "VER:1.0";
    struct Case {
        std::string bytes;
        std::optional<std::string> version;
    } cases[] = {
        {"VER:1.2.3.4", "1.2.3.4"},
        {"model hv\r\nVER:2.0.0.1\r\n", "2.0.0.1\r\n"}, // nothing is trimmed
        {"VER:1VER:2", "1VER:2"},
        {"", ""}, // an empty file is an empty version
        {"1.2.3.4", std::nullopt},
        {"ver:1.2", std::nullopt},
        {late, std::nullopt}, // the marker is cut off by the end of the block
        {atTheEnd, ""},       // nothing of the version lies in the block
        {"VER:" + longVersion, std::string(259, '7')}, // at most 259 characters
        {std::string("VER:1.0\0VER:9", 13), "1.0"},    // the text ends at a NUL
        {std::string("\0VER:9", 6), std::nullopt},
        {"VER:\xff\xfe"
         "1",
         "\xEF\xBF\xBD\xEF\xBF\xBD"
         "1"}, // non-text bytes are replaced
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes.substr(0, 40));
        EXPECT_EQ(VersionFromBlock(c.bytes, "UTF-8"), c.version);
    }
    // The version text of a file in the locale's own character set.
    EXPECT_EQ(VersionFromBlock("VER:\x93\xfa\x96\x7b 1.0", "SHIFT_JIS"), "日本 1.0");
    EXPECT_EQ(VersionFromBlock("VER:\xe9t\xe9", "ISO-8859-1"), "été");
}

TEST(VersionRulesTest, ComparisonMarksWhatDiffers) {
    struct Case {
        const char* current;
        const char* latest;
        bool marked;
        const char* shownCurrent;
        const char* shownLatest;
    } firmware[] = {
        {"1.2.3.9", "1.2.3.4", false, "1.2.3", "1.2.3"},
        {"1.2.3", "1.2.3.4", false, "1.2.3", "1.2.3"},
        {"1.02", "1.03", true, "1.02.0", "1.03.0"},
        {"1.2.3", "1.2.4", true, "1.2.3.0", "1.2.4.0"},
        {"1.2.3", "", true, "1.2.3.0", ".0"},
        {"", "9.9.9", false, "", "9.9.9"}, // no recorder: not compared
    };
    for (const Case& c : firmware) {
        SCOPED_TRACE(std::string(c.current) + " / " + c.latest);
        const VersionFindings found = CompareFirmware(c.current, c.latest);
        EXPECT_EQ(found.firmwareMarked, c.marked);
        EXPECT_EQ(found.currentFirmware, c.shownCurrent);
        EXPECT_EQ(found.latestFirmware, c.shownLatest);
    }
    const std::pair<const char*, bool> viewer[] = {
        {"2.0.0.0", false},    {"2.0.0.1", true}, {"1.9.9.9", true},
        {"2.0.0.0\r\n", true}, {"", true},        {"2.0.0", true},
    };
    for (const auto& [latest, marked] : viewer) {
        VersionFindings found;
        CompareViewer(found, kViewerVersion, latest);
        EXPECT_EQ(found.viewerMarked, marked) << latest;
    }
}

TEST(VersionRulesTest, NoticeTextsInBothLanguages) {
    const std::string fw = "http://h/fw.html";
    const std::string vw = "http://h/vw.html";
    VersionFindings both = CompareFirmware("1.02", "1.03");
    CompareViewer(both, "2.0.0.0", "2.1.0.0");
    VersionFindings firmwareOnly = CompareFirmware("1.02", "1.03");
    CompareViewer(firmwareOnly, "2.0.0.0", "2.0.0.0");
    VersionFindings viewerOnly = CompareFirmware("", "1.03");
    CompareViewer(viewerOnly, "2.0.0.0", "1.9.9.9");
    VersionFindings neither = CompareFirmware("1.03", "1.03");
    CompareViewer(neither, "2.0.0.0", "2.0.0.0");

    SelectUiTextColumn(0);
    const std::string head =
        "新しいバージョンのソフトを利用できます。\r\nダウンロードする場合は下記URLを"
        "クリックしてください。\r\n\r\n";
    const std::string fwSection = "ドライブレコーダー本体:\r\n現在のバージョン：1.02.0   →   "
                                  "更新バージョン：1.03.0\r\n\r\nURL : <a href=\"" +
                                  fw + "\">" + fw + "</a>";
    const std::string vwSection = "ビューワーソフト:\r\n現在のバージョン：2.0.0.0   →   "
                                  "更新バージョン：%s\r\n\r\nURL : <a href=\"" +
                                  vw + "\">" + vw + "</a>";
    const auto viewerSection = [&](const std::string& latest) {
        std::string text = vwSection;
        return text.replace(text.find("%s"), 2, latest);
    };
    EXPECT_EQ(NoticeMarkup(*ComposeUpdateNotice(firmwareOnly, fw, vw)), head + fwSection);
    EXPECT_EQ(NoticeMarkup(*ComposeUpdateNotice(viewerOnly, fw, vw)),
              head + viewerSection("1.9.9.9"));
    EXPECT_EQ(NoticeMarkup(*ComposeUpdateNotice(both, fw, vw)),
              head + fwSection + "\r\n\r\n\r\n" + viewerSection("2.1.0.0") + "\r\n");
    EXPECT_FALSE(ComposeUpdateNotice(neither, fw, vw).has_value());

    SelectUiTextColumn(1);
    EXPECT_EQ(NoticePlainText(*ComposeUpdateNotice(viewerOnly, fw, vw)),
              "A new version of the software is available.\nTo download it, click the URL "
              "below.\n\nViewer software:\nCurrent version: 2.0.0.0   →   New version: "
              "1.9.9.9\n\nURL : " +
                  vw);
    const NoticeText runtime = ComposeRuntimeNotice("https://example.org/rt");
    EXPECT_EQ(NoticeMarkup(runtime), UiText(158) + "URL : <a href=\"https://example.org/rt\">"
                                                   "https://example.org/rt</a>\r\n");
    SelectUiTextColumn(0);

    // A version text that looks like a link stays text: only the page pieces are links.
    VersionFindings hostile;
    CompareViewer(hostile, "2.0.0.0", "<a href=\"http://evil\">x</a>");
    int links = 0;
    const NoticeText hostileNotice = *ComposeUpdateNotice(hostile, fw, vw);
    for (const NoticePiece& piece : hostileNotice) {
        if (!piece.link.empty()) {
            ++links;
            EXPECT_EQ(piece.link, vw);
        }
    }
    EXPECT_EQ(links, 1);
}

TEST(VersionRulesTest, ServerAddressesNeedAPlainHost) {
    const std::pair<const char*, const char*> cases[] = {
        {"example.com", "http://example.com/p"},
        {"127.0.0.1:8080", "http://127.0.0.1:8080/p"},
        {"[::1]:80", "http://[::1]:80/p"},
        {"", ""},
        {"user@example.com", ""},
        {"example.com/x", ""},
        {"exa mple.com", ""},
        {"http://example.com", ""},
    };
    for (const auto& [host, address] : cases)
        EXPECT_EQ(ServerAddress(host, "/p"), address) << host;
}

TEST(VersionRulesTest, ProxyFromTheEnvironment) {
    struct Case {
        std::map<std::string, std::string> env;
        std::optional<ProxySetting> proxy;
    } cases[] = {
        {{}, std::nullopt},
        {{{"http_proxy", "http://proxy.lan:3128/"}}, ProxySetting{"proxy.lan", 3128, "", ""}},
        {{{"HTTP_PROXY", "proxy.lan"}}, ProxySetting{"proxy.lan", 1080, "", ""}},
        {{{"http_proxy", "http://u:p@10.0.0.1:8080"}}, ProxySetting{"10.0.0.1", 8080, "u", "p"}},
        {{{"http_proxy", "[::1]:3128"}}, ProxySetting{"::1", 3128, "", ""}},
        {{{"http_proxy", "proxy:99999"}}, std::nullopt},
        {{{"http_proxy", "proxy:abc"}}, std::nullopt},
        {{{"http_proxy", "socks5://proxy:1080"}}, std::nullopt},
        {{{"http_proxy", "http://:3128"}}, std::nullopt},
        {{{"http_proxy", "proxy:3128"}, {"no_proxy", "*"}}, std::nullopt},
        {{{"http_proxy", "proxy:3128"}, {"no_proxy", "lan, .maker.example"}}, std::nullopt},
        {{{"http_proxy", "proxy:3128"}, {"NO_PROXY", "maker.example"}}, std::nullopt},
        {{{"http_proxy", "proxy:3128"}, {"no_proxy", "ker.example,other"}},
         ProxySetting{"proxy", 3128, "", ""}},
    };
    for (const Case& c : cases) {
        const auto env = [&](const char* name) -> const char* {
            const auto it = c.env.find(name);
            return it == c.env.end() ? nullptr : it->second.c_str();
        };
        const auto proxy = ProxyForHost("www.maker.example", env);
        ASSERT_EQ(proxy.has_value(), c.proxy.has_value())
            << (c.env.empty() ? std::string() : c.env.begin()->second);
        if (proxy) {
            EXPECT_EQ(*proxy, *c.proxy);
        }
    }
}

} // namespace
} // namespace kirvano
