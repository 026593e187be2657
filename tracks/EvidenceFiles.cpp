#include "tracks/EvidenceFiles.h"

#include "tracks/Sha256.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace kirvano {
namespace {

constexpr std::size_t kChunk = 1 << 20;

std::string Reason(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Reads the whole file, handing every piece to sink; the byte count, or an error.
template <class Sink> Result<std::int64_t> ReadAll(int fd, Sink&& sink) {
    std::vector<char> buffer(kChunk);
    std::int64_t total = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return Failure(Reason("cannot read"));
        if (n == 0)
            return total;
        if (!sink(buffer.data(), static_cast<std::size_t>(n)))
            return Failure(Reason("cannot write the copy"));
        total += n;
    }
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

bool PlainName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("/\\\n\r") == std::string_view::npos &&
           name.find('\0') == std::string_view::npos;
}

std::string NameOf(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

} // namespace

Result<FileDigest> CopyWithDigest(const std::string& source, const std::string& target) {
    Descriptor in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat before {};
    if (in.get() < 0 || ::fstat(in.get(), &before) != 0)
        return Failure(Reason("cannot open"));
    if (!S_ISREG(before.st_mode))
        return Failure("not a regular file");
    Descriptor out(::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (out.get() < 0)
        return Failure(Reason("cannot create " + target));
    Sha256 hash;
    auto copied = ReadAll(in.get(), [&](const char* data, std::size_t size) {
        hash.update(data, size);
        return WriteAll(out.get(), data, size);
    });
    std::string problem;
    struct stat after {};
    if (!copied)
        problem = copied.error();
    else if (::fsync(out.get()) != 0 || ::close(out.release()) != 0)
        problem = Reason("cannot write the copy");
    else if (::stat(source.c_str(), &after) != 0)
        problem = "vanished during the copy";
    else if (!SameFile(before, after) || copied.value() != before.st_size)
        problem = "changed during the copy";
    if (!problem.empty()) {
        ::unlink(target.c_str());
        return Failure(problem);
    }
    return FileDigest{NameOf(target), copied.value(), hash.finishHex()};
}

Result<FileDigest> DigestOf(const std::string& path) {
    Descriptor in(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (in.get() < 0 || ::fstat(in.get(), &info) != 0)
        return Failure(Reason("cannot open"));
    if (!S_ISREG(info.st_mode))
        return Failure("not a regular file");
    Sha256 hash;
    auto read = ReadAll(in.get(), [&](const char* data, std::size_t size) {
        hash.update(data, size);
        return true;
    });
    if (!read)
        return Failure(read.error());
    return FileDigest{NameOf(path), read.value(), hash.finishHex()};
}

std::string ChecksumList(const std::vector<FileDigest>& files) {
    std::string text;
    for (const FileDigest& f : files)
        text += f.sha256 + "  " + f.name + "\n";
    return text;
}

PackageCheck CheckPackage(const std::string& folder) {
    PackageCheck check;
    const std::string listPath = folder + "/" + std::string(kChecksumListName);
    std::FILE* list = std::fopen(listPath.c_str(), "rb");
    if (!list) {
        check.missing.emplace_back(kChecksumListName);
        return check;
    }
    std::string text;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, list)) > 0 && text.size() < (64u << 20))
        text.append(buffer, n);
    std::fclose(list);

    std::set<std::string> listed{std::string(kChecksumListName)};
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        // "<64 hex>  <name>" (a "*" instead of the second space marks binary mode).
        const bool shaped =
            line.size() > 66 && line[64] == ' ' && (line[65] == ' ' || line[65] == '*') &&
            std::all_of(line.begin(), line.begin() + 64,
                        [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
        const std::string name = shaped ? line.substr(66) : std::string();
        if (!shaped || !PlainName(name) || !listed.insert(name).second) {
            check.malformed.push_back(line);
            continue;
        }
        std::string expected = line.substr(0, 64);
        std::transform(expected.begin(), expected.end(), expected.begin(),
                       [](char c) { return static_cast<char>(std::tolower(c)); });
        ++check.checked;
        const auto digest = DigestOf(folder + "/" + name);
        if (!digest)
            check.missing.push_back(name);
        else if (digest.value().sha256 != expected)
            check.changed.push_back(name);
    }

    if (DIR* dir = ::opendir(folder.c_str())) {
        std::vector<std::string> present;
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != ".." && !listed.count(name))
                present.push_back(name);
        }
        ::closedir(dir);
        std::sort(present.begin(), present.end());
        check.unlisted = std::move(present);
    }
    return check;
}

Result<std::string> CreateStagingFolder(const std::string& finalPath) {
    const std::filesystem::path target(finalPath);
    std::string pattern =
        (target.parent_path() / ("." + target.filename().string() + ".part-XXXXXX")).string();
    if (!::mkdtemp(pattern.data()))
        return Failure(Reason("cannot create a folder next to it"));
    // mkdtemp makes it private; the package gets the modes any new folder would.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::chmod(pattern.c_str(), 0777 & ~mask);
    return pattern;
}

Status PublishFolder(const std::string& staging, const std::string& finalPath) {
    if (::renameat2(AT_FDCWD, staging.c_str(), AT_FDCWD, finalPath.c_str(), RENAME_NOREPLACE) == 0)
        return Success();
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return Failure(Reason("cannot rename the finished package"));
    // A file system without the no-replace rename: a plain rename would replace an empty
    // folder, so look first.
    struct stat info {};
    if (::lstat(finalPath.c_str(), &info) == 0)
        return Failure("exists");
    if (std::rename(staging.c_str(), finalPath.c_str()) != 0)
        return Failure(Reason("cannot rename the finished package"));
    return Success();
}

void RemoveStagingFolder(const std::string& staging) {
    std::error_code ignored;
    std::filesystem::remove_all(staging, ignored);
}

} // namespace kirvano
