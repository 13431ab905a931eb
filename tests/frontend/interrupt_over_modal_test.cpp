// F11 during a run while a modal window of the GUI thread is open over the
// domain viewer (its Plot Options, the picture's Save As, the question before
// a picture replaces a file): the key release reaches the window as the user
// makes it, the stop is asked at once, and the run ends "Run Interrupted"
// once the window is closed. The other keys stay the modal window's.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <functional>
#include <string>

#include "plotviewer_fixture.h"
#include "frontend/dlg_viewdomain.h"
#include "frontend/runstate.h"
#include "frontend/viewdlg.h"
#include "frontend/winmain.h"
#include "frontend/winmenu.h"
#include "platform/app.h"
#include "platform/dialog.h"
#include "platform/hooks.h"
#include "platform/menu.h"

namespace tarvex {
namespace {

using namespace plot_ctl;
using testing::PictureChooser;
using testing::write_text;

class InterruptOverModalTest : public testing::PlotViewerTest {
protected:
    InterruptOverModalTest() { view_items_ = {{"D&omain data F9", [] { VIEWDOMAINPROC(); }, 9}}; }

    // What was seen while the modal window was open, after F11.
    struct Seen {
        bool modal = false;        // a modal window was found
        bool still_running = false;
        int stop = 0;
        std::string status;
        bool interrupt_enabled = true;
    };

    // Once a modal window is up: F11 released on it (and F5, F12 before it,
    // which must do nothing), what that did, then Escape to close it.
    void act_on_modal_window(Seen& seen) {
        auto* poll = new QTimer(qApp);
        poll->setInterval(5);
        QObject::connect(poll, &QTimer::timeout, [poll, &seen] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal) return;
            poll->stop();
            poll->deleteLater();
            seen.modal = true;
            QTest::keyRelease(modal, Qt::Key_F5);
            QTest::keyRelease(modal, Qt::Key_F12);
            QTest::keyRelease(modal, Qt::Key_F11);
            seen.still_running = runstate.IRUNNING.load() != 0;
            seen.stop = runstate.ISTOPRUN.load();
            seen.status = platform::status_text();
            platform::MenuItemInfo info;
            seen.interrupt_enabled =
                platform::menu_item_info(menu_pos::FILE_MENU, menu_pos::INTERRUPT, info) && info.enabled;
            QTest::keyClick(modal, Qt::Key_Escape);
        });
        poll->start();
    }

    // A run of many iterations (each 200 ms longer with the viewer open).
    void start_long_run() {
        runflags.AUTORUN = true;
        runctl.RESTART = 0;
        pbtable.NITER = 500;
        pbtable.NSAVE = 500;
        pbtable.NPRINT = 10;
        console_.clear();
        STARTWORKPROC();
        ASSERT_EQ(runstate.IRUNNING.load(), 1);
    }
};

TEST_F(InterruptOverModalTest, F11EndsTheRunWhileAModalWindowIsOpen) {
    struct Case {
        const char* window;
        std::function<void()> open;   // opens it on the GUI thread; returns once it is closed
    };
    PictureChooser* chooser = nullptr;
    const Case cases[] = {
        {"Plot Options", [] { press(OPTIONS); }},
        {"the picture's Save As", [] { press(SAVE_IMAGE); }},
        {"the replace question",
         [&chooser] {
             write_text("Pic_0003.BMP", "an older picture");
             chooser->answer({"Pic_0003.BMP", nullptr});   // the name of a file, then Cancel
             press(SAVE_IMAGE);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.window);
        // The system's file dialog for Save As; a scripted one for the
        // question, which is the real message box.
        std::unique_ptr<PictureChooser> scripted;
        if (std::string(c.window) == "the replace question") scripted = std::make_unique<PictureChooser>();
        chooser = scripted.get();

        viewctl.IPLOT = 2;
        VIEWDOMAINPROC();
        ASSERT_TRUE(viewdlg.VIEWDOMOPEN);
        start_long_run();
        Seen seen;
        act_on_modal_window(seen);
        c.open();
        ASSERT_TRUE(seen.modal);
        EXPECT_TRUE(seen.still_running);
        EXPECT_EQ(seen.stop, 1);
        EXPECT_EQ(seen.status, "..interrupted..");
        EXPECT_FALSE(seen.interrupt_enabled);

        finish_run();
        const RunReport report = last_run_report();
        EXPECT_EQ(report.ending, RunEnding::Interrupted);
        EXPECT_LT(report.records.empty() ? 0 : report.records.back(), 500);
        EXPECT_TRUE(console_has(" Run Interrupted")) << console_text();
        // F5 and F12 did nothing: no file dialog came of F5, no second run.
        if (scripted) {
            EXPECT_EQ(scripted->proposed.size(), 2u);   // the two showings of Save As
        }
        EXPECT_EQ(platform::status_text(), "idle");
        press(CLOSE);
        ASSERT_FALSE(viewdlg.VIEWDOMOPEN);
    }
}

// Outside a run F11 is as any other key while a modal window is open: left
// to the window.
TEST_F(InterruptOverModalTest, F11OutsideARunIsTheModalWindowsKey) {
    platform::ModalScope modal;
    EXPECT_FALSE(platform::deliver_function_key(11));
    EXPECT_EQ(runstate.ISTOPRUN.load(), 0);
    runstate.IRUNNING = 1;   // a run as far as the keys can tell
    EXPECT_TRUE(platform::deliver_function_key(11));
    EXPECT_EQ(runstate.ISTOPRUN.load(), 1);
    for (int key : {3, 4, 5, 6, 9, 10, 12}) EXPECT_FALSE(platform::deliver_function_key(key)) << key;
    runstate.IRUNNING = 0;
    runstate.ISTOPRUN = 0;
}

}  // namespace
}  // namespace tarvex
