// kirvano-cli scan: a source loaded as the viewer loads it, its folder tree and the list
// of the initially selected item, of a chosen item, or of the whole source.
#include "cli/Command.h"
#include "cli/Json.h"
#include "cli/SourceArguments.h"
#include "library/RecordingSource.h"

namespace kirvano::cli {
namespace {

int Run(std::span<const std::string> args);

} // namespace

extern const Command kScanCommand;
const Command kScanCommand = {
    "scan", "kirvano-cli scan SOURCE [--kind card|folder|file] [--select TREE-PATH] [--all]", Run};
const CommandRegistration kRegistration{kScanCommand};

namespace {

void WriteItem(JsonWriter& json, const FolderTree& tree, TreeItem item) {
    json.beginObject();
    json.key("text").value(tree.text(item));
    json.key("path").value(tree.path(item));
    json.key("mask").value(static_cast<std::int64_t>(tree.value(item)));
    json.key("children").beginArray();
    for (TreeItem child : tree.children(item))
        WriteItem(json, tree, child);
    json.endArray();
    json.endObject();
}

void WriteRecording(JsonWriter& json, const RecordingInfo& r) {
    json.beginObject();
    json.key("path").value(r.path);
    json.key("name").value(r.name);
    json.key("serial").value(r.serial);
    json.key("type_letter");
    if (r.typeLetter != 0)
        json.value(std::string(1, static_cast<char>(r.typeLetter)));
    else
        json.null();
    json.key("marked").value(r.marked);
    json.key("front_size").value(r.frontSize);
    json.key("rear_size").value(r.rearSize);
    json.key("data_size").value(r.dataSize);
    json.endObject();
}

void PrintSource(SourceKind kind, const RecordingSource& source,
                 const std::vector<RecordingInfo>* list) {
    JsonWriter json;
    json.beginObject();
    json.key("kind").value(static_cast<int>(kind));
    json.key("root").value(source.tree().rootPath());
    json.key("firmware").value(source.firmwareVersion());
    json.key("tree").beginArray();
    for (TreeItem item : source.tree().children(kTreeRoot))
        WriteItem(json, source.tree(), item);
    json.endArray();
    json.key("list").beginArray();
    if (list) {
        for (const RecordingInfo& record : *list) {
            WriteRecording(json, record);
            if (json.text().size() > 64 * 1024)
                json.drainTo(stdout);
        }
    }
    json.endArray();
    json.endObject();
    PrintJson(json.text());
}

int Run(std::span<const std::string> args) {
    std::optional<std::string> sourceArg, select;
    std::optional<SourceKind> kind;
    bool all = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--all") {
            all = true;
        } else if (arg == "--kind" || arg == "--select") {
            if (i + 1 >= args.size())
                return UsageError(kScanCommand, arg + " needs a value");
            const std::string& value = args[++i];
            if (arg == "--select") {
                select = value;
            } else if (!(kind = ParseSourceKind(value))) {
                return UsageError(kScanCommand, "unknown kind " + value);
            }
        } else if (arg.starts_with("--")) {
            return UsageError(kScanCommand, "unknown option " + arg);
        } else if (sourceArg) {
            return UsageError(kScanCommand, "more than one source");
        } else {
            sourceArg = arg;
        }
    }
    if (!sourceArg)
        return UsageError(kScanCommand, "no source given");
    if (all && select)
        return UsageError(kScanCommand, "--all and --select exclude each other");

    const std::string path = AbsolutePath(*sourceArg);
    const SourceKind sourceKind = kind ? *kind : GuessSourceKind(path);
    RecordingSource source;
    bool failed = false;
    if (const auto problem = SourceProblem(path, sourceKind)) {
        // Still one document: an empty source of the kind asked for.
        ReportProblem(*sourceArg, *problem);
        PrintSource(sourceKind, source, nullptr);
        return kInputFailed;
    }
    source.LoadSource(path, sourceKind);
    const std::vector<RecordingInfo>* list = &source.recordingList();
    if (all) {
        list = &source.CollectAllRecordings();
    } else if (select) {
        const auto item = source.tree().find(AbsolutePath(*select));
        if (!item) {
            ReportProblem(*select, "no such tree item");
            failed = true;
            list = nullptr;
        } else {
            source.ExpandTreeItem(*item);
        }
    } else if (const auto item = source.SelectInitialItem()) {
        source.ExpandTreeItem(*item);
    }
    failed = ReportScanProblems(source) || failed;

    PrintSource(sourceKind, source, list);
    return failed ? kInputFailed : kDone;
}

} // namespace
} // namespace kirvano::cli
