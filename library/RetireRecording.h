// Retiring a recording: on a recorder card the files are hidden and moved to dummy
// names (the recorder reuses the slots); elsewhere they go to the trash.
#pragma once

#include <string_view>

namespace kirvano {

// True when the operation went through. Never deletes a file permanently.
bool RetireRecording(std::string_view path);

} // namespace kirvano
