// The viewer as an MPRIS player on a private session bus, driven by a client on a
// connection of its own: the state and metadata of the recording on screen, play and pause,
// seeks by position and by offset read back from the picture's bar code, the volume, the
// next recording, and the change signals a desktop applet listens to.
#include "app/CtarnicDlg.h"
#include "config/Settings.h"
#include "desktop/MprisService.h"
#include "library/RecordingName.h"
#include "playback/CMovieStatic.h"
#include "playback/PlaybackEngine.h"
#include "support/TempDir.h"
#include "support/ViewerCard.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <cstdlib>

namespace kirvano {
namespace {

using testing::ProcessUntil;
using testing::ShownFrame;
using testing::TempDir;

const QString kService = QString::fromLatin1(kMprisServiceName);
const QString kPath = QString::fromLatin1(kMprisObjectPath);
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

// Records the player's change signals as the client sees them.
class Listener : public QObject {
    Q_OBJECT
public:
    std::vector<QVariantMap> changes;
    std::vector<qlonglong> seeks;

    bool SawChange(const QString& property, const QVariant& value) const {
        for (const QVariantMap& change : changes) {
            if (change.contains(property) && (!value.isValid() || change.value(property) == value))
                return true;
        }
        return false;
    }

public slots:
    void Changed(const QString& interfaceName, const QVariantMap& changed, const QStringList&) {
        if (interfaceName == QStringLiteral("org.mpris.MediaPlayer2.Player"))
            changes.push_back(changed);
    }
    void Seeked(qlonglong position) { seeks.push_back(position); }
};

class Client {
public:
    Client()
        : bus_(QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                             QStringLiteral("client"))) {}
    ~Client() { QDBusConnection::disconnectFromBus(QStringLiteral("client")); }
    QDBusConnection& bus() { return bus_; }

