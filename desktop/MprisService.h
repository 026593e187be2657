// The viewer on the desktop's session bus as an MPRIS media player
// (org.mpris.MediaPlayer2 and its .Player interface), so that media keys, panel applets and
// `playerctl` can play, pause, seek and skip recordings and show what plays. It talks to
// the window only through MediaControl; without a session bus it stays unregistered.
#pragma once

#include "desktop/MediaControl.h"

#include <QDBusObjectPath>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <QVariantMap>

#include <memory>

namespace kirvano {

inline constexpr const char* kMprisObjectPath = "/org/mpris/MediaPlayer2";
inline constexpr const char* kMprisServiceName = "org.mpris.MediaPlayer2.kirvano";

// The track id of a recording (an object path built from its file name); the MPRIS
// "no track" path without one.
QDBusObjectPath MprisTrackId(const MediaState& state);
// The Metadata property: mpris:trackid, mpris:length, xesam:title, xesam:contentCreated.
QVariantMap MprisMetadata(const MediaState& state);

class MprisService : public QObject {
    Q_OBJECT

public:
    // How often the window's state is looked at for changes to announce.
    static constexpr int kPollMs = 200;

    MprisService(std::unique_ptr<MediaControl> control, QObject* parent = nullptr);
    ~MprisService() override;

    // Exports the player on the session bus under kMprisServiceName, or with
    // ".instance<pid>" added when that name is taken. False without a running session bus.
    bool Register();
    // The bus name taken; empty while unregistered.
    const QString& ServiceName() const { return serviceName_; }

    MediaControl& Control() { return *control_; }
    // The window's state, read afresh.
    const MediaState& Refresh();
    // A seek made through the bus: announce it at once.
    void AnnounceSeek();

private:
    friend class MprisPlayerAdaptor;
    void Poll();
    void EmitChanged(const QString& interfaceName, const QVariantMap& changed);

    std::unique_ptr<MediaControl> control_;
    class MprisPlayerAdaptor* player_ = nullptr;
    MediaState current_;   // as last read from the window
    MediaState announced_; // as last announced on the bus
    QString serviceName_;
    QTimer poll_;
    QElapsedTimer sinceLast_;
};

} // namespace kirvano
