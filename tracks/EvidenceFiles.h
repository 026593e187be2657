// The file work of an evidence package: copies that hash what they write and notice a
// source that vanishes or changes meanwhile, the package's checksum list (the format
// `sha256sum -c` reads), its check, and a staging folder published under the final name
// only when complete.
#pragma once

#include "base/Result.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kirvano {

inline constexpr std::string_view kChecksumListName = "SHA256SUMS";

struct FileDigest {
    std::string name; // the file's name inside the package
    std::int64_t size = 0;
    std::string sha256; // 64 lower-case hex digits
};

// Copies source to target (which must not exist), hashing the bytes written, and flushes
// the copy to the device. Fails, removing the partial copy, when the source cannot be read
// to its end or no longer is the same unchanged file under its path afterwards.
Result<FileDigest> CopyWithDigest(const std::string& source, const std::string& target);
// The digest of a file as it is now.
Result<FileDigest> DigestOf(const std::string& path);

// "<hex>  <name>\n" per file.
std::string ChecksumList(const std::vector<FileDigest>& files);

struct PackageCheck {
    std::size_t checked = 0;
    std::vector<std::string> changed;   // listed, present, another digest
    std::vector<std::string> missing;   // listed, not a readable file (or the list itself)
    std::vector<std::string> unlisted;  // present in the folder, not in the list
    std::vector<std::string> malformed; // lines of the list that name no plain file
    bool ok() const {
        return changed.empty() && missing.empty() && unlisted.empty() && malformed.empty();
    }
};

// Re-hashes every file the folder's checksum list names and looks for files it does not.
PackageCheck CheckPackage(const std::string& folder);

// A new empty folder next to finalPath (".NAME.part-XXXXXX").
Result<std::string> CreateStagingFolder(const std::string& finalPath);
// Renames the staging folder to finalPath unless something exists there by now.
Status PublishFolder(const std::string& staging, const std::string& finalPath);
// Removes the staging folder and its files (no sub-folders are made in it).
void RemoveStagingFolder(const std::string& staging);

} // namespace kirvano
