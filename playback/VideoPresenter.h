// The video output of one engine as its video window sees it: whether a picture has
// arrived, the picture itself (snapshots) and the painting of the window. A pipeline
// hands its presenter out through MediaPipeline::Presenter; the window never needs to
// know which pipeline it is.
#pragma once

#include <QImage>

class QPainter;
class QRect;

namespace kirvano {

class VideoPresenter {
public:
    virtual ~VideoPresenter() = default;
    virtual bool HasPicture() const = 0;
    // The picture on screen at its native size; null when there is none.
    virtual QImage CurrentImage() const = 0;
    // Paints the whole client area: the picture in the engine's destination rectangle,
    // black around it, the text overlay on top.
    virtual void Paint(QPainter& painter, const QRect& client) const = 0;
};

} // namespace kirvano
