// The pixels under a one-pixel vertical line on a picture, kept so that the line can be
// taken away again without drawing the picture anew.
#pragma once

#include <QImage>

#include <vector>

namespace kirvano {

class CursorStrip {
public:
    // Keeps the device columns a cosmetic line at logical column `x` can touch (32-bit
    // pictures only).
    void Save(const QImage& picture, int x);
    // Puts them back; nothing when the picture's size changed since.
    void Restore(QImage& picture) const;

private:
    int left_ = 0;
    int width_ = 0;
    int height_ = 0;
    std::vector<QRgb> pixels_;
};

} // namespace kirvano
