// The dialog module: values, callbacks, spin buttons, key routing, modal and
// modeless runs, pages, and modal runs asked for from another thread.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/dialog.h"
#include "platform/dialog_qt.h"
#include "platform/dialog_template.h"
#include "platform/app.h"
#include "platform/gui_thread.h"
#include "platform/hooks.h"
#include "platform/internal.h"

namespace tarvex::platform {
namespace {

const char* const kTestDialog = R"(
dialog 9001
caption "Test"
size 200 120
style caption sysmenu
edit   100 ""        10 10 40 12 border tabstop
spin   101 ""        50 10 10 12 wrap arrowkeys
edit   102 ""        10 30 40 12 border tabstop
spin   103 ""        50 30 10 12 alignright
check  110 "Check"   10 50 50 10 tabstop
radio  111 "A"       70 50 30 10 group
radio  112 "B"       70 60 30 10
radio  113 "C"       120 50 30 10 group
label  120 "label"   10 70 50 8 group
tab    130 ""        100 70 90 25
button 1   "OK"      10 100 40 14 default
button 2   "Cancel"  60 100 40 14
button 3   "Apply"   110 100 40 14
)";

const char* const kPage = R"(
dialog 9002
size 80 20
style child
label  10 "page"    2 2 40 8
edit   11 ""        2 10 40 10
)";

DialogTemplate parsed(const char* text) {
    DialogTemplate t;
    std::string error;
    EXPECT_TRUE(parse_dialog_template(text, "test.dlg", t, error)) << error;
    return t;
}

QLineEdit* line_edit(const Dialog& d, int id) { return qobject_cast<QLineEdit*>(dialog_control(d, id)); }

std::string text_of(const Dialog& d, int id, int length) {
    std::string s;
    EXPECT_TRUE(d.get_text(id, s, length));
    return s;
}

void click_spin(const Dialog& d, int id, const char* which) {
    QWidget* spin = dialog_control(d, id);
    ASSERT_NE(spin, nullptr);
    auto* button = spin->findChild<QToolButton*>(QString::fromLatin1(which));
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
}

// Runs the dialog modally; `script` runs once the local event loop is going.
int run_with(Dialog& d, std::function<void()> script) {
    QTimer::singleShot(0, qApp, std::move(script));
    return d.run_modal();
}

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(d.init(parsed(kTestDialog))) << d.last_error(); }
    Dialog d;
};

TEST_F(DialogTest, TextsComeBackBlankPaddedOrCut) {
    ASSERT_TRUE(d.set_text(100, "abc"));
    EXPECT_EQ(text_of(d, 100, 6), "abc   ");
    EXPECT_EQ(text_of(d, 100, 2), "ab");
    EXPECT_EQ(text_of(d, 120, 8), "label   ");
    ASSERT_TRUE(d.set_text(100, ""));
    EXPECT_EQ(text_of(d, 100, 3), "   ");

    std::string s = "unchanged";
    EXPECT_FALSE(d.get_text(999, s, 5));          // no such control
    EXPECT_FALSE(d.get_text(101, s, 5));          // a spin button has no text
    EXPECT_FALSE(d.set_text(100, Attr::range_min, "1"));
    EXPECT_EQ(s, "unchanged");
    long long v = 0;
    EXPECT_FALSE(d.set_int(100, Attr::position, 3));
    EXPECT_FALSE(d.get_int(100, Attr::position, v));
    bool b = false;
    EXPECT_FALSE(d.set_logical(100, Attr::state, true));   // an edit field has no checked state
    EXPECT_TRUE(d.set_logical(100, Attr::enabled, false));
    ASSERT_TRUE(d.get_logical(100, Attr::enabled, b));
    EXPECT_FALSE(b);
}

TEST_F(DialogTest, SettingTextFromTheProgramFiresNothingTypingFiresEachChange) {
    std::vector<std::string> seen;
    ASSERT_TRUE(d.set_callback(100, [&](Dialog& dlg, int id, CallbackKind kind) {
        EXPECT_EQ(id, 100);
        EXPECT_EQ(kind, CallbackKind::changed);
        seen.push_back(text_of(dlg, 100, 4));
    }));
    ASSERT_TRUE(d.show_modeless());
    d.set_text(100, "7");
    EXPECT_TRUE(seen.empty());
    QLineEdit* e = line_edit(d, 100);
    e->clear();
    QTest::keyClicks(e, "12");
    EXPECT_EQ(seen, (std::vector<std::string>{"1   ", "12  "}));
    d.release();
}

