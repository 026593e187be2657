#include "config/FileAttributes.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <linux/msdos_fs.h>
#include <string>
#include <sys/ioctl.h>
#include <unistd.h>

namespace kirvano {
namespace {

int KernelGet(int fd, unsigned* attributes) {
    __u32 value = 0;
    if (ioctl(fd, FAT_IOCTL_GET_ATTRIBUTES, &value) != 0) {
        return errno;
    }
    *attributes = value;
    return 0;
}

int KernelSet(int fd, unsigned attributes) {
    __u32 value = attributes;
    return ioctl(fd, FAT_IOCTL_SET_ATTRIBUTES, &value) == 0 ? 0 : errno;
}

const FatAttributeCalls kKernelCalls{KernelGet, KernelSet};
std::atomic<const FatAttributeCalls*> gCalls{&kKernelCalls};

// The file system has no such attribute for this file.
bool NoAttribute(int error) {
    return error == ENOTTY || error == EINVAL || error == EOPNOTSUPP || error == ENOSYS;
}

class OpenFile {
public:
    explicit OpenFile(std::string_view path)
        : fd_(::open(std::string(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)) {}
    ~OpenFile() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

} // namespace

void SetFatAttributeCallsForTests(const FatAttributeCalls* calls) {
    gCalls.store(calls ? calls : &kKernelCalls);
}

bool AddHiddenAttribute(std::string_view path) {
    OpenFile file(path);
    if (path.empty() || file.fd() < 0) {
        return false;
    }
    const FatAttributeCalls* calls = gCalls.load();
    unsigned attributes = 0;
    if (int error = calls->get(file.fd(), &attributes); error != 0) {
        return NoAttribute(error);
    }
    if (attributes & kFatHidden) {
        return true;
    }
    int error = calls->set(file.fd(), attributes | kFatHidden);
    return error == 0 || NoAttribute(error);
}

bool SetOnlyHiddenAttribute(std::string_view path) {
    OpenFile file(path);
    if (path.empty() || file.fd() < 0) {
        return false;
    }
    int error = gCalls.load()->set(file.fd(), kFatHidden);
    return error == 0 || NoAttribute(error);
}

bool HasHiddenAttribute(std::string_view path) {
    OpenFile file(path);
    if (path.empty() || file.fd() < 0) {
        return false;
    }
    unsigned attributes = 0;
    if (gCalls.load()->get(file.fd(), &attributes) != 0) {
        return false;
    }
    return (attributes & kFatHidden) != 0;
}

} // namespace kirvano
