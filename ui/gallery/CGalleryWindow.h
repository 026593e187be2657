// A window that shows every skinned control in every state, for work on the look.
#pragma once

#include <QWidget>

namespace kirvano {

class CGalleryWindow : public QWidget {
    Q_OBJECT
public:
    explicit CGalleryWindow(QWidget* parent = nullptr);

    // The window drawn into an image at a pixel ratio.
    QImage Render(qreal ratio);
};

} // namespace kirvano
