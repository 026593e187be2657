#include "container/JoinOutputFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace kirvano {
namespace {

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Renames without replacing an existing file: renameat2 where the file system has it,
// else a hard link (which fails on an existing name).
int RenameNoReplace(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return errno;
    if (link(from.c_str(), to.c_str()) == 0) {
        unlink(from.c_str());
        return 0;
    }
    return errno;
}

} // namespace

Status JoinOutputFile::fail(const std::string& what, int error) {
    error_ = what + (error != 0 ? std::string(": ") + std::strerror(error) : std::string());
    discard();
    failed_ = true;
    return Failure(error_);
}

bool JoinOutputFile::budget(std::uint64_t n) {
    return failAfter_ == UINT64_MAX || written_ + n <= failAfter_;
}

Status JoinOutputFile::open(const std::string& finalPath, bool replace) {
    discard();
    failed_ = false;
    written_ = 0;
    replace_ = replace;
    finalPath_ = finalPath;
    std::string pattern = FolderOf(finalPath) + "/." + BaseOf(finalPath) + ".XXXXXX";
    const int fd = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0)
        return fail("cannot create a file in " + FolderOf(finalPath), errno);
    fd_ = fd;
    temporaryPath_ = pattern;
    return Success();
}

Status JoinOutputFile::write(const void* data, std::size_t size) {
    if (fd_ < 0)
        return Failure(failed_ ? error_ : "the output is not open");
    if (!budget(size))
        return fail("cannot write " + finalPath_, ENOSPC);
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd_, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail("cannot write " + finalPath_, n < 0 ? errno : ENOSPC);
        p += n;
        size -= static_cast<std::size_t>(n);
        written_ += static_cast<std::uint64_t>(n);
    }
    return Success();
}

Status JoinOutputFile::copyFrom(int sourceFd, std::uint64_t offset, std::uint64_t length,
                                const std::function<bool(std::uint64_t)>& afterWindow) {
    if (fd_ < 0)
        return Failure(failed_ ? error_ : "the output is not open");
    bool inKernel = kernelCopy_;
    std::unique_ptr<char[]> buffer;
    std::uint64_t done = 0;
    while (done < length) {
        const std::uint64_t window = std::min<std::uint64_t>(kJoinCopyWindow, length - done);
        if (!budget(window))
            return fail("cannot write " + finalPath_, ENOSPC);
        std::uint64_t copied = 0;
        if (inKernel) {
            loff_t in = static_cast<loff_t>(offset + done);
            while (copied < window) {
                const ssize_t n = copy_file_range(sourceFd, &in, fd_, nullptr,
                                                  static_cast<std::size_t>(window - copied), 0);
                if (n < 0 && errno == EINTR)
                    continue;
                if (n < 0 && copied == 0 &&
                    (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP ||
                     errno == EBADF || errno == EPERM)) {
                    inKernel = false; // the plain copy below takes over
                    break;
                }
                if (n < 0)
                    return fail("cannot write " + finalPath_, errno);
                if (n == 0)
                    return fail("the source ends before its media data", 0);
                copied += static_cast<std::uint64_t>(n);
            }
        }
        if (!inKernel) {
            if (!buffer)
                buffer = std::make_unique<char[]>(kJoinCopyWindow);
            while (copied < window) {
                const ssize_t n =
                    ::pread(sourceFd, buffer.get(), static_cast<std::size_t>(window - copied),
                            static_cast<off_t>(offset + done + copied));
                if (n < 0 && errno == EINTR)
                    continue;
                if (n < 0)
                    return fail("cannot read the source", errno);
                if (n == 0)
                    return fail("the source ends before its media data", 0);
                const std::uint64_t before = written_;
                if (Status s = write(buffer.get(), static_cast<std::size_t>(n)); !s)
                    return s;
                written_ = before; // counted once below
                copied += static_cast<std::uint64_t>(n);
            }
        }
        done += copied;
        written_ += copied;
        if (afterWindow && !afterWindow(done))
            return fail("cancelled", 0);
    }
    return Success();
}

Status JoinOutputFile::commit() {
    if (fd_ < 0)
        return Failure(failed_ ? error_ : "the output is not open");
    if (fsync(fd_) != 0)
        return fail("cannot flush " + finalPath_, errno);
    if (fchmod(fd_, 0644) != 0)
        return fail("cannot set the permissions of " + finalPath_, errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0)
        return fail("cannot close " + finalPath_, errno);
    int error = 0;
    if (replace_) {
        if (std::rename(temporaryPath_.c_str(), finalPath_.c_str()) != 0)
            error = errno;
    } else {
        error = RenameNoReplace(temporaryPath_, finalPath_);
    }
    if (error != 0)
        return fail("cannot rename to " + finalPath_, error);
    temporaryPath_.clear();
    const int dir = ::open(FolderOf(finalPath_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        (void)fsync(dir); // some file systems refuse it; the rename is done by then
        ::close(dir);
    }
    return Success();
}

void JoinOutputFile::discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temporaryPath_.empty()) {
        ::unlink(temporaryPath_.c_str());
        temporaryPath_.clear();
    }
}

} // namespace kirvano
