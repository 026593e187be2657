// kirvano-cli verify: re-checks an evidence package against its checksum list and names
// every file that changed, is missing or was added.
#include "cli/Command.h"
#include "cli/Json.h"
#include "cli/SourceArguments.h"
#include "tracks/EvidenceFiles.h"

namespace kirvano::cli {
namespace {

int Run(std::span<const std::string> args);

} // namespace

extern const Command kVerifyCommand;
const Command kVerifyCommand = {
    "verify",
    "kirvano-cli verify OUTDIR\n"
    "  Re-hashes every file of an evidence package made by `kirvano-cli evidence`; exit 1\n"
    "  names each file that changed, is missing or does not belong to the package.",
    Run};
const CommandRegistration kRegistration{kVerifyCommand};

namespace {

void List(JsonWriter& json, const char* key, const std::vector<std::string>& names) {
    json.key(key).beginArray();
    for (const std::string& name : names)
        json.value(name);
    json.endArray();
}

int Run(std::span<const std::string> args) {
    if (args.size() != 1 || args[0].starts_with("--"))
        return UsageError(kVerifyCommand, "one OUTDIR is needed");
    const std::string folder = AbsolutePath(args[0]);
    const PackageCheck check = CheckPackage(folder);
    for (const std::string& name : check.changed)
        ReportProblem(folder + "/" + name, "changed");
    for (const std::string& name : check.missing)
        ReportProblem(folder + "/" + name, "missing");
    for (const std::string& name : check.unlisted)
        ReportProblem(folder + "/" + name, "not part of the package");
    for (const std::string& line : check.malformed)
        ReportProblem(folder + "/SHA256SUMS", "malformed line: " + line);
    JsonWriter json;
    json.beginObject();
    json.key("path").value(folder);
    json.key("ok").value(check.ok());
    json.key("checked").value(check.checked);
    List(json, "changed", check.changed);
    List(json, "missing", check.missing);
    List(json, "unlisted", check.unlisted);
    List(json, "malformed", check.malformed);
    json.endObject();
    PrintJson(json.text());
    return check.ok() ? kDone : kInputFailed;
}

} // namespace
} // namespace kirvano::cli
