// Reads the frame number that the card generator draws into every picture, from a decoded
// frame of any size (a JPEG snapshot, a scaled-down copy, a frame shown by an engine).
// Needs Qt Gui: link kirvano-media or kirvano-gui.
#pragma once

#include <optional>

class QImage;

namespace kirvano::testing {

// The frame number, or none when the picture carries no readable bar code.
std::optional<int> ReadFrameBarcode(const QImage& image);

} // namespace kirvano::testing
