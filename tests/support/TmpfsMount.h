// A small tmpfs mounted for a test (needs root); the test skips when mounting fails.
#pragma once

#include "support/TempDir.h"

#include <sys/mount.h>

namespace kirvano::testing {

class TmpfsMount {
public:
    TmpfsMount() { mounted_ = mount("tmpfs", dir_.path().c_str(), "tmpfs", 0, "size=16k") == 0; }
    ~TmpfsMount() {
        if (mounted_) {
            umount2(dir_.path().c_str(), MNT_DETACH);
        }
    }
    bool mounted() const { return mounted_; }
    const std::string& path() const { return dir_.path(); }
    bool remountReadOnly() {
        return mount("tmpfs", dir_.path().c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=16k") ==
               0;
    }
    // Fills the file system with a filler file until no byte is left.
    void fill() {
        std::ofstream out(dir_.path() + "/filler", std::ios::binary);
        std::string block(1024, 'f');
        for (int i = 0; i < 64 && out; ++i) {
            out.write(block.data(), static_cast<std::streamsize>(block.size()));
            out.flush();
        }
    }

private:
    TempDir dir_;
    bool mounted_ = false;
};

} // namespace kirvano::testing
