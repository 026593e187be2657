#include "FrameBarcode.h"

#include "generator/BarcodeLayout.h"

#include <QImage>

namespace kirvano::testing {

std::optional<int> ReadFrameBarcode(const QImage& image) {
    if (image.isNull()) {
        return std::nullopt;
    }
    const auto frame = ReadBarcode(image.width(), image.height(),
                                   [&image](int x, int y) { return qGray(image.pixel(x, y)); });
    if (!frame) {
        return std::nullopt;
    }
    return static_cast<int>(*frame);
}

} // namespace kirvano::testing