// A text set from the program that is wider than its field is shown from its
// first character (its sign stays in view), and the first pixel column of
// the field shows the same as a field holding only the text's first
// characters.
TEST_F(DialogTest, TextWiderThanItsFieldShowsItsStart) {
    ASSERT_TRUE(d.show_modeless());
    QLineEdit* e = line_edit(d, 100);
    ASSERT_TRUE(d.set_text(100, "-0.10000000E-01 and more"));
    EXPECT_EQ(e->cursorPosition(), 0);
    const QImage wide = e->grab().toImage();
    ASSERT_TRUE(d.set_text(100, "-0.1"));
    e->setCursorPosition(0);
    const QImage start = e->grab().toImage();
    const int w = e->fontMetrics().horizontalAdvance(QStringLiteral("-0.1"));
    ASSERT_GT(w, 0);
    ASSERT_LT(w + 4, wide.width());
    EXPECT_EQ(wide.copy(0, 0, w, wide.height()), start.copy(0, 0, w, start.height()));
    d.release();
}

// The spin button reads the number in its buddy, steps it, writes it back and
// fires the buddy's callback as typing would.
TEST_F(DialogTest, SpinStepsItsBuddyAndFiresTheBuddysCallback) {
    struct Case {
        int spin, buddy;       // 101 wraps; 103 stops at the ends
        long long lo, hi, position;
        const char* typed;     // buddy text before the step
        const char* which;     // "up" or "down"
        const char* after;     // buddy text after the step
        int fired;             // buddy callbacks
    };
    const Case cases[] = {
        {101, 100, 1, 3, 1, "", "up", "2", 1},       // empty field: steps from the position
        {101, 100, 1, 3, 1, "2", "up", "3", 1},      // steps from what is typed
        {101, 100, 1, 3, 1, "3", "up", "1", 1},      // wraps past the maximum
        {101, 100, 1, 3, 1, "1", "down", "3", 1},    // and past the minimum
        {101, 100, 1, 3, 2, "x", "down", "1", 1},    // unreadable text: from the position
        {101, 100, 1, 3, 2, "9", "up", "3", 1},      // typed value outside the range: from the position
        {103, 102, 1, 3, 1, "3", "up", "3", 0},      // no wrap: stays at the end, nothing fires
        {103, 102, 1, 3, 1, "       2", "down", "1", 1},
        {103, 102, 5, 1, 3, "3", "up", "2", 1},      // reversed range: up goes towards the maximum
    };
    ASSERT_TRUE(d.show_modeless());
    for (const Case& c : cases) {
        int fired = 0;
        std::string seen;
        d.set_callback(c.buddy, [&](Dialog& dlg, int id, CallbackKind) {
            ++fired;
            EXPECT_EQ(id, c.buddy);
            seen = text_of(dlg, c.buddy, 2);
        });
        d.set_int(c.spin, Attr::range_min, c.lo);
        d.set_int(c.spin, Attr::range_max, c.hi);
        d.set_int(c.spin, Attr::position, c.position);
        d.set_text(c.buddy, c.typed);
        click_spin(d, c.spin, c.which);
        EXPECT_EQ(line_edit(d, c.buddy)->text().toStdString(), c.after) << c.typed << " " << c.which;
        EXPECT_EQ(fired, c.fired) << c.typed << " " << c.which;
        if (c.fired) {
            // The callback already sees the new text.
            EXPECT_EQ(seen, std::string(c.after).append(" ").substr(0, 2));
        }
        long long pos = 0;
        ASSERT_TRUE(d.get_int(c.spin, Attr::position, pos));
        EXPECT_EQ(std::to_string(pos), c.after);
    }
    d.release();
}

TEST_F(DialogTest, ArrowKeysInTheBuddyStepTheSpinWhenAsked) {
    int fired = 0;
    d.set_callback(100, [&](Dialog&, int, CallbackKind) { ++fired; });
    d.set_callback(102, [&](Dialog&, int, CallbackKind) { ++fired; });
    for (int spin : {101, 103}) {
        d.set_int(spin, Attr::range_min, 1);
        d.set_int(spin, Attr::range_max, 10);
    }
    ASSERT_TRUE(d.show_modeless());
    d.set_text(100, "4");
    QTest::keyClick(line_edit(d, 100), Qt::Key_Up);
    EXPECT_EQ(line_edit(d, 100)->text(), "5");
    QTest::keyClick(line_edit(d, 100), Qt::Key_Down);
    QTest::keyClick(line_edit(d, 100), Qt::Key_Down);
    EXPECT_EQ(line_edit(d, 100)->text(), "3");
    EXPECT_EQ(fired, 3);
    d.set_text(102, "4");   // spin 103 does not follow the arrow keys
    QTest::keyClick(line_edit(d, 102), Qt::Key_Up);
    EXPECT_EQ(line_edit(d, 102)->text(), "4");
    EXPECT_EQ(fired, 3);
    d.release();
}

