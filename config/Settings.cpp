#include "config/Settings.h"

#include "base/AtomicOutputFile.h"
#include "config/FileAttributes.h"
#include "config/IniText.h"

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>

namespace kirvano {
namespace {

// A configuration file larger than this is not ours; it reads as empty.
constexpr std::uintmax_t kMaxFileSize = 1 << 20;

std::mutex& DirectoryMutex() {
    static std::mutex m;
    return m;
}
std::optional<std::string>& ResolvedDirectory() {
    static std::optional<std::string> dir;
    return dir;
}

// Serialises read-modify-write of the file within the process.
std::mutex& FileMutex() {
    static std::mutex m;
    return m;
}

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

std::string ResolveDirectory() {
    std::string dir = Env("KIRVANO_CONFIG_DIR");
    if (dir.empty()) {
        std::string xdg = Env("XDG_CONFIG_HOME");
        if (!xdg.empty() && xdg.front() == '/') {
            dir = xdg + "/kirvano";
        } else {
            std::string home = Env("HOME");
            if (home.empty()) {
                return {};
            }
            dir = home + "/.config/kirvano";
        }
    }
    while (dir.size() > 1 && dir.back() == '/') {
        dir.pop_back();
    }
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    return dir;
}

// The whole file, or nothing when it is missing, unreadable or implausibly large.
std::optional<std::string> ReadWholeFile(const std::string& path) {
    std::error_code ec;
    auto size = std::filesystem::file_size(path, ec);
    if (ec || size > kMaxFileSize) {
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        return std::nullopt;
    }
    return text;
}

} // namespace

std::string ConfigDirectory() {
    std::lock_guard lock(DirectoryMutex());
    auto& dir = ResolvedDirectory();
    if (!dir || dir->empty()) {
        dir = ResolveDirectory();
    }
    return *dir;
}

void ResetConfigDirectoryForTests() {
    std::lock_guard lock(DirectoryMutex());
    ResolvedDirectory().reset();
}

std::string ConfigFilePath() {
    std::string dir = ConfigDirectory();
    if (dir.empty()) {
        return {};
    }
    return dir == "/" ? "/Default_Folder.ini" : dir + "/Default_Folder.ini";
}

std::string ReadSetting(std::string_view section, std::string_view key) {
    const std::string path = ConfigFilePath();
    if (path.empty()) {
        return {};
    }
    std::lock_guard lock(FileMutex());
    std::optional<std::string> text = ReadWholeFile(path);
    return text ? IniValue(*text, section, key) : std::string();
}

bool WriteSetting(std::string_view section, std::string_view key, std::string_view value) {
    const std::string path = ConfigFilePath();
    if (path.empty()) {
        return false;
    }
    std::lock_guard lock(FileMutex());
    std::string old;
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) {
        std::optional<std::string> text = ReadWholeFile(path);
        if (!text) {
            return false; // never replace a file we could not read
        }
        old = std::move(*text);
    }
    std::optional<std::string> updated = IniWithValue(old, section, key, value);
    if (!updated || !WriteFileAtomically(path, *updated)) {
        return false;
    }
    SetOnlyHiddenAttribute(path);
    return true;
}

bool WriteDefaultSettings() {
    const std::string path = ConfigFilePath();
    if (path.empty()) {
        return false;
    }
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        WriteSetting("DISPLAY", "INFOCHECK", "31");
        WriteSetting("DISPLAY", "ASPECT", "on");
        WriteSetting("DISPLAY", "VOLUME", "65535");
    }
    return std::filesystem::exists(path, ec);
}

int ReadVolumeSetting() {
    const std::string text = ReadSetting("DISPLAY", "VOLUME");
    if (text.empty()) {
        return 65535;
    }
    // Leading decimal digits after an optional sign, kept within the volume's range.
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > 65535) {
            value = 65535;
        }
    }
    if (negative) {
        return 0;
    }
    return static_cast<int>(value);
}

} // namespace kirvano
