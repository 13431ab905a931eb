#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/channels.h"
#include "engine/engine.h"

namespace tarvex {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

constexpr int UNSET = -999;

// Runs PROG_INIT on the given arguments (the program name is added) and
// returns its result; the console lines go to *console.
int run_prog_init(const Strings& args, CaptureSink& console) {
    std::vector<const char*> argv = {"tarvex"};
    for (const std::string& a : args) argv.push_back(a.c_str());
    argv.push_back(nullptr);
    ScopedChannelSink bind(CH_CONSOLE, &console);
    return PROG_INIT(static_cast<int>(argv.size()) - 1, argv.data());
}

// Every test leaves the working directory as it found it.
class ProgInit : public ::testing::Test {
protected:
    void SetUp() override { start_dir_ = fs::current_path(); }
    void TearDown() override { fs::current_path(start_dir_); }

    // A fresh, empty directory under the system's temporary directory.
    fs::path make_temp_dir() {
        std::string pattern = (fs::temp_directory_path() / "tarvex-prog-init-XXXXXX").string();
        EXPECT_NE(mkdtemp(pattern.data()), nullptr);
        temp_dirs_.emplace_back(pattern);
        return fs::canonical(pattern);
    }

    ~ProgInit() override {
        std::error_code ec;
        for (const fs::path& d : temp_dirs_) fs::remove_all(d, ec);
    }

