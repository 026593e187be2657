// Every recording-name function on arbitrary text: none may crash or read out of range.
#include "library/RecordingName.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kirvano;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const bool recording = IsRecordingName(text);
    const bool front = IsFrontRecordingName(text);
    if (front && !recording)
        __builtin_trap();
    (void)EventTypeOf(text);
    (void)EventTypeMaskOf(text);
    (void)TypeLetterOf(text);
    (void)Token(text, '-', size / 2);
    (void)Mid(text, size / 3, 7);
    (void)RecordingTimeOf(text);
    (void)DisplayNameOf(text);
    (void)SnapshotBaseOf(text);
    const std::string rear = RearPathOf(text);
    if (rear.size() != text.size())
        __builtin_trap();
    (void)DataPathOf(text);
    return 0;
}
