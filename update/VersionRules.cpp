#include "update/VersionRules.h"

#include "base/Utf8.h"
#include "ui/UiText.h"

#include <cerrno>
#include <cstdint>
#include <iconv.h>

namespace kirvano {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

std::string CleanUtf8(std::string_view bytes) {
    std::string out;
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t length = Utf8SequenceLength(bytes, at);
        if (length == 0) {
            out += kReplacement;
            ++at;
        } else {
            out.append(bytes.substr(at, length));
            at += length;
        }
    }
    return out;
}

std::string ConvertToUtf8(std::string_view bytes, const std::string& charset) {
    iconv_t converter = iconv_open("UTF-8", charset.c_str());
    if (converter == reinterpret_cast<iconv_t>(-1))
        return CleanUtf8(bytes); // an unknown set: read it as UTF-8
    std::string out;
    std::string input(bytes);
    char* in = input.data();
    std::size_t inLeft = input.size();
    char buffer[256];
    while (inLeft > 0) {
        char* outAt = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t done = iconv(converter, &in, &inLeft, &outAt, &outLeft);
        out.append(buffer, static_cast<std::size_t>(outAt - buffer));
        if (done != static_cast<std::size_t>(-1))
            break;
        if (errno == E2BIG)
            continue;
        // A byte that is not text in this set, or a sequence cut off at the block's end.
        out += kReplacement;
        ++in;
        --inLeft;
    }
    iconv_close(converter);
    return CleanUtf8(out);
}

// The first `count` UTF-8 characters of text.
std::string FirstCharacters(std::string_view text, std::size_t count) {
    std::size_t at = 0;
    for (std::size_t n = 0; n < count && at < text.size(); ++n) {
        const std::size_t length = Utf8SequenceLength(text, at);
        at += length == 0 ? 1 : length;
    }
    return std::string(text.substr(0, at));
}

bool IsHostCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-' || c == ':' || c == '[' || c == ']' || c == '_';
}

void AddSection(NoticeText& notice, int titleEntry, const std::string& current,
                const std::string& latest, std::string_view page) {
    notice.push_back({UiText(titleEntry) + ":\r\n" + UiText(109) + current + "   →   " +
                          UiText(111) + latest + "\r\n\r\nURL : ",
                      {}});
    notice.push_back({std::string(page), std::string(page)});
}

std::string LowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    }
    return lower;
}

bool ExcludedByNoProxy(std::string_view host, std::string_view list) {
    const std::string name = LowerAscii(host);
    std::size_t at = 0;
    while (at <= list.size()) {
        std::size_t end = list.find(',', at);
        if (end == std::string_view::npos)
            end = list.size();
        std::string_view entry = list.substr(at, end - at);
        while (!entry.empty() && entry.front() == ' ')
            entry.remove_prefix(1);
        while (!entry.empty() && entry.back() == ' ')
            entry.remove_suffix(1);
        if (entry == "*")
            return true;
        if (!entry.empty() && entry.front() == '.')
            entry.remove_prefix(1);
        const std::string domain = LowerAscii(entry);
        if (!domain.empty() && (name == domain || (name.size() > domain.size() &&
                                                   name.compare(name.size() - domain.size(),
                                                                domain.size(), domain) == 0 &&
                                                   name[name.size() - domain.size() - 1] == '.')))
            return true;
        at = end + 1;
    }
    return false;
}

} // namespace

std::string ServerAddress(std::string_view host, std::string_view path) {
    if (host.empty())
        return {};
    for (char c : host) {
        if (!IsHostCharacter(c))
            return {};
    }
    return "http://" + std::string(host) + std::string(path);
}

std::string VersionBlockText(std::string_view bytes, const std::string& charset) {
    bytes = bytes.substr(0, kVersionBlockBytes);
    std::string text = IsUtf8Charset(charset) ? CleanUtf8(bytes) : ConvertToUtf8(bytes, charset);
    const std::size_t nul = text.find('\0');
    if (nul != std::string::npos)
        text.resize(nul);
    return text;
}

std::optional<std::string> VersionFromBlock(std::string_view bytes, const std::string& charset) {
    if (bytes.empty())
        return std::string();
    const std::string text = VersionBlockText(bytes, charset);
    const std::size_t marker = text.find("VER:");
    if (marker == std::string::npos)
        return std::nullopt;
    return FirstCharacters(std::string_view(text).substr(marker + 4), kVersionMaxCharacters);
}

std::string TruncateVersion(std::string_view text) {
    std::size_t dots = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '.' && ++dots == 3)
            return std::string(text.substr(0, i));
    }
    return std::string(text);
}

