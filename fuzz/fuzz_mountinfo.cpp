// The mount table parser on arbitrary text, and the CSV text encoder on arbitrary bytes.
#include "export/CsvExport.h"
#include "library/RemovableVolumes.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const kirvano::MountedVolume& volume : kirvano::ParseMountInfo(text)) {
        if (volume.mountPoint.size() > size)
            __builtin_trap();
    }
    std::size_t replaced = 0;
    const std::string encoded = kirvano::EncodeText(text, "SHIFT_JIS", replaced);
    if (replaced > size)
        __builtin_trap();
    kirvano::EncodeText(text, "UTF-8", replaced);
    return 0;
}
