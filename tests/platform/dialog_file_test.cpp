// The system file dialog behind the file-dialog routines, driven as a user
// would: what it lists and asks, and that it leaves the current directory.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>
#include <string>

#include "platform/dialog.h"
#include "platform/dialog_file.h"

namespace tarvex::platform {
namespace {

// Once the dialog is up: look at it, then let `answer` finish it.
void when_file_dialog_opens(std::function<void(QFileDialog*)> answer) {
    QTimer::singleShot(0, qApp, [answer = std::move(answer)] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        answer(dialog);
    });
}

TEST(SystemFileDialog, ListsEveryFileAsksNoQuestionAndLeavesTheCurrentDirectory) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile input(dir.filePath("INPUT"));
    ASSERT_TRUE(input.open(QIODevice::WriteOnly));
    input.close();
    const QString cwd = QDir::currentPath();

    FileRequest r;
    r.mode = FileDialogMode::save;
    r.filters = {{"All Files", "*.*"}, {"Data Files", "*.dat"}};
    r.default_extension = "dat";
    r.initial_name = dir.filePath("INPUT").toStdString();

    bool open_meanwhile = false;
    when_file_dialog_opens([&](QFileDialog* d) {
        open_meanwhile = modal_dialog_open();
        EXPECT_EQ(d->nameFilters(), (QStringList{"All Files (*)", "Data Files (*.dat)"}));
        EXPECT_EQ(d->selectedNameFilter(), "All Files (*)");
        EXPECT_EQ(d->acceptMode(), QFileDialog::AcceptSave);
        EXPECT_TRUE(d->testOption(QFileDialog::DontConfirmOverwrite));
        EXPECT_EQ(d->directory().absolutePath(), dir.path());
        static_cast<QDialog*>(d)->accept();   // the existing INPUT, proposed
    });
    std::string path;
    ASSERT_TRUE(run_file_dialog(r, path));
    EXPECT_TRUE(open_meanwhile);
    EXPECT_FALSE(modal_dialog_open());
    EXPECT_EQ(path, dir.filePath("INPUT").toStdString());

    // A new name typed in another folder: the extension is added and the
    // process's current directory stays where it was.
    QDir(dir.path()).mkdir("other");
    r.mode = FileDialogMode::open;
    r.initial_name.clear();
    when_file_dialog_opens([&](QFileDialog* d) {
        EXPECT_EQ(d->acceptMode(), QFileDialog::AcceptOpen);
        d->setDirectory(dir.filePath("other"));
        d->selectFile("case7");
        static_cast<QDialog*>(d)->accept();
    });
    ASSERT_TRUE(run_file_dialog(r, path));
    EXPECT_EQ(path, QDir(dir.filePath("other")).filePath("case7.dat").toStdString());
    EXPECT_EQ(QDir::currentPath(), cwd);

    when_file_dialog_opens([](QFileDialog* d) { d->reject(); });
    path = "unchanged";
    EXPECT_FALSE(run_file_dialog(r, path));
    EXPECT_EQ(path, "unchanged");
}

}  // namespace
}  // namespace tarvex::platform