TEST_F(DialogTest, AlignedSpinSitsInsideItsBuddysRightEdge) {
    const BaseUnits base = dialog_base_units(d);
    const PxRect edit = du_to_px({10, 30, 40, 12}, base);
    const int spin_w = du_to_px_x(10, base);
    EXPECT_EQ(dialog_control(d, 102)->geometry(), QRect(edit.x, edit.y, edit.w - spin_w, edit.h));
    EXPECT_EQ(dialog_control(d, 103)->geometry(), QRect(edit.x + edit.w - spin_w, edit.y, spin_w, edit.h));
}

// How a modal run ends: Enter presses id 1, Escape id 2, buttons without a
// callback close with their id, the close box acts as Escape.
TEST_F(DialogTest, ModalRunEndsWithTheIdOfTheClosingControl) {
    QLineEdit* e = line_edit(d, 100);
    QWidget* w = dialog_widget(d);
    EXPECT_EQ(run_with(d, [&] { QTest::keyClick(e, Qt::Key_Return); }), 1);
    EXPECT_EQ(run_with(d, [&] { QTest::keyClick(e, Qt::Key_Enter, Qt::KeypadModifier); }), 1);
    EXPECT_EQ(run_with(d, [&] { QTest::keyClick(e, Qt::Key_Escape); }), 2);
    EXPECT_EQ(run_with(d, [&] { QTest::mouseClick(dialog_control(d, 3), Qt::LeftButton); }), 3);
    EXPECT_EQ(run_with(d, [&] { w->close(); }), 2);

    // Enter does nothing while OK is disabled; the close box does nothing when
    // it is switched off.
    d.set_logical(1, Attr::enabled, false);
    d.set_close_box(false);
    EXPECT_EQ(run_with(d, [&] {
        QTest::keyClick(e, Qt::Key_Return);
        w->close();
        EXPECT_TRUE(w->isVisible());
        QTest::keyClick(e, Qt::Key_Escape);
    }), 2);
    d.set_logical(1, Attr::enabled, true);

    // A button with a callback stays open until the callback exits.
    int presses = 0;
    d.set_callback(3, [&](Dialog& dlg, int, CallbackKind) {
        if (++presses == 2) dlg.exit();
    });
    EXPECT_EQ(run_with(d, [&] {
        QTest::mouseClick(dialog_control(d, 3), Qt::LeftButton);
        EXPECT_TRUE(w->isVisible());
        QTest::mouseClick(dialog_control(d, 3), Qt::LeftButton);
    }), 3);
    d.set_callback(2, [&](Dialog& dlg, int, CallbackKind) { dlg.exit(7); });
    EXPECT_EQ(run_with(d, [&] { QTest::keyClick(e, Qt::Key_Escape); }), 7);
    EXPECT_FALSE(w->isVisible());
}

TEST_F(DialogTest, ValuesStayReadableAfterTheDialogClosesUntilRelease) {
    EXPECT_EQ(run_with(d, [&] {
        QTest::keyClicks(line_edit(d, 100), "250");
        QTest::mouseClick(dialog_control(d, 110), Qt::LeftButton);
        QTest::keyClick(line_edit(d, 100), Qt::Key_Return);
    }), 1);
    EXPECT_EQ(text_of(d, 100, 5), "250  ");
    bool checked = false;
    ASSERT_TRUE(d.get_logical(110, Attr::state, checked));
    EXPECT_TRUE(checked);
    d.release();
    EXPECT_FALSE(d.initialised());
    std::string s;
    EXPECT_FALSE(d.get_text(100, s, 5));
    EXPECT_EQ(d.run_modal(), -1);
}

