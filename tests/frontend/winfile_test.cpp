// The three file dialogs, answered by a scripted chooser: filters, default
// extensions, the names they propose, and the paths they refuse.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/names.h"
#include "frontend/winfile.h"
#include "platform/dialog_file.h"

namespace tarvex {
namespace {

using platform::FileDialogMode;
using platform::FileRequest;

// Answers each showing from a script: a name, or nullopt for Cancel.
class ScriptedChooser : public platform::FileChooser {
public:
    explicit ScriptedChooser(std::vector<std::optional<std::string>> answers) : answers_(std::move(answers)) {
        platform::set_file_chooser(this);
    }
    ~ScriptedChooser() override { platform::set_file_chooser(nullptr); }

    bool choose(const FileRequest& request, std::string& name) override {
        requests.push_back(request);
        proposed.push_back(name);
        if (requests.size() > answers_.size() || !answers_[requests.size() - 1]) return false;
        name = *answers_[requests.size() - 1];
        return true;
    }
    void refuse(const FileRequest&, const std::string& message) override { refusals.push_back(message); }

    std::vector<FileRequest> requests;
    std::vector<std::string> proposed;
    std::vector<std::string> refusals;

private:
    std::vector<std::optional<std::string>> answers_;
};

class WinFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        reset_file_dialog_names();
        touch("INPUT");
        touch("OUTPUT");
    }
    std::string path(const std::string& name) const { return dir.filePath(QString::fromStdString(name)).toStdString(); }
    void touch(const std::string& name) const {
        QFile f(QString::fromStdString(path(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    QTemporaryDir dir;
};

using Routine = int (*)(PaddedName&);

TEST_F(WinFileTest, EachRoutineHasItsModeFiltersAndDefaultExtension) {
    struct Case {
        const char* label;
        Routine routine;
        FileDialogMode mode;
        std::vector<std::pair<std::string, std::string>> filters;
        std::string extension;
    };
    const Case cases[] = {
        {"open", FILEOPENDLG, FileDialogMode::open, {{"All Files", "*.*"}, {"Data Files", "*.txt"}}, "dat"},
        {"save", FILESAVEDLG, FileDialogMode::save, {{"All Files", "*.*"}, {"Data Files", "*.dat"}}, "dat"},
        {"picture", PICOPENDLG, FileDialogMode::save, {{"Bitmap Files", "*.bmp"}, {"All Files", "*.*"}}, "bmp"},
    };
    for (const Case& c : cases) {
        ScriptedChooser chooser({std::nullopt});
        PaddedName name("UNCHANGED");
        EXPECT_EQ(c.routine(name), -1) << c.label;
        EXPECT_EQ(name.trimmed(), "UNCHANGED") << c.label;
        ASSERT_EQ(chooser.requests.size(), 1u) << c.label;
        const FileRequest& r = chooser.requests[0];
        EXPECT_EQ(r.mode, c.mode) << c.label;
        ASSERT_EQ(r.filters.size(), c.filters.size()) << c.label;
        for (size_t i = 0; i < c.filters.size(); ++i) {
            EXPECT_EQ(r.filters[i].description, c.filters[i].first) << c.label;
            EXPECT_EQ(r.filters[i].pattern, c.filters[i].second) << c.label;
        }
        EXPECT_EQ(r.filter_index, 1) << c.label;
        EXPECT_EQ(r.default_extension, c.extension) << c.label;
        EXPECT_EQ(r.max_length, 255) << c.label;
    }
    // "*.*" is listed as every file, so names without an extension show.
    EXPECT_EQ(platform::filter_text({"All Files", "*.*"}), "All Files (*)");
    EXPECT_EQ(platform::filter_text({"Data Files", "*.txt"}), "Data Files (*.txt)");
}

TEST_F(WinFileTest, DefaultExtensionOnlyForNamesThatDoNotExist) {
    struct Case {
        Routine routine;
        std::string typed;
        std::string chosen;
    };
    const Case cases[] = {
        {FILEOPENDLG, "INPUT", "INPUT"},           // exists: not renamed
        {FILEOPENDLG, "case1", "case1.dat"},       // need not exist; its folder must
        {FILEOPENDLG, "case1.txt", "case1.txt"},   // has an extension
        {FILESAVEDLG, "OUTPUT", "OUTPUT"},         // existing file taken as it is, no question
        {FILESAVEDLG, "run2", "run2.dat"},
        {PICOPENDLG, "shot", "shot.bmp"},
        {PICOPENDLG, "Pic_0001.BMP", "Pic_0001.BMP"},
    };
    for (const Case& c : cases) {
        ScriptedChooser chooser({path(c.typed)});
        PaddedName name;
        EXPECT_EQ(c.routine(name), 0) << c.typed;
        EXPECT_EQ(name.trimmed(), path(c.chosen)) << c.typed;
        EXPECT_TRUE(chooser.refusals.empty()) << c.typed;
    }
}

TEST_F(WinFileTest, OpenAndSaveProposeTheirOwnLastChoicePictureTheCallersName) {
    ScriptedChooser chooser({path("INPUT"), path("CONTROL"), std::nullopt, path("OUTPUT"), path("p1.bmp"),
                             std::nullopt});
    PaddedName a, b, c, d, e;
    EXPECT_EQ(FILEOPENDLG(a), 0);
    EXPECT_EQ(FILEOPENDLG(b), 0);
    PaddedName kept(path("keep"));
    EXPECT_EQ(FILEOPENDLG(kept), -1);
    EXPECT_EQ(kept.trimmed(), path("keep"));
    EXPECT_EQ(FILESAVEDLG(c), 0);
    PaddedName pic("Pic_0002.BMP");
    EXPECT_EQ(PICOPENDLG(pic), 0);
    EXPECT_EQ(pic.trimmed(), path("p1.bmp"));
    PaddedName pic2("Pic_0003.BMP");
    EXPECT_EQ(PICOPENDLG(pic2), -1);
    EXPECT_EQ(pic2.trimmed(), "Pic_0003.BMP");
    EXPECT_EQ(chooser.proposed, (std::vector<std::string>{"", path("INPUT"), path("CONTROL.dat"), "",
                                                          "Pic_0002.BMP", "Pic_0003.BMP"}));
}

TEST_F(WinFileTest, PathsThatCannotBeUsedAreRefusedAndTheDialogComesBack) {
    // A path of exactly 255 characters fits; one more does not, and is not cut.
    const std::string folder = path(std::string(120, 'd'));
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder)));
    const std::string fits = folder + "/" + std::string(255 - folder.size() - 1 - 4, 'f') + ".dat";
    ASSERT_EQ(fits.size(), 255u);
    const std::string too_long = folder + "/" + std::string(255 - folder.size() - 4, 'f') + ".dat";
    const std::string missing = path("nowhere/case.dat");

    ScriptedChooser chooser({too_long, missing, fits});
    PaddedName name("OLD");
    EXPECT_EQ(FILESAVEDLG(name), 0);
    EXPECT_EQ(name.trimmed(), fits);
    EXPECT_EQ(chooser.refusals, (std::vector<std::string>{platform::too_long_message(too_long, 255),
                                                          platform::missing_folder_message(missing)}));
    // After a refusal the dialog proposes what was refused, to be corrected.
    ASSERT_EQ(chooser.proposed.size(), 3u);
    EXPECT_EQ(chooser.proposed[1], too_long);

    ScriptedChooser again({too_long, std::nullopt});
    PaddedName other("OLD");
    EXPECT_EQ(FILEOPENDLG(other), -1);
    EXPECT_EQ(other.trimmed(), "OLD");
    EXPECT_EQ(again.refusals.size(), 1u);
    EXPECT_EQ(platform::too_long_message("x", 255), "x\nThis path is longer than 255 characters. Please choose a shorter one.");
}

TEST_F(WinFileTest, RelativeNamesResolveInTheCurrentDirectoryWhichStays) {
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    ScriptedChooser chooser({"INPUT"});
    PaddedName name;
    EXPECT_EQ(FILEOPENDLG(name), 0);
    EXPECT_EQ(name.trimmed(), QDir(dir.path()).filePath("INPUT").toStdString());
    EXPECT_EQ(QDir::currentPath(), dir.path());
    QDir::setCurrent(before);
}

}  // namespace
}  // namespace tarvex
