// Writing a file so that it is either complete under its final name or not changed at
// all: the bytes go to a temporary file in the same folder, every write is checked, byte
// ranges of other files are copied in bounded windows (in the kernel where it can), the
// file is flushed to the device and only then renamed to the final name. The temporary
// file is removed on every failure and when the object goes away uncommitted.
#pragma once

#include "base/Result.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kirvano {

enum class ExistingFile { Replace, Keep };

// Byte ranges are copied in windows of this size (the peak memory of a copy).
inline constexpr std::uint64_t kCopyWindow = 8u << 20;

class AtomicOutputFile {
public:
    AtomicOutputFile() = default;
    AtomicOutputFile(const AtomicOutputFile&) = delete;
    AtomicOutputFile& operator=(const AtomicOutputFile&) = delete;
    ~AtomicOutputFile() { discard(); }

    // Creates a uniquely named temporary file next to finalPath. With ExistingFile::Keep,
    // commit() fails rather than replace a file that exists under finalPath by then.
    Status open(const std::string& finalPath, ExistingFile existing = ExistingFile::Replace);
    // Writes all bytes (retrying short writes). After a failure every later call fails.
    Status write(std::string_view bytes);
    Status write(const void* data, std::size_t size) {
        return write(std::string_view(static_cast<const char*>(data), size));
    }
    // Copies length bytes at offset of the open file sourceFd; after each window the
    // callback gets the bytes copied so far and may return false to cancel.
    Status copyFrom(int sourceFd, std::uint64_t offset, std::uint64_t length,
                    const std::function<bool(std::uint64_t)>& afterWindow = {});
    // Flushes and closes the temporary file, renames it to the final name and flushes
    // the folder. After a failure the temporary file is removed and the final name is
    // as before.
    Status commit();
    // Closes and removes the temporary file; the final name is not touched.
    void discard();

    bool isOpen() const { return fd_ >= 0; }
    std::uint64_t written() const { return written_; }
    const std::string& temporaryPath() const { return temporaryPath_; }
    const std::string& finalPath() const { return finalPath_; }

    // Test hook: every write and copy fails with ENOSPC once this many bytes are out.
    void failAfterForTests(std::uint64_t bytes) { failAfter_ = bytes; }
    // Test hook: copy through the bounded buffer instead of in the kernel.
    void usePlainCopyForTests() { kernelCopy_ = false; }

private:
    Status fail(const std::string& what, int error);
    Status notOpen() const;
    bool budget(std::uint64_t n) const;

    int fd_ = -1;
    ExistingFile existing_ = ExistingFile::Replace;
    bool kernelCopy_ = true;
    std::uint64_t written_ = 0;
    std::uint64_t failAfter_ = UINT64_MAX;
    std::string finalPath_;
    std::string temporaryPath_;
    std::string error_;
};

// Replaces (or creates) path with bytes through an AtomicOutputFile.
Status WriteFileAtomically(const std::string& path, std::string_view bytes);

} // namespace kirvano
