#include "update/VersionCheck.h"
#include "config/Settings.h"
#include "library/RecordingSource.h"
#include "support/TempDir.h"
#include "ui/CResourceImage.h"
#include "ui/UiText.h"
#include "update/CUpdateDialog.h"
#include "update/VersionDownload.h"
#include "update/VersionServer.h"

#include <QApplication>
#include <QTextDocument>

#include <QDesktopServices>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdlib>

namespace kirvano {
namespace {

using testing::Answer;
using testing::Fault;
using testing::Status;
using testing::VersionFile;
using testing::VersionServer;

const std::string kFirmwareFile(kFirmwareVersionPath);
const std::string kViewerFile(kViewerVersionPath);

struct Outcome {
    bool finished = false;
    bool shown = false;
    QString text; // the notice as the user reads it
};

Outcome RunCheck(VersionCheck& check, const std::string& host, const std::string& firmware,
                 std::chrono::milliseconds timeout = std::chrono::milliseconds(3000)) {
    Outcome outcome;
    QEventLoop loop;
    QObject::connect(&check, &VersionCheck::Finished, &loop, [&](bool shown) {
        outcome.finished = true;
        outcome.shown = shown;
        loop.quit();
    });
    VersionCheck::Options options;
    options.host = host;
    options.timeout = timeout;
    EXPECT_TRUE(check.StartWith(options, [firmware] { return firmware; }));
    QTimer::singleShot(15000, &loop, &QEventLoop::quit);
    loop.exec();
    if (check.Notice() != nullptr)
        outcome.text = check.Notice()->LinkControl()->text();
    return outcome;
}

QString Plain(const QString& html) {
    QTextDocument document;
    document.setHtml(html);
    return document.toPlainText();
}

class VersionCheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitSkinResources();
        SelectUiTextColumn(1);
    }
    void TearDown() override { SelectUiTextColumn(0); }
    VersionServer server;
};

