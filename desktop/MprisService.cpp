#include "desktop/MprisService.h"

#include "desktop/MprisAdaptors.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDateTime>

#include <cmath>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace kirvano {
namespace {

const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
// A position further than this from where the clock says it should be was a seek.
constexpr std::int64_t kJumpUs = 1'500'000;

// Only a bus that runs: asking for one where none does would have the bus library start
// a daemon of its own (autolaunch).
bool SessionBusRuns() {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address != nullptr && *address != '\0')
        return true;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return runtime != nullptr && *runtime != '\0' &&
           ::access((std::string(runtime) + "/bus").c_str(), F_OK) == 0;
}

QString StatusText(MediaState::Status status) {
    switch (status) {
    case MediaState::Status::Playing:
        return QStringLiteral("Playing");
    case MediaState::Status::Paused:
        return QStringLiteral("Paused");
    case MediaState::Status::Stopped:
        break;
    }
    return QStringLiteral("Stopped");
}

} // namespace

QDBusObjectPath MprisTrackId(const MediaState& state) {
    if (!state.hasRecording || state.recordingName.empty())
        return QDBusObjectPath(QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack"));
    // Object path elements take [A-Za-z0-9_] only; the recorder's names use "-" and ".".
    QString element;
    for (const char c : state.recordingName) {
        const bool plain =
            (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        element += plain ? QChar::fromLatin1(c) : QChar::fromLatin1('_');
    }
    return QDBusObjectPath(QStringLiteral("/org/kirvano/recording/") + element);
}

QVariantMap MprisMetadata(const MediaState& state) {
    QVariantMap metadata;
    metadata.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(MprisTrackId(state)));
    if (!state.hasRecording)
        return metadata;
    metadata.insert(QStringLiteral("mpris:length"), static_cast<qlonglong>(state.lengthUs));
    metadata.insert(QStringLiteral("xesam:title"), QString::fromStdString(state.title));
    metadata.insert(QStringLiteral("xesam:url"),
                    QStringLiteral("file:///") + QString::fromStdString(state.recordingName));
    if (!state.startTime.empty())
        metadata.insert(QStringLiteral("xesam:contentCreated"),
                        QString::fromStdString(state.startTime));
    return metadata;
}

MprisService::MprisService(std::unique_ptr<MediaControl> control, QObject* parent)
    : QObject(parent), control_(std::move(control)) {
    new MprisRootAdaptor(this);
    player_ = new MprisPlayerAdaptor(this);
    poll_.setInterval(kPollMs);
    connect(&poll_, &QTimer::timeout, this, &MprisService::Poll);
}

MprisService::~MprisService() {
    if (serviceName_.isEmpty())
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(serviceName_);
    bus.unregisterObject(QString::fromLatin1(kMprisObjectPath));
}

bool MprisService::Register() {
    if (!SessionBusRuns())
        return false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    if (!bus.registerObject(QString::fromLatin1(kMprisObjectPath), this))
        return false;
    QString name = QString::fromLatin1(kMprisServiceName);
    if (!bus.registerService(name)) {
        name += QStringLiteral(".instance") + QString::number(getpid());
        if (!bus.registerService(name)) {
            bus.unregisterObject(QString::fromLatin1(kMprisObjectPath));
            return false;
        }
    }
    serviceName_ = name;
    announced_ = Refresh();
    sinceLast_.start();
    poll_.start();
    return true;
}

const MediaState& MprisService::Refresh() {
    current_ = control_->State();
    return current_;
}

void MprisService::AnnounceSeek() {
    const MediaState& now = Refresh();
    emit player_->Seeked(now.positionUs);
    announced_.positionUs = now.positionUs;
    sinceLast_.restart();
}

void MprisService::Poll() {
    const MediaState now = Refresh();
    const MediaState before = announced_;
    QVariantMap changed;
    if (now.status != before.status)
        changed.insert(QStringLiteral("PlaybackStatus"), StatusText(now.status));
    if (now.hasRecording != before.hasRecording || now.recordingName != before.recordingName ||
        now.title != before.title || now.lengthUs != before.lengthUs ||
        now.startTime != before.startTime)
        changed.insert(QStringLiteral("Metadata"), MprisMetadata(now));
    if (now.volume != before.volume)
        changed.insert(QStringLiteral("Volume"), now.volume);
    if (now.rate != before.rate)
        changed.insert(QStringLiteral("Rate"), now.rate);
    const std::pair<const char*, bool> flags[] = {
        {"CanGoNext", now.canGoNext != before.canGoNext},
        {"CanGoPrevious", now.canGoPrevious != before.canGoPrevious},
        {"CanPlay", now.canPlay != before.canPlay},
        {"CanPause", now.canPause != before.canPause},
        {"CanSeek", now.canSeek != before.canSeek},
    };
    const bool values[] = {now.canGoNext, now.canGoPrevious, now.canPlay, now.canPause,
                           now.canSeek};
    for (std::size_t i = 0; i < std::size(flags); ++i) {
        if (flags[i].second)
            changed.insert(QString::fromLatin1(flags[i].first), values[i]);
    }
    if (!changed.isEmpty())
        EmitChanged(kPlayerInterface, changed);

    // A jump of the position on the same recording (the slider, the map, a key) is a seek.
    const double elapsedUs = static_cast<double>(sinceLast_.restart()) * 1000.0;
    const double expected =
        static_cast<double>(before.positionUs) +
        (before.status == MediaState::Status::Playing ? elapsedUs * before.rate : 0.0);
    if (now.hasRecording && now.recordingName == before.recordingName &&
        std::abs(static_cast<double>(now.positionUs) - expected) > kJumpUs)
        emit player_->Seeked(now.positionUs);
    announced_ = now;
}

void MprisService::EmitChanged(const QString& interfaceName, const QVariantMap& changed) {
    QDBusMessage signal = QDBusMessage::createSignal(
        QString::fromLatin1(kMprisObjectPath), QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("PropertiesChanged"));
    signal << interfaceName << changed << QStringList();
    QDBusConnection::sessionBus().send(signal);
}

// org.mpris.MediaPlayer2

MprisRootAdaptor::MprisRootAdaptor(MprisService* service)
    : QDBusAbstractAdaptor(service), service_(service) {}

void MprisRootAdaptor::Raise() {
    service_->Control().Raise();
}

void MprisRootAdaptor::Quit() {
    service_->Control().Quit();
}

// org.mpris.MediaPlayer2.Player

MprisPlayerAdaptor::MprisPlayerAdaptor(MprisService* service)
    : QDBusAbstractAdaptor(service), service_(service) {}

QString MprisPlayerAdaptor::PlaybackStatus() const {
    return StatusText(State().status);
}

double MprisPlayerAdaptor::Rate() const {
    return State().rate;
}

QVariantMap MprisPlayerAdaptor::Metadata() const {
    return MprisMetadata(State());
}

double MprisPlayerAdaptor::Volume() const {
    return State().volume;
}

void MprisPlayerAdaptor::SetVolume(double volume) {
    if (std::isfinite(volume))
        service_->Control().SetVolume(std::clamp(volume, 0.0, 1.0));
}

qlonglong MprisPlayerAdaptor::Position() const {
    return State().positionUs;
}

bool MprisPlayerAdaptor::CanGoNext() const {
    return State().canGoNext;
}

bool MprisPlayerAdaptor::CanGoPrevious() const {
    return State().canGoPrevious;
}

bool MprisPlayerAdaptor::CanPlay() const {
    return State().canPlay;
}

bool MprisPlayerAdaptor::CanPause() const {
    return State().canPause;
}

bool MprisPlayerAdaptor::CanSeek() const {
    return State().canSeek;
}

void MprisPlayerAdaptor::Next() {
    service_->Control().Next();
}

void MprisPlayerAdaptor::Previous() {
    service_->Control().Previous();
}

void MprisPlayerAdaptor::Pause() {
    service_->Control().Pause();
}

void MprisPlayerAdaptor::PlayPause() {
    service_->Control().PlayPause();
}

void MprisPlayerAdaptor::Stop() {
    service_->Control().Stop();
}

void MprisPlayerAdaptor::Play() {
    service_->Control().Play();
}

void MprisPlayerAdaptor::Seek(qlonglong offset) {
    const MediaState& state = State();
    if (!state.canSeek)
        return;
    const std::int64_t target = std::max<std::int64_t>(0, state.positionUs + offset);
    // Past the end acts like Next, as the media player interface asks.
    if (target > state.lengthUs) {
        service_->Control().Next();
        return;
    }
    service_->Control().SeekTo(target);
    service_->AnnounceSeek();
}

void MprisPlayerAdaptor::SetPosition(const QDBusObjectPath& trackId, qlonglong position) {
    const MediaState& state = State();
    // A request for another recording than the one shown, or outside it, is ignored.
    if (!state.canSeek || trackId != MprisTrackId(state) || position < 0 ||
        position > state.lengthUs)
        return;
    service_->Control().SeekTo(position);
    service_->AnnounceSeek();
}

void MprisPlayerAdaptor::OpenUri(const QString&) {
    // Recordings are opened through the source dialog, which knows the card's layout.
}

} // namespace kirvano
