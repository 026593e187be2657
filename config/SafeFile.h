// Writing a file so that it is either complete under its final name or not changed at
// all: the bytes go to a temporary file in the same folder, every write is checked, the
// file is flushed to the device and only then renamed over the final name.
#pragma once

#include "base/Result.h"

#include <string>
#include <string_view>

namespace kirvano {

enum class ExistingFile { Replace, Keep };

class AtomicOutputFile {
public:
    AtomicOutputFile() = default;
    AtomicOutputFile(const AtomicOutputFile&) = delete;
    AtomicOutputFile& operator=(const AtomicOutputFile&) = delete;
    // Removes the temporary file unless commit() succeeded.
    ~AtomicOutputFile();

    // Creates a uniquely named temporary file next to finalPath. With ExistingFile::Keep,
    // commit() fails rather than replace a file that exists under finalPath by then.
    Status open(const std::string& finalPath, ExistingFile existing = ExistingFile::Replace);
    // Writes all bytes (retrying short writes). After a failure every later call fails.
    Status write(std::string_view bytes);
    // Flushes and closes the temporary file, renames it to the final name and flushes
    // the folder. After a failure the temporary file is removed and the final name is
    // as before.
    Status commit();
    // Closes and removes the temporary file; the final name is not touched.
    void discard();

    bool isOpen() const { return fd_ >= 0; }
    const std::string& temporaryPath() const { return temporaryPath_; }
    const std::string& finalPath() const { return finalPath_; }

private:
    Status fail(std::string message);

    int fd_ = -1;
    ExistingFile existing_ = ExistingFile::Replace;
    std::string finalPath_;
    std::string temporaryPath_;
    std::string error_;
};

// Replaces (or creates) path with bytes through an AtomicOutputFile.
Status WriteFileAtomically(const std::string& path, std::string_view bytes);

} // namespace kirvano
