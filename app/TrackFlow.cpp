#include "app/TrackFlow.h"

#include "base/AtomicOutputFile.h"
#include "config/Settings.h"
#include "tracks/RecordingTrack.h"
#include "tracks/TrackXml.h"
#include "ui/UiText.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>

#include <filesystem>
#include <sys/stat.h>

namespace kirvano {
namespace {

bool Exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

std::string Stem(const std::string& path) {
    return std::filesystem::path(path).stem().string();
}

const char* Text(const char* english, const char* japanese) {
    return SelectedUiTextColumn() == 1 ? english : japanese;
}

} // namespace

std::string TrackFlow::CommandLineProgram() {
    const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/kirvano-cli");
    if (QFileInfo(beside).isExecutable())
        return beside.toStdString();
    return KIRVANO_CLI_BUILT;
}

std::string TrackFlow::EvidenceFolderFor(const std::string& folder, const std::string& frontPath) {
    const std::string base = folder + "/evidence-" + Stem(frontPath);
    std::string path = base;
    for (int n = 2; Exists(path); ++n)
        path = base + "-" + std::to_string(n);
    return path;
}

std::unique_ptr<TrackFlow> TrackFlow::Prepare(FlowDialogs& dialogs, TrackExport kind,
                                              std::vector<std::string> frontPaths) {
    if (frontPaths.empty())
        return nullptr;
    const std::string folder = dialogs.ChooseFolder(
        kSection, kKey,
        Text("Choose the folder to write to.", "保存先のフォルダーを選択してください。"));
    if (folder.empty())
        return nullptr;
    std::unique_ptr<TrackFlow> flow(new TrackFlow());
    flow->kind_ = kind;
    flow->fronts_ = std::move(frontPaths);
    flow->folder_ = folder;
    if (kind == TrackExport::Evidence) {
        flow->output_ = EvidenceFolderFor(folder, flow->fronts_.front());
        return flow;
    }
    flow->output_ =
        folder + "/" + Stem(flow->fronts_.front()) + (kind == TrackExport::Gpx ? ".gpx" : ".kml");
    if (Exists(flow->output_) &&
        !dialogs.Message(std::filesystem::path(flow->output_).filename().string() +
                             Text(" exists. Replace it?", " は既にあります。置き換えますか？"),
                         UiText(49), true))
        return nullptr;
    return flow;
}

bool TrackFlow::Run(const FlowProgress& progress, const std::atomic<bool>& cancelled) {
    const auto total = static_cast<std::intptr_t>(fronts_.size()) + 1;
    progress(0, total);
    if (kind_ == TrackExport::Evidence) {
        const bool done = RunEvidence(cancelled);
        progress(total, total);
        return done;
    }
    std::vector<RecordingTrack> tracks;
    for (const std::string& front : fronts_) {
        if (cancelled)
            return false;
        tracks.push_back(LoadRecordingTrack(front));
        progress(static_cast<std::intptr_t>(tracks.size()), total);
    }
    // The title is the one `kirvano-cli gpx RECORDING` gives: the source's file name.
    const std::string title = std::filesystem::path(fronts_.front()).filename().string();
    const std::string document =
        kind_ == TrackExport::Gpx ? GpxDocument(tracks, title) : KmlDocument(tracks, title);
    if (Status written = WriteFileAtomically(output_, document); !written) {
        error_ = written.error();
        return false;
    }
    written_ = true;
    progress(total, total);
    return true;
}

bool TrackFlow::RunEvidence(const std::atomic<bool>& cancelled) {
    QProcess cli;
    QStringList args{QStringLiteral("evidence"), QString::fromStdString(output_)};
    for (const std::string& front : fronts_)
        args << QString::fromStdString(front);
    cli.setProcessChannelMode(QProcess::SeparateChannels);
    cli.start(QString::fromStdString(CommandLineProgram()), args);
    if (!cli.waitForStarted(10000)) {
        error_ = "kirvano-cli: " + cli.errorString().toStdString();
        return false;
    }
    while (!cli.waitForFinished(100)) {
        if (cancelled) {
            // The package is built in a staging folder: a stopped build leaves nothing.
            cli.terminate();
            if (!cli.waitForFinished(5000))
                cli.kill();
            cli.waitForFinished(-1);
            return false;
        }
    }
    if (cli.exitStatus() != QProcess::NormalExit || cli.exitCode() != 0) {
        error_ = QString::fromUtf8(cli.readAllStandardError()).trimmed().toStdString();
        if (error_.empty())
            error_ = "kirvano-cli evidence failed";
        return false;
    }
    written_ = true;
    return true;
}

bool TrackFlow::Finish(FlowDialogs& dialogs) {
    if (!error_.empty()) {
        const char* what =
            kind_ == TrackExport::Evidence
                ? Text("The evidence package could not be created.",
                       "証拠パッケージを作成できませんでした。")
                : Text("The track could not be written.", "軌跡を書き出せませんでした。");
        dialogs.Message(std::string(what) + "\n" + error_, "ERROR", false);
        return false;
    }
    if (!written_)
        return false; // cancelled: a replaced track file is still the old one
    WriteSetting(kSection, kKey, folder_);
    return true;
}

} // namespace kirvano