TEST_F(DialogTest, RadioButtonsExcludeEachOtherWithinTheirGroup) {
    auto checked = [&](int id) {
        bool b = false;
        EXPECT_TRUE(d.get_logical(id, Attr::state, b));
        return b;
    };
    int fired = 0;
    d.set_callback(112, [&](Dialog&, int, CallbackKind) { ++fired; });
    d.set_logical(111, Attr::state, true);
    d.set_logical(113, Attr::state, true);   // another group
    EXPECT_TRUE(checked(111) && checked(113));
    d.set_logical(112, Attr::state, true);
    EXPECT_FALSE(checked(111));
    EXPECT_TRUE(checked(112) && checked(113));
    d.set_logical(112, Attr::state, false);   // a group may be left with none checked
    EXPECT_FALSE(checked(111) || checked(112));
    EXPECT_EQ(fired, 0);
    ASSERT_TRUE(d.show_modeless());
    QTest::mouseClick(dialog_control(d, 112), Qt::LeftButton);
    EXPECT_TRUE(checked(112));
    EXPECT_EQ(fired, 1);
    d.release();
}

TEST_F(DialogTest, ShownCallbackRunsOnceAndMayEndTheRun) {
    int shown = 0;
    EXPECT_FALSE(d.set_callback(100, [](Dialog&, int, CallbackKind) {}, CallbackKind::shown));
    ASSERT_TRUE(d.set_callback(9001, [&](Dialog& dlg, int id, CallbackKind kind) {
        ++shown;
        EXPECT_EQ(id, 9001);
        EXPECT_EQ(kind, CallbackKind::shown);
        EXPECT_TRUE(dialog_widget(dlg)->isVisible());
        dlg.exit(5);
    }, CallbackKind::shown));
    EXPECT_EQ(d.run_modal(), 5);
    EXPECT_EQ(run_with(d, [&] { QTest::keyClick(line_edit(d, 100), Qt::Key_Escape); }), 2);
    EXPECT_EQ(shown, 1);
}

TEST_F(DialogTest, ReleaseFromTheDialogsOwnCallback) {
    d.set_callback(3, [&](Dialog& dlg, int, CallbackKind) {
        dlg.exit();
        dlg.release();
    });
    EXPECT_EQ(run_with(d, [&] { QTest::mouseClick(dialog_control(d, 3), Qt::LeftButton); }), 3);
    EXPECT_FALSE(d.initialised());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    // The same record serves again.
    ASSERT_TRUE(d.init(parsed(kTestDialog)));
    EXPECT_EQ(run_with(d, [&] { QTest::keyClick(line_edit(d, 100), Qt::Key_Return); }), 1);
}

TEST_F(DialogTest, ModalOnTheGuiThreadMakesTheFrameWait) {
    EXPECT_FALSE(modal_dialog_open());
    bool open_inside = false;
    EXPECT_EQ(run_with(d, [&] {
        open_inside = modal_dialog_open();
        QTest::keyClick(line_edit(d, 100), Qt::Key_Escape);
    }), 2);
    EXPECT_TRUE(open_inside);
    EXPECT_FALSE(modal_dialog_open());
}

// A dialog run from a worker: its calls go through the GUI thread, the worker
// waits for the result, and the GUI thread's event loop keeps serving the
// frame meanwhile (posted work runs, nothing is application-modal).
TEST(DialogThread, ModalRunFromAWorkerKeepsTheGuiThreadAlive) {
    Dialog d;
    std::atomic<bool> done{false};
    bool modal_while_open = true;
    QWidget* active_modal = nullptr;
    bool posted_ran = false;
    int result = 0;
    std::string typed;
    auto user = [&] {
        // Runs on the GUI thread while the worker's dialog is open.
        modal_while_open = modal_dialog_open();
        active_modal = QApplication::activeModalWidget();
        post([&] {
            posted_ran = true;
            QLineEdit* e = line_edit(d, 100);
            e->selectAll();
            QTest::keyClicks(e, "new");
            QTest::keyClick(e, Qt::Key_Return);
        });
    };
    std::thread worker([&] {
        EXPECT_FALSE(is_gui_thread());
        if (d.init(parsed(kTestDialog))) {
            d.set_text(100, "old");
            d.set_callback(9001, [&](Dialog&, int, CallbackKind) { QTimer::singleShot(0, qApp, user); },
                           CallbackKind::shown);
            result = d.run_modal();
            d.get_text(100, typed, 6);
            d.release();
        }
        done = true;
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return done.load(); }, 60000));
    worker.join();
    EXPECT_FALSE(modal_while_open);
    EXPECT_EQ(active_modal, nullptr);
    EXPECT_TRUE(posted_ran);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(typed, "new   ");
}

