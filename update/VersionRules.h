// The rules of the update check that need no network and no widgets: the server's
// addresses, reading a version file's first block, shortening and comparing versions, the
// proxy taken from the environment, and the texts of the update and runtime notices.
#pragma once

#include "KirvanoVersion.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kirvano {

// Paths on the maker's server.
inline constexpr std::string_view kFirmwareVersionPath =
    "/taiou/dr_updata/hv-tq420/hv-tq420_sw_version.txt";
inline constexpr std::string_view kFirmwarePagePath = "/taiou/dr_updata/hv-tq420/hv-tq420.html";
inline constexpr std::string_view kViewerVersionPath =
    "/0_recorder/viewer/Kirvano/Kirvano_version.txt";
inline constexpr std::string_view kViewerPagePath = "/0_recorder/viewer/Kirvano/viewer.html";

// The version the viewer compares with the published one: its own.
inline constexpr std::string_view kViewerVersion = KIRVANO_VERSION;
// How much of a version file is looked at, and how much of the version is taken.
inline constexpr std::size_t kVersionBlockBytes = 1024;
inline constexpr std::size_t kVersionMaxCharacters = 259;

// "http://" + host + path; empty when host is empty or is not a plain host name or
// address with an optional port (no user part, path, query or blanks).
std::string ServerAddress(std::string_view host, std::string_view path);

// The bytes of a version file's first block (at most kVersionBlockBytes are used), in the
// character set `charset` (the locale's; empty means UTF-8), as UTF-8. Bytes that are not
// text in that set become U+FFFD; the text ends at a NUL.
std::string VersionBlockText(std::string_view bytes, const std::string& charset);

// The version a first block announces: what follows the first "VER:" (at most
// kVersionMaxCharacters characters, nothing trimmed); empty for an empty block; nothing
// when the block has no "VER:".
std::optional<std::string> VersionFromBlock(std::string_view bytes, const std::string& charset);

// The prefix of text before its third '.', or the whole text with fewer than three.
std::string TruncateVersion(std::string_view text);

// What the comparison found; the texts are those the notice shows.
struct VersionFindings {
    bool firmwareMarked = false;
    bool viewerMarked = false;
    std::string currentFirmware;
    std::string latestFirmware;
    std::string currentViewer;
    std::string latestViewer;
};

// The firmware half: both texts shortened; when the current one is not empty and they
// differ, the firmware is marked and both get ".0" appended.
VersionFindings CompareFirmware(std::string_view currentFirmware, std::string_view latestFirmware);
// The viewer half: marked when latest differs from current in any character.
void CompareViewer(VersionFindings& findings, std::string_view currentViewer,
                   std::string_view latestViewer);

// A notice: text pieces, some of them links. Only the pieces made here are links, so a
// version text from the server can never become one.
struct NoticePiece {
    std::string text;
    std::string link; // empty: plain text
};
using NoticeText = std::vector<NoticePiece>;

// The notice as one text with the links written as <a href="...">...</a>.
std::string NoticeMarkup(const NoticeText& notice);
// The notice as plain text with its line breaks as "\n".
std::string NoticePlainText(const NoticeText& notice);

// The update notice for the findings; nothing when neither is marked.
std::optional<NoticeText> ComposeUpdateNotice(const VersionFindings& findings,
                                              std::string_view firmwarePage,
                                              std::string_view viewerPage);
// The notice shown when the map component cannot start, linking to downloadPage.
NoticeText ComposeRuntimeNotice(std::string_view downloadPage);

// An HTTP proxy from the environment.
struct ProxySetting {
    std::string host;
    int port = 0;
    std::string user;
    std::string password;
    bool operator==(const ProxySetting&) const = default;
};
// The proxy for an http:// request to host, from http_proxy (else HTTP_PROXY) and
// no_proxy (else NO_PROXY): "[http://][user[:password]@]host[:port][/]", port 1080
// when absent. Nothing when no proxy is set, the value cannot be read, or no_proxy is
// "*" or names host or one of its parent domains.
std::optional<ProxySetting> ProxyForHost(std::string_view host,
                                         const std::function<const char*(const char*)>& env);

} // namespace kirvano
