// Looking into the map page from a test: scripts with their results, the view's pixel of a
// position, and colour tests on a grab of the view.
#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <cmath>
#include <cstdlib>
#include <functional>

namespace kirvano::testing {

inline bool WaitFor(const std::function<bool()>& condition, int ms = 8000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > ms)
            return false;
        QTest::qWait(20);
    }
    return true;
}

// Runs script in the page and waits for its result.
inline QVariant Js(QWebEngineView* view, const QString& script) {
    QVariant result;
    bool done = false;
    view->page()->runJavaScript(script, [&](const QVariant& v) {
        result = v;
        done = true;
    });
    WaitFor([&] { return done; }, 5000);
    return result;
}

// The view's pixel (not CSS pixel) where the page's map shows a position.
inline QPoint PixelOf(QWebEngineView* view, double lat, double lng) {
    const QVariantList p = Js(view, QString("var p = g_map.latLngToContainerPoint([%1, %2]); "
                                            "[p.x, p.y]")
                                        .arg(lat, 0, 'f', 7)
                                        .arg(lng, 0, 'f', 7))
                               .toList();
    const double zoom = view->zoomFactor();
    return QPoint(int(std::lround(p.value(0).toDouble() * zoom)),
                  int(std::lround(p.value(1).toDouble() * zoom)));
}

// Where to click an event marker's pin standing on a position.
inline QPoint PinOf(QWebEngineView* view, double lat, double lng) {
    return PixelOf(view, lat, lng) - QPoint(0, int(16 * view->zoomFactor()));
}

inline QImage Grab(QWidget* widget) {
    return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

inline bool IsColour(QRgb pixel, QRgb want, int tolerance = 24) {
    return std::abs(qRed(pixel) - qRed(want)) <= tolerance &&
           std::abs(qGreen(pixel) - qGreen(want)) <= tolerance &&
           std::abs(qBlue(pixel) - qBlue(want)) <= tolerance;
}

// Blue of the track behind the position, red of the track ahead, as a grab shows them.
inline bool Bluish(QRgb p) {
    return qBlue(p) > 150 && qRed(p) < 110 && qGreen(p) < 110;
}
inline bool Reddish(QRgb p) {
    return qRed(p) > 180 && qGreen(p) < 120 && qBlue(p) < 120;
}

// Any pixel in a small square around point that passes test.
inline bool Near(const QImage& image, QPoint point, const std::function<bool(QRgb)>& test,
                 int r = 2) {
    for (int dy = -r; dy <= r; ++dy)
        for (int dx = -r; dx <= r; ++dx) {
            const QPoint p = point + QPoint(dx, dy);
            if (image.rect().contains(p) && test(image.pixel(p)))
                return true;
        }
    return false;
}

} // namespace kirvano::testing
