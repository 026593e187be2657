// The once-per-run check for newer recorder firmware and viewer versions. The fetches run
// on a thread of their own; the notice is shown on the UI thread. Any failure ends the
// check silently. API for the main window:
//   VersionCheck check(owner);           lives on the UI thread, owned by the main window
//   check.Start(firmwareText);           once: fetch, compare, maybe show the notice
//   check.StartForSource(sourcePath);    the same with the firmware of the card at sourcePath
//   check.Stop();                        at shutdown: ends the fetch and closes the notice
#pragma once

#include "update/VersionRules.h"

#include <QObject>
#include <QPointer>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

class QThread;

namespace kirvano {

class CUpdateDialog;

// The firmware version of the newest recording in the camera folders of the card at
// sourcePath ("%d.%d.%d" from its data file); empty when there is none. Reads files only,
// so it may run on any thread.
std::string FirmwareVersionOfCard(const std::string& sourcePath);

class VersionCheck : public QObject {
    Q_OBJECT
public:
    struct Options {
        std::string host; // the server; empty: no check
        std::string viewerVersion{kViewerVersion};
        std::chrono::milliseconds timeout{5000}; // for each file
    };

    explicit VersionCheck(QObject* owner = nullptr);
    ~VersionCheck() override;

    // Starts the check against the configured server (UPDATE/HOST). False when it ran
    // before or no server is configured.
    bool Start(const std::string& firmwareText);
    // Starts it with the firmware of the card at sourcePath, read on the check's thread.
    bool StartForSource(const std::string& sourcePath);
    // Starts it with explicit options and a firmware source called on the check's thread.
    bool StartWith(const Options& options, std::function<std::string()> firmware);
    // Ends a running fetch (waiting at most briefly) and closes the notice.
    void Stop();

    bool Started() const { return started_; }
    // The notice while it is open.
    CUpdateDialog* Notice() const { return notice_; }

signals:
    // On the UI thread when the check has ended; whether it showed a notice.
    void Finished(bool noticeShown);

private:
    void ShowNotice(const NoticeText& notice);

    // Shared with the check's thread, which may outlive this object after a stop that
    // could not wait for it.
    struct Shared {
        std::mutex mutex;
        std::atomic<bool> cancel{false};
    };

    bool started_ = false;
    std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
    QThread* thread_ = nullptr;
    QPointer<CUpdateDialog> notice_;
};

// The check itself, on the calling thread: the notice to show, or nothing.
std::optional<NoticeText> RunVersionCheck(const VersionCheck::Options& options,
                                          const std::string& firmwareText,
                                          const std::atomic<bool>* cancel);

} // namespace kirvano
