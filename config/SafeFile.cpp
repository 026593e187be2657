#include "config/SafeFile.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace kirvano {
namespace {

std::string ErrnoText(int error) {
    return std::strerror(error);
}

std::string FolderOf(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    if (slash == 0) {
        return "/";
    }
    return path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string RandomSuffix() {
    static std::atomic<unsigned> counter{0};
    static const unsigned seed = std::random_device{}();
    std::minstd_rand gen(seed ^ (counter.fetch_add(1) * 2654435761u) ^
                         static_cast<unsigned>(getpid()));
    static constexpr char kDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string s(8, 'x');
    for (char& c : s) {
        c = kDigits[gen() % (sizeof(kDigits) - 1)];
    }
    return s;
}

// Renames without replacing an existing file: renameat2 where the file system has it,
// else a hard link (which fails on an existing name), else a checked plain rename.
int RenameNoReplace(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
        return errno;
    }
    if (link(from.c_str(), to.c_str()) == 0) {
        unlink(from.c_str());
        return 0;
    }
    if (errno == EEXIST) {
        return EEXIST;
    }
    struct stat st;
    if (lstat(to.c_str(), &st) == 0) {
        return EEXIST;
    }
    return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

void SyncFolder(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        // Some file systems refuse fsync on folders; the rename itself is done by then.
        (void)fsync(fd);
        ::close(fd);
    }
}

} // namespace

AtomicOutputFile::~AtomicOutputFile() {
    discard();
}

Status AtomicOutputFile::fail(std::string message) {
    error_ = message;
    discard();
    return Failure(std::move(message));
}

Status AtomicOutputFile::open(const std::string& finalPath, ExistingFile existing) {
    discard();
    error_.clear();
    if (finalPath.empty() || finalPath.back() == '/') {
        error_ = "no file name";
        return Failure(error_);
    }
    finalPath_ = finalPath;
    existing_ = existing;
    const std::string folder = FolderOf(finalPath);
    const std::string base = BaseOf(finalPath);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = folder + "/." + base + "." + RandomSuffix() + ".tmp";
        int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            fd_ = fd;
            temporaryPath_ = std::move(candidate);
            return Success();
        }
        if (errno != EEXIST) {
            error_ = "cannot create a file in " + folder + ": " + ErrnoText(errno);
            return Failure(error_);
        }
    }
    error_ = "cannot find a free temporary name in " + folder;
    return Failure(error_);
}

Status AtomicOutputFile::write(std::string_view bytes) {
    if (fd_ < 0) {
        return Failure(error_.empty() ? "the file is not open" : error_);
    }
    while (!bytes.empty()) {
        ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return fail("cannot write " + temporaryPath_ + ": " + ErrnoText(errno));
        }
        if (n == 0) {
            return fail("cannot write " + temporaryPath_ + ": " + ErrnoText(ENOSPC));
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return Success();
}

Status AtomicOutputFile::commit() {
    if (fd_ < 0) {
        return Failure(error_.empty() ? "the file is not open" : error_);
    }
    if (fsync(fd_) != 0) {
        return fail("cannot flush " + temporaryPath_ + ": " + ErrnoText(errno));
    }
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
        return fail("cannot close " + temporaryPath_ + ": " + ErrnoText(errno));
    }
    int error = 0;
    if (existing_ == ExistingFile::Keep) {
        error = RenameNoReplace(temporaryPath_, finalPath_);
    } else if (std::rename(temporaryPath_.c_str(), finalPath_.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        return fail("cannot rename to " + finalPath_ + ": " + ErrnoText(error));
    }
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
    if (Status s = out.open(path); !s) {
        return s;
    }
    if (Status s = out.write(bytes); !s) {
        return s;
    }
    return out.commit();
}

} // namespace kirvano