    // A call answered while this thread keeps serving the player.
    QDBusMessage Call(const QString& interfaceName, const QString& method,
                      const QVariantList& args = {}) {
        QDBusMessage message =
            QDBusMessage::createMethodCall(kService, kPath, interfaceName, method);
        message.setArguments(args);
        QDBusPendingCall pending = bus_.asyncCall(message);
        EXPECT_TRUE(ProcessUntil([&] { return pending.isFinished(); })) << method.toStdString();
        EXPECT_FALSE(pending.isError())
            << method.toStdString() << ": " << pending.error().message().toStdString();
        return pending.reply();
    }
    QVariant Property(const QString& name) {
        const QDBusMessage reply = Call(kProperties, QStringLiteral("Get"), {kPlayer, name});
        if (reply.arguments().isEmpty())
            return {};
        return reply.arguments().front().value<QDBusVariant>().variant();
    }
    QVariantMap Metadata() {
        const QVariant value = Property(QStringLiteral("Metadata"));
        QVariantMap map;
        value.value<QDBusArgument>() >> map;
        return map;
    }

private:
    QDBusConnection bus_;
};

TEST(Mpris, AClientPlaysPausesSeeksAndReadsWhatPlays) {
    if (std::getenv("KIRVANO_PRIVATE_BUS") == nullptr ||
        !QDBusConnection::sessionBus().isConnected())
        GTEST_SKIP() << "needs a private session bus (dbus-run-session)";
    TempDir dir;
    setenv("KIRVANO_CONFIG_DIR", dir.file("config").c_str(), 1);
    ResetConfigDirectoryForTests();
    const std::string card = dir.file("card");
    ASSERT_TRUE(testing::MakeSmallCard(card, 4));
    ASSERT_TRUE(WriteSetting("SOURCE", "SELECT", "FOLDER"));
    ASSERT_TRUE(WriteSetting("SOURCE", "FOLDER", card + "/Normal"));

    CtarnicDlg w(nullptr, std::make_unique<FixedVolumes>(std::vector<std::string>{}));
    w.show();
    ASSERT_TRUE(ProcessUntil([&] { return w.Ready(); }));
    Client client;
    ASSERT_TRUE(client.bus().isConnected());
    ASSERT_TRUE(client.bus().interface()->isServiceRegistered(kService).value());
    Listener listener;
    ASSERT_TRUE(client.bus().connect(kService, kPath, kProperties,
                                     QStringLiteral("PropertiesChanged"), &listener,
                                     SLOT(Changed(QString, QVariantMap, QStringList))));
    ASSERT_TRUE(client.bus().connect(kService, kPath, kPlayer, QStringLiteral("Seeked"), &listener,
                                     SLOT(Seeked(qlonglong))));

    // The recording on screen, stopped on its first frame: 100 frames of 40 ms.
    const std::string name = "A_S-240518-081107-000101F.MOV";
    EXPECT_EQ(client.Property(QStringLiteral("PlaybackStatus")).toString(),
              QStringLiteral("Stopped"));
    QVariantMap metadata = client.Metadata();
    const auto trackId = metadata.value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>();
    EXPECT_EQ(trackId.path(),
              QStringLiteral("/org/kirvano/recording/A_S_240518_081107_000101F_MOV"));
    EXPECT_EQ(metadata.value(QStringLiteral("xesam:title")).toString().toStdString(),
              DisplayNameOf(name));
    EXPECT_EQ(metadata.value(QStringLiteral("mpris:length")).toLongLong(), 4'000'000);
    EXPECT_EQ(metadata.value(QStringLiteral("xesam:contentCreated")).toString(),
              QStringLiteral("2024-05-18T08:11:07"));
    EXPECT_TRUE(client.Property(QStringLiteral("CanSeek")).toBool());
    EXPECT_FALSE(client.Property(QStringLiteral("CanGoPrevious")).toBool());
    EXPECT_TRUE(client.Property(QStringLiteral("CanGoNext")).toBool());

    // Play and pause, announced as they happen.
    client.Call(kPlayer, QStringLiteral("Play"));
    EXPECT_EQ(w.Engine(0)->state(), EngineState::Playing);
    ASSERT_TRUE(ProcessUntil([&] {
        return listener.SawChange(QStringLiteral("PlaybackStatus"), QStringLiteral("Playing"));
    }));
    client.Call(kPlayer, QStringLiteral("Play"));
    EXPECT_EQ(w.Engine(0)->state(), EngineState::Playing) << "Play while playing keeps playing";
    client.Call(kPlayer, QStringLiteral("PlayPause"));
    EXPECT_EQ(w.Engine(0)->state(), EngineState::Paused);
    ASSERT_TRUE(ProcessUntil([&] {
        return listener.SawChange(QStringLiteral("PlaybackStatus"), QStringLiteral("Paused"));
    }));
    EXPECT_EQ(client.Property(QStringLiteral("PlaybackStatus")).toString(),
              QStringLiteral("Paused"));

    // Seeks: to a position of this recording, and by an offset; the picture follows.
    client.Call(kPlayer, QStringLiteral("SetPosition"),
                {QVariant::fromValue(trackId), QVariant::fromValue<qlonglong>(2'000'000)});
    EXPECT_EQ(ShownFrame(w), 50);
    ASSERT_TRUE(ProcessUntil([&] { return !listener.seeks.empty(); }));
    EXPECT_EQ(listener.seeks.back(), 2'000'000);
    client.Call(kPlayer, QStringLiteral("Seek"), {QVariant::fromValue<qlonglong>(-1'000'000)});
    EXPECT_EQ(ShownFrame(w), 25);
    EXPECT_EQ(client.Property(QStringLiteral("Position")).toLongLong(), 1'000'000);
    // A position for another track, or past the end, is ignored.
    client.Call(
        kPlayer, QStringLiteral("SetPosition"),
        {QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/kirvano/recording/other"))),
         QVariant::fromValue<qlonglong>(500'000)});
    client.Call(kPlayer, QStringLiteral("SetPosition"),
                {QVariant::fromValue(trackId), QVariant::fromValue<qlonglong>(9'000'000)});
    EXPECT_EQ(ShownFrame(w), 25);

    // The volume, written as a property, is the viewer's stored volume.
    client.Call(kProperties, QStringLiteral("Set"),
                {kPlayer, QStringLiteral("Volume"), QVariant::fromValue(QDBusVariant(0.5))});
    EXPECT_EQ(w.StoredVolume(), 32768);
    ASSERT_TRUE(ProcessUntil([&] { return listener.SawChange(QStringLiteral("Volume"), {}); }));

    // Next: the following recording plays and the metadata changes with it.
    client.Call(kPlayer, QStringLiteral("Next"));
    ASSERT_TRUE(ProcessUntil([&] { return w.Ready() && w.CurrentIndex() == 1; }));
    ASSERT_TRUE(ProcessUntil([&] { return listener.SawChange(QStringLiteral("Metadata"), {}); }));
    metadata = client.Metadata();
    EXPECT_EQ(metadata.value(QStringLiteral("xesam:title")).toString().toStdString(),
              DisplayNameOf("G__-240518-081207-000102F.MOV"));
    EXPECT_EQ(client.Property(QStringLiteral("PlaybackStatus")).toString(),
              QStringLiteral("Playing"));

    // Stop goes back to the first frame, stopped.
    client.Call(kPlayer, QStringLiteral("Stop"));
    EXPECT_EQ(w.Engine(0)->state(), EngineState::Stopped);
    EXPECT_EQ(ShownFrame(w), 0);
}

} // namespace
} // namespace kirvano

#include "MprisTest.moc"
