// Recorder cards on Linux: the mounted removable volumes, newest mount first. A card's
// "drive" is its mount point. Tests replace the system's list with a fixed one.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kirvano {

struct MountedVolume {
    int mountId = 0;
    unsigned major = 0;
    unsigned minor = 0;
    std::string mountPoint;
    std::string fileSystem;
    std::string device;
};

// The lines of /proc/self/mountinfo, in the file's order (mount order); octal escapes in
// paths decoded. Malformed lines are skipped.
std::vector<MountedVolume> ParseMountInfo(std::string_view text);

class RemovableVolumes {
public:
    virtual ~RemovableVolumes() = default;
    // Mount points of the removable volumes, the most recently mounted first.
    virtual std::vector<std::string> candidates() const = 0;
};

// The system's volumes: a block device is removable when its sysfs "removable" flag (or
// its disk's, for a partition) is 1, or when it is an SD/MMC card (mmcblk), which the
// kernel reports as fixed.
class SystemRemovableVolumes : public RemovableVolumes {
public:
    // Paths replaceable for tests; the defaults are the system's.
    explicit SystemRemovableVolumes(std::string mountInfoPath = "/proc/self/mountinfo",
                                    std::string sysDevBlock = "/sys/dev/block");
    std::vector<std::string> candidates() const override;

private:
    bool removable(const MountedVolume& volume) const;

    std::string mountInfoPath_;
    std::string sysDevBlock_;
};

class FixedVolumes : public RemovableVolumes {
public:
    explicit FixedVolumes(std::vector<std::string> mountPoints)
        : mountPoints_(std::move(mountPoints)) {}
    std::vector<std::string> candidates() const override { return mountPoints_; }

private:
    std::vector<std::string> mountPoints_;
};

} // namespace kirvano
