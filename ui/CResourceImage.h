// The skin's images: every image role by its resource number, rendered once per pixel ratio
// from the SVG artwork compiled into the program, and the cursor of the skinned controls.
#pragma once

#include <QCursor>
#include <QImage>
#include <QPainter>
#include <QRectF>

#include <map>
#include <span>
#include <utility>

namespace kirvano {

// Resource numbers of the skin images.
namespace skin {
inline constexpr int kToStart = 154;
inline constexpr int kPrevious = 144;
inline constexpr int kPlay = 148;
inline constexpr int kPause = 147;
inline constexpr int kSlower = 142;
inline constexpr int kFaster = 139;
inline constexpr int kNext = 145;
inline constexpr int kSnapshot = 153;
inline constexpr int kJoin = 150;
inline constexpr int kZoom = 200;
inline constexpr int kOpen = 146;
inline constexpr int kDelete = 138;
inline constexpr int kSettings = 151;
inline constexpr int kCsv = 137;
inline constexpr int kSwapCameras = 356;
inline constexpr int kMapSwitch = 359;
inline constexpr int kCaptionClose = 155;
inline constexpr int kCaptionLayout = 157;
inline constexpr int kCaptionMinimise = 156;
inline constexpr int kSeekFilled = 174;
inline constexpr int kSeekEmpty = 159;
inline constexpr int kSeekThumb = 160;
inline constexpr int kSeekThumbPressed = 161;
inline constexpr int kVolumeFilled = 167;
inline constexpr int kVolumeEmpty = 168;
inline constexpr int kVolumeThumb = 169;
inline constexpr int kVolumeThumbPressed = 170;
inline constexpr int kCheckBox = 217;
inline constexpr int kWindowIcon = 128;
// Roles without a number of their own.
inline constexpr int kFrameClose = 1001;
inline constexpr int kCursor = 1002;
} // namespace skin

// One image role: its artwork file and the size of one of its images in logical pixels.
struct SkinImageInfo {
    int id;
    const char* file; // resource path
    int width;        // of one image
    int height;
    int images; // 4 for a strip, 1 for a single image
};

// Every image role.
std::span<const SkinImageInfo> SkinImageTable();
// The role with this resource number, or nullptr.
const SkinImageInfo* FindSkinImage(int id);

// Registers the artwork compiled into kirvano-gui; programs and tests call it once before
// the first control paints.
void InitSkinResources();

// The effective device pixel ratio a painter draws at (device ratio times its scaling).
qreal PaintRatio(const QPainter& painter);

// The cache of skin images, loaded once; images of another pixel ratio are rendered on first
// use. Used from the UI thread only.
class CResourceImage {
public:
    // Renders every role at this pixel ratio; false when an artwork file is missing.
    bool Load(qreal ratio = 1.0);
    // The whole strip (or single image) at a pixel ratio; a null image for an unknown id.
    const QImage& Image(int id, qreal ratio);
    // Draws image `index` of the strip into target (logical coordinates), stretched.
    void Draw(QPainter& painter, int id, int index, const QRectF& target);
    // Image `index` of the strip alone, at a pixel ratio.
    QImage Frame(int id, int index, qreal ratio);

private:
    std::map<std::pair<int, int>, QImage> images_; // (id, ratio in quarters)
};

// The process-wide cache used by the controls.
CResourceImage& SkinImages();

// The cursor of the sliders and the video windows (a pointing hand).
QCursor SkinCursor();

} // namespace kirvano
