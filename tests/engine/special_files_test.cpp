// What the three readers (case, control and saved-data file) do with a name
// that is not a readable regular file: a named pipe, a directory, a device,
// a link to a pipe, a missing file, an empty file. Each is refused at once,
// with a message that names the file and says what it is; a pipe must never
// keep a reader waiting for a writer.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "common/channels.h"
#include "common/names.h"
#include "engine/engine.h"

namespace tarvex {
namespace {

namespace fs = std::filesystem;

class SpecialFiles : public ::testing::Test {
protected:
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "tarvex-special-XXXXXX").string();
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
        ASSERT_EQ(::mkfifo(path("pipe").c_str(), 0600), 0);
        fs::create_directory(path("folder"));
        fs::create_symlink(path("pipe"), path("link to pipe"));
        std::ofstream(path("empty"), std::ios::binary).close();
    }
    void TearDown() override {
        ::alarm(0);
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    std::string path(const char* name) const { return (dir_ / name).string(); }

    struct Row {
        const char* what;
        std::string name;
        std::vector<std::string> lines;   // expected among the console lines, in this order
    };

    // The rows every reader shares; `open_lines` gives a reader's lines for
    // a file it cannot open, `empty_lines` its lines for the empty file.
    std::vector<Row> rows(const std::function<std::vector<std::string>(const std::string&, const std::string&)>& open_lines,
                          const std::vector<std::string>& empty_lines) const {
        return {
            {"a named pipe", path("pipe"), open_lines(path("pipe"), "(not a regular file: a named pipe)")},
            {"a link to a named pipe", path("link to pipe"),
             open_lines(path("link to pipe"), "(not a regular file: a named pipe)")},
            {"a directory", path("folder"), open_lines(path("folder"), "(not a regular file: a directory)")},
            {"a device", "/dev/null", open_lines("/dev/null", "(not a regular file: a device)")},
            {"a missing file", path("missing"), open_lines(path("missing"), "(No such file or directory)")},
            {"an empty file", path("empty"), empty_lines},
        };
    }

    // Runs the reader on each row. A reader that waited on the pipe would
    // hang: the alarm turns that into a failure of the test program.
    void check(const std::vector<Row>& table, const std::function<int(const std::string&)>& read) {
        for (const Row& row : table) {
            SCOPED_TRACE(row.what);
            CaptureSink console;
            ScopedChannelSink bind(CH_CONSOLE, &console);
            ::alarm(20);
            EXPECT_EQ(read(row.name), -1);
            ::alarm(0);
            const std::vector<std::string> got = console.lines();
            std::size_t at = 0;
            for (const std::string& want : row.lines) {
                while (at < got.size() && got[at] != want) ++at;
                EXPECT_LT(at, got.size()) << "missing line \"" << want << "\"\n" << console.text();
            }
            EXPECT_FALSE(fs::exists(path("missing")));   // no reader creates a file
        }
    }

    fs::path dir_;
};

TEST_F(SpecialFiles, CaseReader) {
    const auto open_lines = [](const std::string& name, const std::string& why) {
        return std::vector<std::string>{"  error opening data file :", " " + name, " " + why};
    };
    const std::string empty = path("empty");
    check(rows(open_lines, {"  error reading data file :", " " + empty}), [](const std::string& name) {
        filenames.INFILE.assign(name);
        return INPUT0();
    });
}

TEST_F(SpecialFiles, ControlReader) {
    const auto padded = [](const std::string& name) { return std::string(PaddedName(name).padded()); };
    const auto open_lines = [&padded](const std::string& name, const std::string& why) {
        return std::vector<std::string>{"  error opening control file", " " + padded(name), " " + why};
    };
    check(rows(open_lines, {"  unexpected end of input file", " " + std::string(" in header") + std::string(40, ' '),
                            "  at line number  1"}),
          [](const std::string& name) {
              filenames.CTLFILE.assign(name);
              return INPUT1();
          });
}

TEST_F(SpecialFiles, SavedDataReader) {
    ASSERT_EQ(SETUP_ARRAY(2, 2, 2), 0);
    const auto open_lines = [](const std::string& name, const std::string& why) {
        return std::vector<std::string>{" reading restart data from disc",
                                        " restart file open error " + name + " " + why};
    };
    check(rows(open_lines, {" reading restart data from disc",
                            " restart data error in file " + path("empty") +
                                " line 1: the file ends before the grid data is complete"}),
          [](const std::string& name) { return INDSK(PaddedName(name)); });
}

}  // namespace
}  // namespace tarvex