TEST_F(VersionCheckTest, NoticeForEachCaseOfTheComparison) {
    struct Case {
        const char* firmwareFile;
        const char* viewerFile;
        const char* recorder;
        const char* expected; // the notice's plain text after the greeting; null for none
    } cases[] = {
        {"VER:1.2.3.4", "VER:2.0.0.0", "1.2.3.9", nullptr},
        {"VER:1.03", "VER:2.0.0.0", "1.02",
         "Dash camera:\nCurrent version: 1.02.0   →   New version: 1.03.0\n\nURL : "
         "http://HOST/taiou/dr_updata/hv-tq420/hv-tq420.html"},
        {"VER:1.2.3", "VER:2.0.0.1", "1.2.3",
         "Viewer software:\nCurrent version: 2.0.0.0   →   New version: 2.0.0.1\n\nURL : "
         "http://HOST/0_recorder/viewer/Kirvano/viewer.html"},
        {"VER:1.2.3", "VER:1.9.9.9", "1.2.3",
         "Viewer software:\nCurrent version: 2.0.0.0   →   New version: 1.9.9.9\n\nURL : "
         "http://HOST/0_recorder/viewer/Kirvano/viewer.html"},
        {"VER:9.9.9", "VER:2.0.0.1", "",
         "Viewer software:\nCurrent version: 2.0.0.0   →   New version: 2.0.0.1\n\nURL : "
         "http://HOST/0_recorder/viewer/Kirvano/viewer.html"},
        {"VER:9.9.9", "VER:2.0.0.0", "", nullptr},
        {"model\r\nVER:1.4.3", "VER:2.1", "1.4.2",
         "Dash camera:\nCurrent version: 1.4.2.0   →   New version: 1.4.3.0\n\nURL : "
         "http://HOST/taiou/dr_updata/hv-tq420/hv-tq420.html\n\n\nViewer software:\nCurrent "
         "version: 2.0.0.0   →   New version: 2.1\n\nURL : "
         "http://HOST/0_recorder/viewer/Kirvano/viewer.html\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.firmwareFile) + " " + c.viewerFile + " " + c.recorder);
        VersionServer server;
        server.answer(kFirmwareFile, VersionFile(c.firmwareFile));
        server.answer(kViewerFile, VersionFile(c.viewerFile));
        VersionCheck check;
        const Outcome outcome = RunCheck(check, server.host(), c.recorder);
        ASSERT_TRUE(outcome.finished);
        EXPECT_EQ(outcome.shown, c.expected != nullptr);
        EXPECT_EQ(server.count(kFirmwareFile), 1);
        EXPECT_EQ(server.count(kViewerFile), 1);
        if (c.expected != nullptr) {
            QString expected = QString::fromUtf8(c.expected);
            expected.replace(QStringLiteral("HOST"), QString::fromStdString(server.host()));
            EXPECT_EQ(Plain(outcome.text),
                      QStringLiteral("A new version of the software is available.\nTo download "
                                     "it, click the URL below.\n\n") +
                          expected);
            EXPECT_EQ(check.Notice()->windowTitle(), QStringLiteral("Software update information"));
        }
        // Once per run.
        EXPECT_FALSE(check.StartWith(VersionCheck::Options{server.host(), {}, {}}, {}));
        check.Stop();
    }
}

TEST_F(VersionCheckTest, FaultsEndTheCheckSilently) {
    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost);
    const std::string deadHost = "127.0.0.1:" + std::to_string(closed.serverPort());
    closed.close();

    QByteArray tenMegabytes(10 * 1024 * 1024, 'x');
    tenMegabytes.replace(5 * 1024 * 1024, 4, "VER:");
    QByteArray binary;
    for (int i = 0; i < 4096; ++i)
        binary += static_cast<char>((i * 131 + 7) % 256 == 'V' ? 0 : (i * 131 + 7) % 256);

    struct Case {
        const char* what;
        Answer firmware;
        Answer viewer;
        bool viewerAsked;
    } cases[] = {
        {"firmware file missing", Status(404, "VER:1.0"), VersionFile("VER:3"), false},
        {"server error", Status(500, "VER:1.0"), VersionFile("VER:3"), false},
        {"viewer file missing", VersionFile("VER:1.0"), Status(404, "VER:3"), true},
        {"no marker", VersionFile("version 1.0"), VersionFile("VER:3"), false},
        {"viewer without marker", VersionFile("VER:1.0"), VersionFile("3.0"), true},
        {"silent server", Fault(Answer::Silent), VersionFile("VER:3"), false},
        {"closed connection", Fault(Answer::Close), VersionFile("VER:3"), false},
        {"redirect loop", Fault(Answer::RedirectToSelf), VersionFile("VER:3"), false},
        {"ten megabytes", VersionFile(tenMegabytes), VersionFile("VER:3"), false},
        {"binary", VersionFile(binary), VersionFile("VER:3"), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        VersionServer server;
        server.answer(kFirmwareFile, c.firmware);
        server.answer(kViewerFile, c.viewer);
        VersionCheck check;
        const Outcome outcome =
            RunCheck(check, server.host(), "1.0", std::chrono::milliseconds(700));
        EXPECT_TRUE(outcome.finished);
        EXPECT_FALSE(outcome.shown);
        EXPECT_EQ(check.Notice(), nullptr);
        EXPECT_GE(server.count(kFirmwareFile), 1);
        EXPECT_EQ(server.count(kViewerFile) > 0, c.viewerAsked);
    }

    VersionCheck unreachable;
    const Outcome outcome = RunCheck(unreachable, deadHost, "1.0");
    EXPECT_TRUE(outcome.finished);
    EXPECT_FALSE(outcome.shown);

    // No server configured: nothing starts.
    VersionCheck unconfigured;
    EXPECT_FALSE(unconfigured.StartWith({}, {}));
    EXPECT_TRUE(unconfigured.Started());
}

TEST_F(VersionCheckTest, StopDoesNotWaitForADeadServer) {
    server.answer(kFirmwareFile, Fault(Answer::Silent));
    VersionCheck check;
    VersionCheck::Options options;
    options.host = server.host();
    options.timeout = std::chrono::minutes(5);
    bool finished = false;
    QObject::connect(&check, &VersionCheck::Finished, [&] { finished = true; });
    ASSERT_TRUE(check.StartWith(options, [] { return std::string("1.0"); }));
    QTRY_COMPARE_WITH_TIMEOUT(server.count(kFirmwareFile), 1, 5000);
    QElapsedTimer clock;
    clock.start();
    check.Stop();
    EXPECT_LT(clock.elapsed(), 1000);
    QTest::qWait(100);
    EXPECT_FALSE(finished);
    EXPECT_EQ(check.Notice(), nullptr);
}

TEST_F(VersionCheckTest, FetchGoesThroughTheProxyTheEnvironmentNames) {
    server.answer(kFirmwareFile, VersionFile("VER:1.2.3"));
    server.answer(kViewerFile, VersionFile("VER:2.0.0.7"));
    qputenv("http_proxy", QByteArray::fromStdString("http://" + server.host() + "/"));
    qunsetenv("no_proxy");
    qunsetenv("NO_PROXY");
    VersionCheck check;
    const Outcome outcome = RunCheck(check, "updates.maker.invalid", "1.2.3");
    qunsetenv("http_proxy");
    EXPECT_TRUE(outcome.shown);
    ASSERT_EQ(server.requests().size(), 2u);
    EXPECT_EQ(server.requests()[0], "http://updates.maker.invalid" + kFirmwareFile);
    EXPECT_TRUE(server.lastHead().contains("Accept: */*"));
    EXPECT_TRUE(Plain(outcome.text).contains("2.0.0.7"));
}

TEST_F(VersionCheckTest, FirmwareOfTheCardDecidesTheNotice) {
    testing::TempDir card;
    const std::string command = std::string(KIRVANO_CLI) + " make-card " + card.path() +
                                " --recordings 2 --parking 1 --seconds 1 --front 160x120@10"
                                " --rear 160x120@10 --no-audio --firmware 1.7.3 >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(FirmwareVersionOfCard(card.path()), "1.7.3");
    RecordingSource source;
    source.LoadSource(card.path(), SourceKind::Card);
    EXPECT_EQ(FirmwareVersionOfCard(card.path()), source.firmwareVersion());
    EXPECT_EQ(FirmwareVersionOfCard(card.file("missing")), "");

    server.answer(kFirmwareFile, VersionFile("VER:1.8.0.1"));
    server.answer(kViewerFile, VersionFile("VER:2.0.0.0"));
    VersionCheck check;
    QEventLoop loop;
    bool shown = false;
    QObject::connect(&check, &VersionCheck::Finished, &loop, [&](bool s) {
        shown = s;
        loop.quit();
    });
    VersionCheck::Options options;
    options.host = server.host();
    ASSERT_TRUE(check.StartWith(options, [&] { return FirmwareVersionOfCard(card.path()); }));
    QTimer::singleShot(15000, &loop, &QEventLoop::quit);
    loop.exec();
    ASSERT_TRUE(shown);
    EXPECT_TRUE(Plain(check.Notice()->LinkControl()->text())
                    .contains(QString::fromUtf8("1.7.3.0   →   New version: 1.8.0.0")));
}

// Records the addresses the desktop would open.
class UrlSink : public QObject {
    Q_OBJECT
public:
    std::vector<QUrl> opened;
public slots:
    void Open(const QUrl& url) { opened.push_back(url); }
};

TEST_F(VersionCheckTest, NoticeWindowLayoutLinksAndClose) {
    VersionFindings findings = CompareFirmware("1.02", "1.03");
    CompareViewer(findings, "2.0.0.0", "<a href=\"http://evil.example/\">2.1</a>");
    const NoticeText notice = *ComposeUpdateNotice(findings, "http://maker.example/fw.html",
                                                   "http://maker.example/viewer.html");
    CUpdateDialog dialog(notice, UiText(108));
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(dialog.size(), QSize(640, 360));
    EXPECT_EQ(dialog.LinkControl()->geometry(), QRect(10, 30, 620, 280));
    EXPECT_EQ(dialog.CloseButton()->geometry(), QRect(530, 320, 100, 30));
    EXPECT_EQ(dialog.CloseButton()->text(), QStringLiteral("Close"));
    EXPECT_EQ(dialog.LinkControl()->text().count(QStringLiteral("<a ")), 2);

    const QImage shot = dialog.grab().toImage();
    for (const QPoint at : {QPoint(2, 2), QPoint(636, 20), QPoint(5, 305), QPoint(320, 309)})
        EXPECT_EQ(shot.pixelColor(at), QColor(Qt::white)) << at.x() << "," << at.y();
    EXPECT_NE(shot.pixelColor(QPoint(5, 315)), QColor(Qt::white));
    EXPECT_NE(shot.pixelColor(QPoint(320, 355)), QColor(Qt::white));

    // Find the links the way a user does: where the pointer turns into a hand.
    UrlSink sink;
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &sink, "Open");
    QLabel* link = dialog.LinkControl();
    std::vector<QPoint> hands;
    for (int y = 2; y < link->height(); y += 4) {
        for (int x = 2; x < link->width(); x += 6) {
            QTest::mouseMove(link, QPoint(x, y));
            if (link->cursor().shape() == Qt::PointingHandCursor) {
                hands.push_back(QPoint(x, y));
                x = link->width(); // one point per text line is enough
            }
        }
    }
    ASSERT_FALSE(hands.empty());
    for (const QPoint at : hands)
        QTest::mouseClick(link, Qt::LeftButton, {}, at);
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    ASSERT_FALSE(sink.opened.empty());
    for (const QUrl& url : sink.opened)
        EXPECT_EQ(url.host(), QStringLiteral("maker.example")) << url.toString().toStdString();
    EXPECT_EQ(sink.opened.front(), QUrl(QStringLiteral("http://maker.example/fw.html")));
    EXPECT_EQ(sink.opened.back(), QUrl(QStringLiteral("http://maker.example/viewer.html")));

    QTest::keyClick(&dialog, Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible());
    QTest::mouseClick(dialog.CloseButton(), Qt::LeftButton);
    EXPECT_TRUE(dialog.Closed());
    EXPECT_FALSE(dialog.isVisible());

    CUpdateDialog escaped(notice, UiText(108));
    escaped.show();
    QTest::keyClick(&escaped, Qt::Key_Escape);
    EXPECT_TRUE(escaped.Closed());
    EXPECT_FALSE(escaped.isVisible());
}

TEST_F(VersionCheckTest, MapRuntimeNotice) {
    testing::TempDir config;
    qputenv("KIRVANO_CONFIG_DIR", QByteArray::fromStdString(config.path()));
    ResetConfigDirectoryForTests();
    QTimer::singleShot(0, [] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            auto* notice = qobject_cast<CUpdateDialog*>(window);
            if (notice == nullptr || !notice->isVisible())
                continue;
            EXPECT_EQ(notice->windowTitle(),
                      QStringLiteral("The WebView2 runtime is not installed."));
            EXPECT_TRUE(Plain(notice->LinkControl()->text())
                            .endsWith(QStringLiteral("URL : https://packages.debian.org/bookworm/"
                                                     "libqt6webenginecore6\n")));
            QTest::mouseClick(notice->CloseButton(), Qt::LeftButton);
        }
    });
    RunMapRuntimeNotice(); // returns only when the notice has been closed
    EXPECT_TRUE(MapComponentInstalled());
}

} // namespace
} // namespace kirvano

#include "VersionCheckTest.moc"
