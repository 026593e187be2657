// Feeds arbitrary bytes to the configuration text reader and writer: neither may crash,
// and a value written must read back while the other lines stay as they were.
#include "config/IniText.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    (void)kirvano::IniValue(text, "DISPLAY", "VOLUME");
    const std::string value = size > 0 ? text.substr(0, size % 64) : std::string();
    auto updated = kirvano::IniWithValue(text, "SOURCE", "FOLDER", value);
    if (!updated) {
        return 0;
    }
    // The reader drops blanks around a value.
    const std::size_t first = value.find_first_not_of(" \t\v\f");
    const std::size_t last = value.find_last_not_of(" \t\v\f");
    const std::string trimmed =
        first == std::string::npos ? std::string() : value.substr(first, last - first + 1);
    if (kirvano::IniValue(*updated, "SOURCE", "FOLDER") != trimmed ||
        kirvano::IniValue(*updated, "DISPLAY", "VOLUME") !=
            kirvano::IniValue(text, "DISPLAY", "VOLUME")) {
        std::abort();
    }
    return 0;
}
