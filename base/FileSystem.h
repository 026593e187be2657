// The file-system helpers that guard against lost data: path pieces, a rename that never
// replaces an existing file, and flushing a folder after a rename.
#pragma once

#include <string>
#include <string_view>

namespace kirvano {

// The folder part of a path: "." for a bare name, "/" for a file in the root.
std::string FolderOf(std::string_view path);
// The part after the last slash (the whole path when there is none).
std::string_view FileNameOf(std::string_view path);

// Renames from to to unless to exists; 0 or the errno value. renameat2 where the file
// system has it, else a hard link (which fails on an existing name), else - on file
// systems without links, such as a card's FAT - a plain rename right after a check.
int RenameNoReplace(const std::string& from, const std::string& to);

// Flushes a folder's entries to the device; file systems that refuse it are let be.
void SyncFolder(const std::string& folder);

} // namespace kirvano
