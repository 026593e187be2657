// The rules every kirvano-cli call keeps, run as a program: help asked for is an answer on
// standard output, unknown options and wrong argument counts are usage errors (status 2,
// nothing on standard output), and a source of the wrong kind is an input problem
// (status 1, one line naming it, still one document).
#include "library/CardBuilder.h"
#include "support/CliRunner.h"

#include <gtest/gtest.h>

namespace kirvano {
namespace {

using testing::CliRun;
using testing::RunCli;
using testing::TempDir;

struct Case {
    std::vector<std::string> words;
    int status;
    std::string out;        // exact; "usage: ..." texts only by their start
    std::string errorStart; // start of standard error
};

TEST(GeneralRules, HelpUsageErrorsAndWrongKinds) {
    TempDir dir;
    const std::string movie =
        testing::AddMovie(dir.file("card/Normal/Front"), testing::NameAt("A__", 0, 1));
    testing::AddMovie(dir.file("card/Parking"), "keep");
    const std::string card = dir.file("card");
    const std::string text = dir.file("notes.txt");
    testing::WriteAll(text, "x");
    const std::string list = "usage: kirvano-cli --version\n       kirvano-cli help COMMAND\n";
    const std::string scanUsage = "usage: kirvano-cli scan SOURCE [--kind card|folder|file]";
    const Case cases[] = {
        // Help asked for: the answer on standard output, status 0.
        {{"--help"}, 0, list, ""},
        {{"help"}, 0, list, ""},
        {{"-h"}, 0, list, ""},
        {{"help", "scan"}, 0, scanUsage, ""},
        {{"scan", "--help"}, 0, scanUsage, ""},
        {{"name", "-h"}, 0, "usage: kirvano-cli name PATH...\n", ""},
        // Usage errors: nothing on standard output, the usage on standard error.
        {{}, 2, "", list},
        {{"help", "nosuch"}, 2, "", "kirvano-cli: unknown command 'nosuch'\n" + list},
        {{"nosuch"}, 2, "", "kirvano-cli: unknown command 'nosuch'\n" + list},
        {{"help", "scan", "csv"}, 2, "", list},
        {{"name", "--bogus", movie}, 2, "", "kirvano-cli name: unknown option --bogus\n"},
        {{"probe", movie, "--bogus"}, 2, "", "kirvano-cli probe: unknown option --bogus\n"},
        {{"name"}, 2, "", "kirvano-cli name: no path given\n"},
        {{"scan", card, "--frobnicate"}, 2, "", "kirvano-cli scan: unknown option"},
        {{"csv", card}, 2, "", "kirvano-cli csv: SOURCE and OUTDIR are needed\n"},
        {{"telemetry", movie, movie}, 2, "", "kirvano-cli telemetry: one FILE only\n"},
        // After "--" a word that looks like an option is a path.
        {{"name", "--", "--bogus"}, 0, "[{\"path\":\"--bogus\",\"name\":\"--bogus\",", ""},
        // A source of the wrong kind: status 1, one line, the empty document of that kind.
        {{"scan", text, "--kind", "folder"},
         1,
         "{\"kind\":2,\"root\":\"\",\"firmware\":\"\",\"tree\":[],\"list\":[]}\n",
         "kirvano-cli: " + text + ": not a folder\n"},
        {{"scan", movie, "--kind", "card"},
         1,
         "{\"kind\":1,\"root\":\"\",\"firmware\":\"\",\"tree\":[],\"list\":[]}\n",
         "kirvano-cli: " + movie + ": not a folder\n"},
        {{"scan", card, "--kind", "file"},
         1,
         "{\"kind\":3,\"root\":\"\",\"firmware\":\"\",\"tree\":[],\"list\":[]}\n",
         "kirvano-cli: " + card + ": a folder, not a file\n"},
        {{"csv", text, dir.path(), "--kind", "card"},
         1,
         "{\"path\":null,\"lines\":0}\n",
         "kirvano-cli: " + text + ": not a folder\n"},
        {{"csv", text, dir.path(), "--kind", "file"},
         1,
         "{\"path\":null,\"lines\":0}\n",
         "kirvano-cli: " + text + ": not a movie\n"},
    };
    for (const Case& c : cases) {
        std::string words;
        for (const std::string& w : c.words)
            words += w + " ";
        SCOPED_TRACE(words);
        const CliRun run = RunCli(c.words, dir);
        EXPECT_EQ(run.status, c.status) << run.err;
        const bool start = c.out.starts_with("usage: ") || c.out.starts_with("[{");
        EXPECT_EQ(start ? run.out.substr(0, c.out.size()) : run.out, c.out);
        EXPECT_EQ(run.err.substr(0, c.errorStart.size()), c.errorStart);
        if (c.status == 0) {
            EXPECT_EQ(run.err, "");
        }
    }
    // Nothing of the above wrote anything.
    EXPECT_EQ(testing::EntryCount(dir.path()), 4u); // card, notes.txt, the run's two files
}

} // namespace
} // namespace kirvano
