// A joined output written as a stream: under a temporary name in the target folder,
// every write checked, media data copied from the sources in bounded windows (in the
// kernel where it can), flushed to the device and renamed only when complete. The
// temporary file is removed on every failure and when the object goes away uncommitted.
#pragma once

#include "base/Result.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kirvano {

// Media data is copied in windows of this size (the peak memory of a copy).
inline constexpr std::uint64_t kJoinCopyWindow = 8u << 20;

class JoinOutputFile {
public:
    JoinOutputFile() = default;
    JoinOutputFile(const JoinOutputFile&) = delete;
    JoinOutputFile& operator=(const JoinOutputFile&) = delete;
    ~JoinOutputFile() { discard(); }

    // replace: commit() may replace an existing file under finalPath; otherwise it fails.
    Status open(const std::string& finalPath, bool replace);
    Status write(const void* data, std::size_t size);
    Status write(std::string_view bytes) { return write(bytes.data(), bytes.size()); }
    // Copies length bytes at offset of the open file sourceFd; after each window the
    // callback gets the bytes copied so far and may return false to cancel.
    Status copyFrom(int sourceFd, std::uint64_t offset, std::uint64_t length,
                    const std::function<bool(std::uint64_t)>& afterWindow = {});
    Status commit();
    void discard();

    std::uint64_t written() const { return written_; }
    const std::string& finalPath() const { return finalPath_; }
    const std::string& temporaryPath() const { return temporaryPath_; }

    // Test hook: every write and copy fails with ENOSPC once this many bytes are out.
    void failAfterForTests(std::uint64_t bytes) { failAfter_ = bytes; }
    // Test hook: copy through the bounded buffer instead of in the kernel.
    void usePlainCopyForTests() { kernelCopy_ = false; }

private:
    Status fail(const std::string& what, int error);
    bool budget(std::uint64_t n);

    int fd_ = -1;
    bool replace_ = false;
    bool failed_ = false;
    bool kernelCopy_ = true;
    std::uint64_t written_ = 0;
    std::uint64_t failAfter_ = UINT64_MAX;
    std::string finalPath_;
    std::string temporaryPath_;
    std::string error_;
};

} // namespace kirvano
