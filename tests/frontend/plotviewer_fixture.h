// The fixture the plot viewers' tests share: the small test case loaded, the
// run driver's viewer hooks installed, and helpers that work the open
// viewer's dialog (shared record DLGVIEW) and read its window (channel 99);
// a scripted file chooser for pictures; a holder of the field lock standing
// in for a run inside its solver.
#pragma once

#include <QAbstractButton>
#include <QLineEdit>
#include <QTest>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "aircalc_fixture.h"
#include "common/channels.h"
#include "engine/data.h"
#include "engine/engine.h"
#include "frontend/calc/viewstate.h"
#include "frontend/dlg_plotwindow.h"
#include "frontend/dlg_viewdomain.h"
#include "frontend/viewdlg.h"
#include "frontend/winfile.h"
#include "frontend/winmain.h"
#include "frontend/winwrapper.h"
#include "platform/app.h"
#include "platform/dialog.h"
#include "platform/dialog_file.h"
#include "platform/dialog_qt.h"
#include "platform/window.h"

namespace tarvex {
namespace testing {

using namespace plot_ctl;
using platform::Window;

constexpr std::uint32_t BLACK = 0x000000;   // scheme 4 on screen: background
constexpr std::uint32_t WHITE = 0xFFFFFF;   // and text
constexpr std::uint32_t EDGE = platform::bgr(160, 0, 0);
constexpr std::uint32_t POISON = platform::bgr(1, 2, 3);   // no redraw paints this

// Answers the file dialogs from a script (nullptr: Cancel) and notes the
// name each showing proposed.
class PictureChooser : public platform::FileChooser {
public:
    PictureChooser() { platform::set_file_chooser(this); }
    ~PictureChooser() override { platform::set_file_chooser(nullptr); }
    void answer(std::vector<const char*> names) {
        names_ = std::move(names);
        next_ = 0;
    }
    bool choose(const platform::FileRequest& request, std::string& name) override {
        proposed.push_back(name);
        extensions.push_back(request.default_extension);
        if (next_ >= names_.size() || names_[next_] == nullptr) {
            ++next_;
            return false;
        }
        name = names_[next_++];
        return true;
    }
    void refuse(const platform::FileRequest&, const std::string& message) override { refusals.push_back(message); }
    std::vector<std::string> proposed, extensions, refusals;

private:
    std::vector<const char*> names_;
    size_t next_ = 0;
};

// The plot viewers on the small test case (4 x 3 x 2 cells, 4 m by 3 m by
// 2.5 m), with helpers that work the open viewer's dialog as a user does.
class PlotViewerTest : public testing::ProgramTest {
protected:

    void SetUp() override {
        ProgramTest::SetUp();
        VER_INIT();
        viewwin = VIEWWIN{};   // as at program start
        set_plot_viewer_refresh(PLOT_VIEWER_REFRESH);
        set_plot_viewer_catch_up(PLOT_VIEWER_CATCH_UP);
        NPIC = 0;
        ASSERT_EQ(AIRSTAGE1(), 0);   // 4 x 3 x 2 cells, 4 m by 3 m by 2.5 m
        runstate.GEOMOK = true;
    }
    void TearDown() override {
        finish_run();
        if (viewdlg.VIEWDOMOPEN || viewdlg.VIEWGRIDOPEN) {
            viewdlg.VIEWDOMBUSY = false;
            viewdlg.VIEWGRIDBUSY = false;
            press(CLOSE);
        }
        set_plot_viewer_catch_up({});
        ProgramTest::TearDown();
    }

    static platform::Dialog& dlg() { return viewdlg.DLGVIEW; }
    static QWidget* control(int id) { return platform::dialog_control(dlg(), id); }
    // A click as the user makes it: nothing when the control is disabled.
    static void press(int id) { qobject_cast<QAbstractButton*>(control(id))->click(); }
    static void type(int id, const char* text) {
        auto* edit = qobject_cast<QLineEdit*>(control(id));
        edit->selectAll();
        if (*text) QTest::keyClicks(edit, text);
        else QTest::keyClick(edit, Qt::Key_Backspace);
    }
    static std::string field(int id) { return qobject_cast<QLineEdit*>(control(id))->text().toStdString(); }
    static bool enabled(int id) { return control(id)->isEnabled(); }
    static bool checked(int id) { return qobject_cast<QAbstractButton*>(control(id))->isChecked(); }
    static std::string label(int id) {
        std::string text;
        dlg().get_text(id, text, 1);
        return text;
    }
    static std::uint32_t pixel(int x, int y) { return Window(CH_VIEW).pixel(x, y); }
    static std::string title() { return std::string(viewwin.PLTITLE, sizeof viewwin.PLTITLE); }

    // Fills the window with a colour no redraw uses, to see whether one came.
    static void poison() {
        Window w(CH_VIEW);
        const std::uint32_t old = w.set_bk_color_rgb(POISON);
        w.clear();
        w.set_bk_color_rgb(old);
    }
    // Every pixel of the drawing area is the background: nothing was drawn.
    static bool cleared() {
        for (int y = 0; y <= viewctl.NYPIX; y += 3)
            for (int x = 0; x <= viewctl.NXPIX; x += 3)
                if (pixel(x, y) != BLACK) return false;
        return true;
    }
    // Places the window at a known size in character cells.
    static void place_window(int width, int height) {
        Window(CH_VIEW).set_place({platform::WindowState::Place, 0, 0, width, height});
    }
    // Runs fn on a thread of its own, as the calculation thread would, while
    // serving the GUI.
    static void from_other_thread(const std::function<void()>& fn) {
        std::atomic<bool> done{false};
        std::thread t([&] {
            fn();
            done = true;
        });
        while (!done) {
            pump();
            platform::sleep_ms(1);
        }
        t.join();
        pump();
    }
};

// Holds the field lock on a thread of its own, as a run does inside SOLVE.
class FieldLockHolder {
public:
    FieldLockHolder()
        : thread_([this] {
              std::unique_lock<std::mutex> fields_locked(field_lock);
              std::unique_lock<std::mutex> lock(mutex_);
              held_ = true;
              cv_.notify_all();
              cv_.wait(lock, [this] { return release_; });
          }) {
        std::unique_lock<std::mutex> lock(mutex_);
        cv_.wait(lock, [this] { return held_; });
    }
    ~FieldLockHolder() { release(); }
    void release() {
        if (!thread_.joinable()) return;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            release_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool held_ = false, release_ = false;
    std::thread thread_;
};

}  // namespace testing
}  // namespace tarvex
