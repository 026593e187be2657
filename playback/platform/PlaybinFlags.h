// The bits of playbin's "flags" property the engines use.
#pragma once

#include <glib.h>

namespace kirvano {

inline constexpr guint kPlayFlagAudio = 0x2;
inline constexpr guint kPlayFlagText = 0x4;
inline constexpr guint kPlayFlagForceSwDecoders = 0x1000;

} // namespace kirvano