// Within the frame: dialogs are owned by it, the function-key filter sees
// the modal ones, and the close filters that guard the GUI thread's windows
// guard its dialogs too, but not a dialog shown for another thread.
TEST(DialogInFrame, OwnedByTheFrameAndGuardedByItsFilters) {
    create_frame();
    {
        Dialog d;
        ASSERT_TRUE(d.init(parsed(kTestDialog)));
        EXPECT_EQ(dialog_widget(d)->parentWidget(), internal::frame_widget());
        QWidget* w = dialog_widget(d);
        bool modal_seen = false;
        const HookHandle refuse = set_close_filter([] { return true; });
        EXPECT_EQ(run_with(d, [&] {
            modal_seen = modal_window_open();
            w->close();   // refused by the filter
            EXPECT_TRUE(w->isVisible());
            QTest::keyClick(line_edit(d, 100), Qt::Key_Return);
        }), 1);
        EXPECT_TRUE(modal_seen);
        EXPECT_FALSE(modal_window_open());

        std::atomic<bool> done{false};
        int result = 0;
        bool modal_for_worker = true;
        ASSERT_TRUE(d.init(parsed(kTestDialog)));   // afresh, so that a shown callback runs again
        w = dialog_widget(d);
        d.set_callback(9001, [&](Dialog&, int, CallbackKind) {
            QTimer::singleShot(0, qApp, [&] {
                modal_for_worker = modal_window_open();
                w->close();   // the worker's dialog takes its close box
            });
        }, CallbackKind::shown);
        std::thread worker([&] {
            result = d.run_modal();
            done = true;
        });
        EXPECT_TRUE(QTest::qWaitFor([&] { return done.load(); }, 60000));
        worker.join();
        EXPECT_EQ(result, 2);
        EXPECT_FALSE(modal_for_worker);   // F11 stays alive during Run Data
        remove_close_filter(refuse);
    }
    destroy_frame();
}

TEST(DialogPages, TabPagesHoldChildDialogs) {
    Dialog main, page1, page2;
    ASSERT_TRUE(main.init(parsed(kTestDialog)));
    ASSERT_TRUE(page1.init(parsed(kPage)));
    ASSERT_TRUE(page2.init(parsed(kPage)));
    int tab_changes = 0;
    main.set_callback(130, [&](Dialog&, int id, CallbackKind) {
        EXPECT_EQ(id, 130);
        ++tab_changes;
    });
    main.set_callback(9001, [&](Dialog& dlg, int, CallbackKind) {
        EXPECT_TRUE(page1.show_as_page(dlg, 130, 1));
        EXPECT_TRUE(page2.show_as_page(dlg, 130, 2));
        EXPECT_FALSE(page2.show_as_page(dlg, 130, 3));
        EXPECT_FALSE(page2.show_as_page(dlg, 100, 1));   // not a tab control
        dlg.set_int(130, Attr::state, 1);
    }, CallbackKind::shown);
    ASSERT_TRUE(main.set_int(130, Attr::page_count, 2));
    ASSERT_TRUE(main.set_text(130, Attr::page_title, "Means", 1));
    ASSERT_TRUE(main.set_text(130, Attr::page_title, "Flows", 2));
    EXPECT_FALSE(main.set_text(130, Attr::page_title, "Energy", 3));
    page2.set_text(10, "second");

    auto* tabs = qobject_cast<QTabWidget*>(dialog_control(main, 130));
    ASSERT_NE(tabs, nullptr);
    long long current = 0;
    EXPECT_EQ(run_with(main, [&] {
        EXPECT_EQ(tabs->tabText(0), "Means");
        EXPECT_TRUE(dialog_widget(page1)->isVisible());
        EXPECT_FALSE(dialog_widget(page2)->isVisible());
        EXPECT_EQ(tab_changes, 0);   // selected by the program
        tabs->tabBar()->setCurrentIndex(1);   // as a click on the second tab does
        EXPECT_EQ(tab_changes, 1);
        EXPECT_TRUE(dialog_widget(page2)->isVisible());
        EXPECT_TRUE(main.get_int(130, Attr::state, current));
        // Keys in a page go to the dialog around it.
        QTest::keyClick(line_edit(page2, 11), Qt::Key_Return);
    }), 1);
    EXPECT_EQ(current, 2);
    EXPECT_EQ(text_of(page2, 10, 6), "second");
    std::string title;
    ASSERT_TRUE(main.get_text(130, Attr::page_title, title, 6, 2));
    EXPECT_EQ(title, "Flows ");
    // Releasing the dialog first takes its pages' widgets with it; the page
    // records then release without touching them.
    main.release();
    EXPECT_FALSE(page1.initialised());
    page1.release();
    page2.release();
}

}  // namespace
}  // namespace tarvex::platform