VersionFindings CompareFirmware(std::string_view currentFirmware, std::string_view latestFirmware) {
    VersionFindings findings;
    findings.latestFirmware = TruncateVersion(latestFirmware);
    if (currentFirmware.empty())
        return findings;
    findings.currentFirmware = TruncateVersion(currentFirmware);
    if (findings.currentFirmware != findings.latestFirmware) {
        findings.firmwareMarked = true;
        findings.currentFirmware += ".0";
        findings.latestFirmware += ".0";
    }
    return findings;
}

void CompareViewer(VersionFindings& findings, std::string_view currentViewer,
                   std::string_view latestViewer) {
    findings.currentViewer = currentViewer;
    findings.latestViewer = latestViewer;
    findings.viewerMarked = currentViewer != latestViewer;
}

std::string NoticeMarkup(const NoticeText& notice) {
    std::string out;
    for (const NoticePiece& piece : notice) {
        if (piece.link.empty())
            out += piece.text;
        else
            out += "<a href=\"" + piece.link + "\">" + piece.text + "</a>";
    }
    return out;
}

std::string NoticePlainText(const NoticeText& notice) {
    std::string out;
    for (const NoticePiece& piece : notice)
        out += piece.text;
    std::string plain;
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (out[i] == '\r' && i + 1 < out.size() && out[i + 1] == '\n')
            continue;
        plain += out[i];
    }
    return plain;
}

std::optional<NoticeText> ComposeUpdateNotice(const VersionFindings& findings,
                                              std::string_view firmwarePage,
                                              std::string_view viewerPage) {
    if (!findings.firmwareMarked && !findings.viewerMarked)
        return std::nullopt;
    NoticeText notice;
    notice.push_back({UiText(107) + "\r\n\r\n", {}});
    if (findings.firmwareMarked) {
        AddSection(notice, 110, findings.currentFirmware, findings.latestFirmware, firmwarePage);
    }
    if (findings.firmwareMarked && findings.viewerMarked)
        notice.push_back({"\r\n\r\n\r\n", {}});
    if (findings.viewerMarked)
        AddSection(notice, 112, findings.currentViewer, findings.latestViewer, viewerPage);
    if (findings.firmwareMarked && findings.viewerMarked)
        notice.push_back({"\r\n", {}});
    return notice;
}

NoticeText ComposeRuntimeNotice(std::string_view downloadPage) {
    return {{UiText(158) + "URL : ", {}},
            {std::string(downloadPage), std::string(downloadPage)},
            {"\r\n", {}}};
}

std::optional<ProxySetting> ProxyForHost(std::string_view host,
                                         const std::function<const char*(const char*)>& env) {
    const auto value = [&](const char* lower, const char* upper) -> std::string_view {
        const char* text = env(lower);
        if (text == nullptr || *text == '\0')
            text = env(upper);
        return text != nullptr ? std::string_view(text) : std::string_view();
    };
    std::string_view proxy = value("http_proxy", "HTTP_PROXY");
    if (proxy.empty() || ExcludedByNoProxy(host, value("no_proxy", "NO_PROXY")))
        return std::nullopt;
    if (const std::size_t scheme = proxy.find("://"); scheme != std::string_view::npos) {
        if (LowerAscii(proxy.substr(0, scheme)) != "http")
            return std::nullopt;
        proxy.remove_prefix(scheme + 3);
    }
    proxy = proxy.substr(0, proxy.find('/'));
    ProxySetting setting;
    if (const std::size_t at = proxy.rfind('@'); at != std::string_view::npos) {
        const std::string_view credentials = proxy.substr(0, at);
        const std::size_t colon = credentials.find(':');
        setting.user = std::string(credentials.substr(0, colon));
        if (colon != std::string_view::npos)
            setting.password = std::string(credentials.substr(colon + 1));
        proxy.remove_prefix(at + 1);
    }
    std::string_view port;
    if (!proxy.empty() && proxy.front() == '[') {
        const std::size_t close = proxy.find(']');
        if (close == std::string_view::npos)
            return std::nullopt;
        setting.host = std::string(proxy.substr(1, close - 1));
        const std::string_view rest = proxy.substr(close + 1);
        if (!rest.empty() && rest.front() != ':')
            return std::nullopt;
        port = rest.empty() ? rest : rest.substr(1);
    } else {
        const std::size_t colon = proxy.find(':');
        setting.host = std::string(proxy.substr(0, colon));
        if (colon != std::string_view::npos)
            port = proxy.substr(colon + 1);
    }
    if (setting.host.empty())
        return std::nullopt;
    setting.port = 1080;
    if (!port.empty()) {
        int number = 0;
        for (char c : port) {
            if (c < '0' || c > '9')
                return std::nullopt;
            number = number * 10 + (c - '0');
            if (number > 65535)
                return std::nullopt;
        }
        if (number == 0)
            return std::nullopt;
        setting.port = number;
    }
    return setting;
}

} // namespace kirvano
