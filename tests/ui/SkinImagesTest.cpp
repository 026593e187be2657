#include "ui/CResourceImage.h"
#include "ui/SharedFonts.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <gtest/gtest.h>

#include <set>

namespace kirvano {
namespace {

class SkinImagesTest : public ::testing::Test {
protected:
    void SetUp() override { InitSkinResources(); }
};

// Roles the main window and the dialogs draw, with the size of one image.
TEST_F(SkinImagesTest, EveryRoleExistsWithItsSize) {
    const struct {
        int id;
        int width;
        int height;
        int images;
    } roles[] = {
        {154, 32, 32, 4},           {144, 32, 32, 4}, {148, 32, 32, 4},
        {147, 32, 32, 4},           {142, 32, 32, 4}, {139, 32, 32, 4},
        {145, 32, 32, 4},           {153, 32, 32, 4}, {150, 32, 32, 4},
        {200, 32, 32, 4},           {146, 32, 32, 4}, {138, 32, 32, 4},
        {151, 32, 32, 4},           {137, 32, 32, 4}, {356, 32, 32, 4},
        {359, 32, 32, 4},           {155, 46, 18, 4}, {157, 26, 18, 4},
        {156, 26, 18, 4},           {217, 12, 12, 4}, {174, 16, 10, 1},
        {159, 16, 10, 1},           {160, 10, 10, 1}, {161, 10, 10, 1},
        {167, 16, 10, 1},           {168, 16, 10, 1}, {169, 10, 10, 1},
        {170, 10, 10, 1},           {128, 32, 32, 1}, {skin::kFrameClose, 20, 20, 4},
        {skin::kCursor, 32, 32, 1},
    };
    EXPECT_EQ(SkinImageTable().size(), std::size(roles));
    CResourceImage cache;
    EXPECT_TRUE(cache.Load(1.0));
    for (const auto& role : roles) {
        SCOPED_TRACE(role.id);
        const SkinImageInfo* info = FindSkinImage(role.id);
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(info->width, role.width);
        EXPECT_EQ(info->height, role.height);
        EXPECT_EQ(info->images, role.images);
        for (qreal ratio : {1.0, 1.5, 2.0, 3.0}) {
            const QImage& image = cache.Image(role.id, ratio);
            ASSERT_FALSE(image.isNull());
            EXPECT_EQ(image.width(), qRound(role.width * role.images * ratio));
            EXPECT_EQ(image.height(), qRound(role.height * ratio));
            EXPECT_DOUBLE_EQ(image.devicePixelRatio(), ratio);
        }
    }
    EXPECT_EQ(FindSkinImage(999), nullptr);
    EXPECT_TRUE(cache.Image(999, 1.0).isNull());
}

TEST_F(SkinImagesTest, TheFourImagesOfEveryStripDifferAndNoneIsEmpty) {
    for (const SkinImageInfo& info : SkinImageTable()) {
        SCOPED_TRACE(info.file);
        std::set<qint64> seen;
        for (int i = 0; i < info.images; ++i) {
            const QImage frame = SkinImages().Frame(info.id, i, 1.0);
            ASSERT_FALSE(frame.isNull());
            int opaque = 0;
            for (int y = 0; y < frame.height(); ++y) {
                for (int x = 0; x < frame.width(); ++x) {
                    opaque += qAlpha(frame.pixel(x, y)) > 0 ? 1 : 0;
                }
            }
            EXPECT_GT(opaque, frame.width() * frame.height() / 10) << "image " << i;
            seen.insert(frame.cacheKey() == 0 ? 0
                                              : qHashBits(frame.constBits(), frame.sizeInBytes()));
        }
        EXPECT_EQ(seen.size(), static_cast<std::size_t>(info.images));
    }
    EXPECT_TRUE(SkinImages().Frame(skin::kPlay, 4, 1.0).isNull());
    EXPECT_TRUE(SkinImages().Frame(skin::kPlay, -1, 1.0).isNull());
}

TEST_F(SkinImagesTest, ToolGlyphsAreAllDifferent) {
    const int tools[] = {154, 144, 148, 147, 142, 139, 145, 153,
                         150, 200, 146, 138, 151, 137, 356, 359};
    std::set<size_t> seen;
    for (int id : tools) {
        const QImage frame = SkinImages().Frame(id, 0, 1.0);
        seen.insert(qHashBits(frame.constBits(), frame.sizeInBytes()));
    }
    EXPECT_EQ(seen.size(), std::size(tools));
}

TEST_F(SkinImagesTest, HighRatioImagesAreRenderedNotScaled) {
    // A 2x image rendered from the vector artwork has detail a scaled 1x image lacks.
    const QImage one = SkinImages().Frame(skin::kSettings, 0, 1.0);
    const QImage two = SkinImages().Frame(skin::kSettings, 0, 2.0);
    ASSERT_EQ(two.width(), 2 * one.width());
    const QImage scaled = one.scaled(two.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation)
                              .convertToFormat(two.format());
    int different = 0;
    for (int y = 0; y < two.height(); ++y) {
        for (int x = 0; x < two.width(); ++x) {
            different += two.pixel(x, y) != scaled.pixel(x, y) ? 1 : 0;
        }
    }
    EXPECT_GT(different, 100);
}

TEST(SharedFontsTest, PixelHeightFollowsPointsAndResolution) {
    const struct {
        int points;
        qreal dpiX;
        qreal dpiY;
        int pixels;
    } cases[] = {
        {9, 96, 96, 12},    {10, 96, 96, 13},   {13, 96, 96, 17},  {17, 96, 96, 23},
        {22, 96, 96, 29},   {10, 192, 192, 13}, {10, 120, 96, 11}, {10, 96, 120, 17},
        {22, 144, 144, 29}, {10, 0, 0, 13},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.points << "pt " << c.dpiX << "x" << c.dpiY);
        EXPECT_EQ(SharedFonts::PixelHeight(c.points, c.dpiX, c.dpiY), c.pixels);
    }
}

TEST(SharedFontsTest, FiveFontsInTheInterfaceFaceThatCanWriteJapanese) {
    SharedFonts fonts;
    fonts.Create(96, 96);
    const int heights[] = {12, 13, 17, 23, 29};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(fonts.Font(i).pixelSize(), heights[i]);
        EXPECT_EQ(fonts.Font(i).families().value(0), QString::fromUtf8("メイリオ"));
    }
    EXPECT_EQ(fonts.Font(7).pixelSize(), 13);
    // The face that is really used renders kana and kanji.
    const QFontMetrics metrics(fonts.Panel());
    for (char32_t c : {U'あ', U'再', U'生', U'ー'}) {
        EXPECT_TRUE(metrics.inFontUcs4(c)) << static_cast<unsigned>(c);
    }
    EXPECT_TRUE(QFontDatabase::writingSystems(QFontInfo(fonts.Panel()).family())
                    .contains(QFontDatabase::Japanese))
        << QFontInfo(fonts.Panel()).family().toStdString();
}

} // namespace
} // namespace kirvano
