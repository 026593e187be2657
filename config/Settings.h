// The configuration file "Default_Folder.ini": every setting is read and written key by
// key at the moment of use; there is no settings object.
#pragma once

#include <string>
#include <string_view>

namespace kirvano {

// The configuration directory: $KIRVANO_CONFIG_DIR, else $XDG_CONFIG_HOME/kirvano, else
// ~/.config/kirvano. Resolved once and created on first use.
std::string ConfigDirectory();
// The path of "Default_Folder.ini" in the configuration directory.
std::string ConfigFilePath();
// Forgets the resolved configuration directory, so that the next call resolves the
// environment again (tests point it at temporary folders).
void ResetConfigDirectoryForTests();

// The value of key in section; empty when the file, the section or the key is missing.
std::string ReadSetting(std::string_view section, std::string_view key);
// Writes key=value into section, replacing the whole file safely, then marks the file
// hidden where the file system has such an attribute. False when the write failed; the
// previous file is then intact.
bool WriteSetting(std::string_view section, std::string_view key, std::string_view value);

// When the configuration file does not exist: DISPLAY/INFOCHECK "31", DISPLAY/ASPECT "on",
// DISPLAY/VOLUME "65535", in that order. Returns whether the file exists afterwards.
bool WriteDefaultSettings();

// The stored volume: 65535 when the value is empty, else its leading decimal digits.
int ReadVolumeSetting();

// Moves path to the freedesktop.org Trash. False for an empty path or where no trash can
// take the file; never deletes permanently.
bool MoveToRecycleBin(std::string_view path);

} // namespace kirvano
