#include "update/VersionCheck.h"

#include "config/Settings.h"
#include "library/FolderListing.h"
#include "library/RecordingInfo.h"
#include "library/RecordingName.h"
#include "library/RecordingSource.h"
#include "ui/UiText.h"
#include "update/CUpdateDialog.h"
#include "update/VersionDownload.h"

#include <QDeadlineTimer>
#include <QThread>

#include <algorithm>
#include <unistd.h>

namespace kirvano {
namespace {

// Shutdown never waits longer than this for the check's thread.
constexpr int kStopWaitMs = 1500;

bool IsWantedFrontName(const std::string& name) {
    const char first = name[0];
    return first == 'A' || first == 'G' || first == 'M' || first == 'P' || first == 'T' ||
           (name.size() > 1 && name[1] == 'G');
}

} // namespace

std::string FirmwareVersionOfCard(const std::string& sourcePath) {
    // The camera folders in the order the card's scan lists them; the newest readable
    // recording of the first one that has any.
    for (const char* folder : {"Normal/Front", "Parking/Front"}) {
        const std::string path = sourcePath + "/" + folder;
        std::vector<RecordingInfo> records;
        for (const FolderEntry& entry : ListFolder(path).entries) {
            if (!entry.isDirectory && HasMovExtension(entry.name) &&
                IsWantedFrontName(entry.name)) {
                RecordingInfo record;
                record.name = entry.name;
                records.push_back(std::move(record));
            }
        }
        SortRecordings(records);
        for (auto it = records.rbegin(); it != records.rend(); ++it) {
            const std::string movie = path + "/" + it->name;
            if (::access(movie.c_str(), R_OK) == 0)
                return FirmwareVersionOfDataFile(DataPathOf(movie));
        }
    }
    return {};
}

std::optional<NoticeText> RunVersionCheck(const VersionCheck::Options& options,
                                          const std::string& firmwareText,
                                          const std::atomic<bool>* cancel) {
    const DownloadLimits limits{options.timeout, cancel};
    const auto latestFirmware =
        DownloadVersion(ServerAddress(options.host, kFirmwareVersionPath), limits);
    if (!latestFirmware)
        return std::nullopt;
    VersionFindings findings = CompareFirmware(firmwareText, *latestFirmware);
    const auto latestViewer =
        DownloadVersion(ServerAddress(options.host, kViewerVersionPath), limits);
    if (!latestViewer)
        return std::nullopt;
    CompareViewer(findings, options.viewerVersion, *latestViewer);
    return ComposeUpdateNotice(findings, ServerAddress(options.host, kFirmwarePagePath),
                               ServerAddress(options.host, kViewerPagePath));
}

VersionCheck::VersionCheck(QObject* owner) : QObject(owner) {}

VersionCheck::~VersionCheck() {
    Stop();
}

bool VersionCheck::Start(const std::string& firmwareText) {
    Options options;
    options.host = ReadSetting("UPDATE", "HOST");
    return StartWith(options, [firmwareText] { return firmwareText; });
}

bool VersionCheck::StartForSource(const std::string& sourcePath) {
    Options options;
    options.host = ReadSetting("UPDATE", "HOST");
    return StartWith(options, [sourcePath] {
        return sourcePath.empty() ? std::string() : FirmwareVersionOfCard(sourcePath);
    });
}

bool VersionCheck::StartWith(const Options& options, std::function<std::string()> firmware) {
    if (started_)
        return false;
    started_ = true;
    if (ServerAddress(options.host, "/").empty())
        return false;
    QPointer<VersionCheck> self(this);
    thread_ = QThread::create([self, shared = shared_, options, firmware = std::move(firmware)] {
        const std::string firmwareText = firmware ? firmware() : std::string();
        std::optional<NoticeText> notice = RunVersionCheck(options, firmwareText, &shared->cancel);
        // Under the lock a stop cannot slip in between the test and the posting.
        const std::lock_guard lock(shared->mutex);
        if (shared->cancel)
            return;
        QMetaObject::invokeMethod(
            self.data(),
            [self, notice = std::move(notice)] {
                if (self.isNull() || self->shared_->cancel)
                    return;
                if (notice)
                    self->ShowNotice(*notice);
                emit self->Finished(notice.has_value());
            },
            Qt::QueuedConnection);
    });
    thread_->start();
    return true;
}

void VersionCheck::ShowNotice(const NoticeText& notice) {
    notice_ = new CUpdateDialog(notice, UiText(108));
    notice_->setAttribute(Qt::WA_DeleteOnClose);
    notice_->show();
}

void VersionCheck::Stop() {
    {
        const std::lock_guard lock(shared_->mutex);
        shared_->cancel = true;
    }
    if (thread_ != nullptr) {
        // The fetch polls the flag every few milliseconds; a thread that still does not
        // end (a name lookup the system will not interrupt) is left to finish on its own.
        if (thread_->wait(QDeadlineTimer(kStopWaitMs))) {
            delete thread_;
        } else {
            connect(thread_, &QThread::finished, thread_, &QObject::deleteLater);
            thread_->setParent(nullptr);
        }
        thread_ = nullptr;
    }
    if (!notice_.isNull())
        notice_->close();
}

} // namespace kirvano
