#include "base/AtomicOutputFile.h"

#include "base/FileSystem.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <random>
#include <unistd.h>

namespace kirvano {
namespace {

std::string RandomSuffix() {
    static std::atomic<unsigned> counter{0};
    static const unsigned seed = std::random_device{}();
    std::minstd_rand gen(seed ^ (counter.fetch_add(1) * 2654435761u) ^
                         static_cast<unsigned>(getpid()));
    static constexpr char kDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string s(8, 'x');
    for (char& c : s)
        c = kDigits[gen() % (sizeof(kDigits) - 1)];
    return s;
}

bool NoKernelCopy(int error) {
    return error == EXDEV || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP ||
           error == EBADF || error == EPERM;
}

} // namespace

Status AtomicOutputFile::fail(const std::string& what, int error) {
    error_ = what + (error != 0 ? std::string(": ") + std::strerror(error) : std::string());
    discard();
    return Failure(error_);
}

Status AtomicOutputFile::notOpen() const {
    return Failure(error_.empty() ? "the file is not open" : error_);
}

bool AtomicOutputFile::budget(std::uint64_t n) const {
    return failAfter_ == UINT64_MAX || written_ + n <= failAfter_;
}

Status AtomicOutputFile::open(const std::string& finalPath, ExistingFile existing) {
    discard();
    error_.clear();
    written_ = 0;
    if (finalPath.empty() || finalPath.back() == '/') {
        error_ = "no file name";
        return Failure(error_);
    }
    finalPath_ = finalPath;
    existing_ = existing;
    const std::string folder = FolderOf(finalPath);
    const std::string base(FileNameOf(finalPath));
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = folder + "/." + base + "." + RandomSuffix() + ".tmp";
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            fd_ = fd;
            temporaryPath_ = std::move(candidate);
            return Success();
        }
        if (errno != EEXIST)
            return fail("cannot create a file in " + folder, errno);
    }
    return fail("cannot find a free temporary name in " + folder, 0);
}

Status AtomicOutputFile::write(std::string_view bytes) {
    if (fd_ < 0)
        return notOpen();
    if (!budget(bytes.size()))
        return fail("cannot write " + finalPath_, ENOSPC);
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail("cannot write " + finalPath_, n < 0 ? errno : ENOSPC);
        bytes.remove_prefix(static_cast<std::size_t>(n));
        written_ += static_cast<std::uint64_t>(n);
    }
    return Success();
}

Status AtomicOutputFile::copyFrom(int sourceFd, std::uint64_t offset, std::uint64_t length,
                                  const std::function<bool(std::uint64_t)>& afterWindow) {
    if (fd_ < 0)
        return notOpen();
    bool inKernel = kernelCopy_;
    std::unique_ptr<char[]> buffer;
    std::uint64_t done = 0;
    while (done < length) {
        const std::uint64_t window = std::min<std::uint64_t>(kCopyWindow, length - done);
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
                if (n < 0 && copied == 0 && NoKernelCopy(errno)) {
                    inKernel = false; // the plain copy below takes over
                    break;
                }
                if (n < 0)
                    return fail("cannot write " + finalPath_, errno);
                if (n == 0)
                    return fail("the source ends before the range to copy", 0);
                copied += static_cast<std::uint64_t>(n);
                written_ += static_cast<std::uint64_t>(n);
            }
        }
        if (!inKernel) {
            if (!buffer)
                buffer = std::make_unique<char[]>(kCopyWindow);
            while (copied < window) {
                const ssize_t n =
                    ::pread(sourceFd, buffer.get(), static_cast<std::size_t>(window - copied),
                            static_cast<off_t>(offset + done + copied));
                if (n < 0 && errno == EINTR)
                    continue;
                if (n < 0)
                    return fail("cannot read the source", errno);
                if (n == 0)
                    return fail("the source ends before the range to copy", 0);
                if (Status s = write(buffer.get(), static_cast<std::size_t>(n)); !s)
                    return s;
                copied += static_cast<std::uint64_t>(n);
            }
        }
        done += copied;
        if (afterWindow && !afterWindow(done))
            return fail("cancelled", 0);
    }
    return Success();
}

Status AtomicOutputFile::commit() {
    if (fd_ < 0)
        return notOpen();
    if (::fsync(fd_) != 0)
        return fail("cannot flush " + finalPath_, errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0)
        return fail("cannot close " + finalPath_, errno);
    int error = 0;
    if (existing_ == ExistingFile::Keep)
        error = RenameNoReplace(temporaryPath_, finalPath_);
    else if (std::rename(temporaryPath_.c_str(), finalPath_.c_str()) != 0)
        error = errno;
    if (error != 0)
        return fail("cannot rename to " + finalPath_, error);
    temporaryPath_.clear();
    SyncFolder(FolderOf(finalPath_));
    return Success();
}

void AtomicOutputFile::discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temporaryPath_.empty()) {
        ::unlink(temporaryPath_.c_str());
        temporaryPath_.clear();
    }
}

Status WriteFileAtomically(const std::string& path, std::string_view bytes) {
    AtomicOutputFile out;
    if (Status s = out.open(path); !s)
        return s;
    if (Status s = out.write(bytes); !s)
        return s;
    return out.commit();
}

} // namespace kirvano
