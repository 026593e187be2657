#include <QFile>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

namespace {

// Renders the gallery on an offscreen screen of a pixel ratio (a 1920 x 1080 logical desktop)
// into the build folder, for people to look at.
QImage RenderGallery(int ratio, const QString& file) {
    const QString config = file + QStringLiteral(".screen.json");
    QFile json(config);
    EXPECT_TRUE(json.open(QIODevice::WriteOnly | QIODevice::Truncate));
    json.write(QStringLiteral("{\"screens\":[{\"name\":\"gallery\",\"x\":0,\"y\":0,"
                              "\"width\":%1,\"height\":%2,\"logicalDpi\":96,"
                              "\"logicalBaseDpi\":96,\"dpr\":%3}]}")
                   .arg(1920 * ratio)
                   .arg(1080 * ratio)
                   .arg(ratio)
                   .toUtf8());
    json.close();
    QProcess gallery;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen:configfile=") + config);
    env.remove(QStringLiteral("QT_SCALE_FACTOR"));
    gallery.setProcessEnvironment(env);
    gallery.start(QStringLiteral(KIRVANO_GALLERY), {QStringLiteral("--render"), file});
    EXPECT_TRUE(gallery.waitForFinished(120000));
    EXPECT_EQ(gallery.exitCode(), 0) << gallery.readAllStandardError().toStdString();
    return QImage(file);
}

TEST(SkinGalleryTest, RendersAtPixelRatioOneAndTwo) {
    const QString one = QStringLiteral(KIRVANO_BUILD_DIR "/gallery-1x.png");
    const QString two = QStringLiteral(KIRVANO_BUILD_DIR "/gallery-2x.png");
    const QImage small = RenderGallery(1, one);
    const QImage large = RenderGallery(2, two);
    ASSERT_FALSE(small.isNull());
    ASSERT_FALSE(large.isNull());
    EXPECT_GT(small.width(), 600);
    EXPECT_GT(small.height(), 400);
    // The same layout in twice the pixels.
    EXPECT_EQ(large.size(), 2 * small.size());
}

TEST(SkinGalleryTest, RejectsAMissingFileName) {
    QProcess gallery;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    gallery.setProcessEnvironment(env);
    gallery.start(QStringLiteral(KIRVANO_GALLERY), {QStringLiteral("--render")});
    ASSERT_TRUE(gallery.waitForFinished(60000));
    EXPECT_EQ(gallery.exitCode(), 2);
}

} // namespace
