// Mounted removable volumes from /proc/self/mountinfo and the block devices' sysfs flags.
#include "library/RemovableVolumes.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

namespace kirvano {
namespace {

// mountinfo escapes space, tab, newline and backslash as \ooo.
std::string Unescape(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const char a = field[i + 1], b = field[i + 2], c = field[i + 3];
            if (a >= '0' && a <= '3' && b >= '0' && b <= '7' && c >= '0' && c <= '7') {
                out += static_cast<char>((a - '0') * 64 + (b - '0') * 8 + (c - '0'));
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && line[at] == ' ')
            ++at;
        if (at >= line.size())
            break;
        const std::size_t end = std::min(line.find(' ', at), line.size());
        fields.push_back(line.substr(at, end - at));
        at = end;
    }
    return fields;
}

bool ParseUnsigned(std::string_view text, unsigned& value) {
    if (text.empty() || text.size() > 9)
        return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return true;
}

std::string ReadSmallFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string text;
    std::getline(in, text);
    return text;
}

} // namespace

std::vector<MountedVolume> ParseMountInfo(std::string_view text) {
    std::vector<MountedVolume> volumes;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        const std::string_view line = text.substr(at, end - at);
        at = end + 1;
        // id parent major:minor root mount-point options [optional...] - fstype source ...
        const auto fields = Fields(line);
        if (fields.size() < 7)
            continue;
        MountedVolume volume;
        unsigned id = 0;
        if (!ParseUnsigned(fields[0], id))
            continue;
        volume.mountId = static_cast<int>(id);
        const auto colon = fields[2].find(':');
        if (colon == std::string_view::npos ||
            !ParseUnsigned(fields[2].substr(0, colon), volume.major) ||
            !ParseUnsigned(fields[2].substr(colon + 1), volume.minor))
            continue;
        volume.mountPoint = Unescape(fields[4]);
        std::size_t dash = 6;
        while (dash < fields.size() && fields[dash] != "-")
            ++dash;
        if (dash + 1 < fields.size())
            volume.fileSystem = std::string(fields[dash + 1]);
        if (dash + 2 < fields.size())
            volume.device = Unescape(fields[dash + 2]);
        volumes.push_back(std::move(volume));
    }
    return volumes;
}

SystemRemovableVolumes::SystemRemovableVolumes(std::string mountInfoPath, std::string sysDevBlock)
    : mountInfoPath_(std::move(mountInfoPath)), sysDevBlock_(std::move(sysDevBlock)) {}

bool SystemRemovableVolumes::removable(const MountedVolume& volume) const {
    if (volume.major == 0)
        return false; // no block device (tmpfs, proc, ...)
    const std::string device =
        sysDevBlock_ + "/" + std::to_string(volume.major) + ":" + std::to_string(volume.minor);
    if (ReadSmallFile(device + "/removable") == "1")
        return true;
    // A partition has no flag of its own: its disk is the parent folder.
    if (ReadSmallFile(device + "/partition").size() > 0 &&
        ReadSmallFile(device + "/../removable") == "1")
        return true;
    return volume.device.find("/mmcblk") != std::string::npos;
}

std::vector<std::string> SystemRemovableVolumes::candidates() const {
    std::ifstream in(mountInfoPath_, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> result;
    const auto volumes = ParseMountInfo(text);
    for (auto it = volumes.rbegin(); it != volumes.rend(); ++it) {
        if (removable(*it) &&
            std::find(result.begin(), result.end(), it->mountPoint) == result.end())
            result.push_back(it->mountPoint);
    }
    return result;
}

} // namespace kirvano