    fs::path start_dir_;
    std::vector<fs::path> temp_dirs_;
};

struct Row {
    Strings args;
    int result;
    Strings lines;       // console lines, compared as text
    int restart, niter, nsave, nprint;
    bool autorun, goflag;
};

TEST_F(ProgInit, CommandLineTable) {
    const std::string missing_name = " filename missing from command line";
    const std::string missing_value = " value missing from command line";
    const std::string unknown = "  unknown command line option";
    const std::vector<Row> rows = {
        // No arguments: the defaults, with the print interval completed.
        {{}, 0, {}, UNSET, UNSET, UNSET, 10, false, false},
        // An iteration count alone gives the save interval but no start mode.
        {{"-n", "100"}, 0, {}, UNSET, 100, 100, 10, false, false},
        {{"-n", "100", "-f", "1"}, 0, {}, 1, 100, 100, 10, true, false},
        // Start at once: start mode 0 implied, save interval capped.
        {{"-g", "-n", "50", "-s", "80"}, 0, {}, 0, 50, 50, 10, true, true},
        {{"-G", "-N", "5"}, 0, {}, 0, 5, 5, 10, true, true},
        // Start at once without iterations is dropped, and the print interval
        // stays unset so that every iteration is recorded.
        {{"-g"}, 0, {" iterations not set"}, 0, UNSET, UNSET, UNSET, false, false},
        {{"-g", "-p", "4"}, 0, {" iterations not set"}, 0, UNSET, UNSET, 4, false, false},
        {{"-s", "20"}, 0, {}, UNSET, UNSET, 20, 10, false, false},
        {{"-n", "5", "-s", "20", "-p", "3", "-f", "2"}, 0, {}, 2, 5, 5, 3, true, false},
        // -f reads one character, the counts ten.
        {{"-f", "12"}, 0, {}, 1, UNSET, UNSET, 10, false, false},
        {{"-n", "12345678901"}, 0, {}, UNSET, 1234567890, 1234567890, 10, false, false},
        // Recognised by the first two characters, in either case; -h ignored.
        {{"-help", "-H", "-niter", "7", "-go", "-x"}, -1, {unknown}, UNSET, 7, UNSET, UNSET, false, true},
        {{"-hello"}, 0, {}, UNSET, UNSET, UNSET, 10, false, false},
        // Out-of-range values: counted errors; the counts go back to unset,
        // the start mode keeps what was read.
        {{"-f", "3"}, -1, {"  invalid restart option"}, 3, UNSET, UNSET, UNSET, false, false},
        {{"-n", "0"}, -1, {"  invalid iteration number"}, UNSET, UNSET, UNSET, UNSET, false, false},
        {{"-n", "-5"}, -1, {"  invalid iteration number"}, UNSET, UNSET, UNSET, UNSET, false, false},
        {{"-s", "0"}, -1, {"  invalid save interval number"}, UNSET, UNSET, UNSET, UNSET, false, false},
        {{"-p", "-1"}, -1, {"  invalid print interval number"}, UNSET, UNSET, UNSET, UNSET, false, false},
        // Unreadable numbers end the reading at once: later arguments are not
        // examined.
        {{"-n", "x", "-q"}, -1, {missing_value}, UNSET, UNSET, UNSET, UNSET, false, false},
        {{"-f", "a", "-n", "5"}, -1, {missing_value}, UNSET, UNSET, UNSET, UNSET, false, false},
        // More than a 32-bit count holds.
        {{"-n", "9999999999"}, -1, {missing_value}, UNSET, UNSET, UNSET, UNSET, false, false},
        // -n as the last argument has no value: a counted error.
        {{"-q", "-n"}, -1, {unknown, missing_value}, UNSET, UNSET, UNSET, UNSET, false, false},
        // File-name options.
        {{"-o"}, -1, {missing_name}, UNSET, UNSET, UNSET, UNSET, false, false},
        {{"-o", "-n", "5"}, -1, {missing_name, unknown}, UNSET, UNSET, UNSET, UNSET, false, false},
        {{"case.dat"}, -1, {unknown}, UNSET, UNSET, UNSET, UNSET, false, false},
        {{"-", "-5", ""}, -1, {unknown, unknown, unknown}, UNSET, UNSET, UNSET, UNSET, false, false},
        // Every error of one command line is reported.
        {{"-x", "-n", "0", "-f", "9", "-i"}, -1,
         {unknown, "  invalid iteration number", "  invalid restart option", missing_name},
         9, UNSET, UNSET, UNSET, false, false},
    };

    for (const Row& r : rows) {
        std::string joined;
        for (const std::string& a : r.args) joined += " [" + a + "]";
        SCOPED_TRACE("arguments:" + joined);
        // Leftovers of the previous row must not show through.
        runflags.AUTORUN = !r.autorun;
        CaptureSink console;
        EXPECT_EQ(run_prog_init(r.args, console), r.result);
        EXPECT_EQ(console.lines(), r.lines);
        EXPECT_EQ(runctl.RESTART, r.restart);
        EXPECT_EQ(pbtable.NITER, r.niter);
        EXPECT_EQ(pbtable.NSAVE, r.nsave);
        EXPECT_EQ(pbtable.NPRINT, r.nprint);
        EXPECT_EQ(runflags.AUTORUN, r.autorun);
        EXPECT_EQ(runflags.GOFLAG, r.goflag);
        EXPECT_TRUE(runflags.NEWFIELDS);
        EXPECT_EQ(fs::current_path(), start_dir_);
    }
}

TEST_F(ProgInit, FileNames) {
    CaptureSink console;
    ASSERT_EQ(run_prog_init({"-input", "room.dat", "-C", "room.ctl", "-Out", "saved", "-r", "log.txt"}, console), 0);
    EXPECT_EQ(filenames.INFILE.trimmed(), "room.dat");
    EXPECT_EQ(filenames.CTLFILE.trimmed(), "room.ctl");
    EXPECT_EQ(filenames.OUTFILE.trimmed(), "saved");
    EXPECT_EQ(filenames.RESFILE.trimmed(), "log.txt");
    EXPECT_EQ(filenames.OUTFILE.padded(), "saved" + std::string(PaddedName::LENGTH - 5, ' '));

    // A later call starts from the defaults again.
    ASSERT_EQ(run_prog_init({}, console), 0);
    EXPECT_EQ(filenames.INFILE.trimmed(), "INPUT");
    EXPECT_EQ(filenames.OUTFILE.trimmed(), "OUTPUT");
    EXPECT_EQ(filenames.RESFILE.trimmed(), "RESIDUALS");
    EXPECT_EQ(filenames.CTLFILE.trimmed(), "CONTROL");
    EXPECT_EQ(filenames.WORKDIR.trimmed(), ".");
    EXPECT_TRUE(console.lines().empty());
}

// A name longer than a file name holds is refused rather than cut, which
// would name a different file.
TEST_F(ProgInit, OverlongFileNameIsRefused) {
    const std::string longest(PaddedName::LENGTH, 'a');
    CaptureSink console;
    ASSERT_EQ(run_prog_init({"-i", longest}, console), 0);
    EXPECT_EQ(filenames.INFILE.trimmed(), longest);

    console.clear();
    EXPECT_EQ(run_prog_init({"-i", longest + "b", "-n", "5"}, console), -1);
    EXPECT_EQ(console.lines(), Strings{"  file name longer than 255 characters after option -i"});
    EXPECT_EQ(filenames.INFILE.trimmed(), "INPUT");
    EXPECT_EQ(pbtable.NITER, 5);   // the value was used up, the next option still read
}

TEST_F(ProgInit, WorkingDirectory) {
    const fs::path dir = make_temp_dir();
    CaptureSink console;

    EXPECT_EQ(run_prog_init({"-D", "."}, console), 0);
    EXPECT_EQ(fs::current_path(), start_dir_);

    EXPECT_EQ(run_prog_init({"-d", (dir / "absent").string()}, console), -1);
    EXPECT_EQ(console.lines(), Strings{" problem changing to working directory"});
    EXPECT_EQ(fs::current_path(), start_dir_);

    console.clear();
    EXPECT_EQ(run_prog_init({"-d", dir.string()}, console), 0);
    EXPECT_TRUE(console.lines().empty());
    EXPECT_EQ(fs::current_path(), dir);
    fs::current_path(start_dir_);

    // A counted error still changes the directory ...
    EXPECT_EQ(run_prog_init({"-d", dir.string(), "-x"}, console), -1);
    EXPECT_EQ(fs::current_path(), dir);
    fs::current_path(start_dir_);

    // ... an unreadable number ends before it.
    EXPECT_EQ(run_prog_init({"-d", dir.string(), "-n", "x"}, console), -1);
    EXPECT_EQ(fs::current_path(), start_dir_);
}

void (*installed_handler(int signo))(int) {
    struct sigaction current {};
    sigaction(signo, nullptr, &current);
    return current.sa_handler;
}

TEST_F(ProgInit, SignalHandlersOnlySetFlags) {
    signal(SIGINT, SIG_DFL);
    signal(SIGUSR1, SIG_DFL);
    CaptureSink console;

    // Not installed when the reading ends at an unreadable number.
    EXPECT_EQ(run_prog_init({"-p", "?"}, console), -1);
    EXPECT_EQ(installed_handler(SIGINT), SIG_DFL);
    EXPECT_EQ(installed_handler(SIGUSR1), SIG_DFL);

    // Installed even when errors were counted.
    EXPECT_EQ(run_prog_init({"-x"}, console), -1);
    EXPECT_EQ(installed_handler(SIGINT), &ctrlc_handlr);
    EXPECT_EQ(installed_handler(SIGUSR1), &sigusr1_handlr);

    ASSERT_EQ(run_prog_init({}, console), 0);
    EXPECT_EQ(runflags.CTRLCFLAG, 0);
    EXPECT_EQ(runflags.USR1FLAG, 0);
    raise(SIGUSR1);
    EXPECT_EQ(runflags.USR1FLAG, 1);
    EXPECT_EQ(runflags.CTRLCFLAG, 0);
    raise(SIGINT);
    EXPECT_EQ(runflags.CTRLCFLAG, 1);

    // Start-up clears them.
    ASSERT_EQ(run_prog_init({}, console), 0);
    EXPECT_EQ(runflags.CTRLCFLAG, 0);
    EXPECT_EQ(runflags.USR1FLAG, 0);
}

TEST(EngineVersion, FifteenCharacters) {
    EXPECT_EQ(EVERSION(), " engine: V1.4 h");
    EXPECT_EQ(EVERSION().size(), 15u);
}

}  // namespace
}  // namespace tarvex
