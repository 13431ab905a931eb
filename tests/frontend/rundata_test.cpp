// The Run Data dialog: what it shows, what the entries store, and when it
// comes back; answered by a scripted user through the dialog module's show
// hook, with real key presses and clicks.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "common/names.h"
#include "engine/data.h"
#include "frontend/dlg_rundata.h"
#include "platform/dialog.h"
#include "platform/dialog_qt.h"
#include "platform/dialog_template.h"

namespace tarvex {
namespace {

using platform::Dialog;
using platform::dialog_control;
using platform::dialog_widget;

enum Press { OK, CANCEL, ESCAPE, CLOSE_BOX };

// What the user does in one showing; nullptr leaves a field as shown, a
// radio id of 0 leaves the start mode.
struct Showing {
    int mode = 0;
    const char* iterations = nullptr;
    const char* save = nullptr;
    const char* flow = nullptr;
    const char* pressure = nullptr;
    const char* energy = nullptr;
    const char* conc = nullptr;
    Press press = OK;
};

// What a showing displayed.
struct Seen {
    int mode = 0;   // the checked radio, 0 for none
    std::string iterations, save, flow, pressure, energy, conc;
    std::string message;   // the line that says why the dialog came back
};

class ScriptedUser {
public:
    explicit ScriptedUser(std::vector<Showing> script) : script_(std::move(script)) {
        platform::set_dialog_show_hook([this](Dialog& d) {
            if (d.template_id() != 103) return;
            seen_.push_back(look(d));
            dialog_ = &d;
            QTimer::singleShot(0, qApp, [this] { act(); });
        });
    }
    ~ScriptedUser() { platform::set_dialog_show_hook(nullptr); }

    const std::vector<Seen>& seen() const { return seen_; }

private:
    static QLineEdit* edit(Dialog& d, int id) { return qobject_cast<QLineEdit*>(dialog_control(d, id)); }

    static Seen look(Dialog& d) {
        Seen s;
        for (int id : {1013, 1014, 1015}) {
            bool on = false;
            if (d.get_logical(id, platform::Attr::state, on) && on) s.mode = id;
        }
        auto text = [&](int id) { return edit(d, id)->text().toStdString(); };
        s.iterations = text(1016);
        s.save = text(1021);
        s.flow = text(1017);
        s.pressure = text(1018);
        s.energy = text(1019);
        s.conc = text(1020);
        d.get_text(1022, s.message, 400);
        s.message = std::string(trim_right(s.message));
        return s;
    }

    static void type(QLineEdit* e, const char* text) {
        if (!text) return;
        e->selectAll();
        if (*text) QTest::keyClicks(e, text);
        else QTest::keyClick(e, Qt::Key_Backspace);
    }

    void act() {
        Dialog& d = *dialog_;
        const size_t n = seen_.size() - 1;
        if (n >= script_.size()) {
            // More showings than the script has: leave with Cancel.
            QTest::mouseClick(dialog_control(d, 2), Qt::LeftButton);
            return;
        }
        const Showing& s = script_[n];
        if (s.mode) QTest::mouseClick(dialog_control(d, s.mode), Qt::LeftButton);
        type(edit(d, 1016), s.iterations);
        type(edit(d, 1021), s.save);
        type(edit(d, 1017), s.flow);
        type(edit(d, 1018), s.pressure);
        type(edit(d, 1019), s.energy);
        type(edit(d, 1020), s.conc);
        switch (s.press) {
            case OK: QTest::keyClick(edit(d, 1020), Qt::Key_Return); break;
            case CANCEL: QTest::mouseClick(dialog_control(d, 2), Qt::LeftButton); break;
            case ESCAPE: QTest::keyClick(edit(d, 1016), Qt::Key_Escape); break;
            case CLOSE_BOX: dialog_widget(d)->close(); break;
        }
    }

    std::vector<Showing> script_;
    std::vector<Seen> seen_;
    Dialog* dialog_ = nullptr;
};

struct Settings {
    int restart;
    int niter, nsave;
    double flow, pressure, energy, conc;
};

// `fields`: the fields in memory belong to the loaded case (a run or saved
// data since it was read), so that "from last data" can be used.
void set_settings(const Settings& s, bool newfields, bool fields = true) {
    runctl.RESTART = s.restart;
    pbtable.NITER = s.niter;
    pbtable.NSAVE = s.nsave;
    runctl.RLXU = runctl.RLXV = runctl.RLXW = s.flow;
    runctl.RLXP = s.pressure;
    runctl.RLXT = s.energy;
    runctl.RLXC = c2eq.RLXC2 = s.conc;
    runflags.NEWFIELDS = newfields;
    runflags.FIELDSOK = fields;
}

void expect_settings(const Settings& s, const std::string& label) {
    EXPECT_EQ(runctl.RESTART, s.restart) << label;
    EXPECT_EQ(pbtable.NITER, s.niter) << label;
    EXPECT_EQ(pbtable.NSAVE, s.nsave) << label;
    EXPECT_EQ(runctl.RLXU, s.flow) << label;
    EXPECT_EQ(runctl.RLXV, s.flow) << label;
    EXPECT_EQ(runctl.RLXW, s.flow) << label;
    EXPECT_EQ(runctl.RLXP, s.pressure) << label;
    EXPECT_EQ(runctl.RLXT, s.energy) << label;
    EXPECT_EQ(runctl.RLXC, s.conc) << label;
    EXPECT_EQ(c2eq.RLXC2, s.conc) << label;
}

const Settings kFirstRun{-999, -999, -999, 0.5, 1.0, 0.7, 0.6};
const Settings kLaterRun{0, 50, 10, 0.5, 1.0, 0.7, 0.6};

TEST(RunData, EntriesToStoredValuesAndShowings) {
    struct Case {
        const char* label;
        Settings before;
        std::vector<Showing> script;
        int result;
        size_t showings;
        Settings after;
        bool fields = true;   // fields of the case in memory
    };
    const Showing cancel{.press = CANCEL};
    const Showing ok{};
    const Case cases[] = {
        {"counts stored, save capped at the iterations", kFirstRun,
         {{.iterations = "100", .save = "500"}}, 1, 1, {0, 100, 100, 0.5, 1.0, 0.7, 0.6}},
        {"save 0 means every NITER iterations", kFirstRun,
         {{.iterations = "100", .save = "0"}}, 1, 1, {0, 100, 100, 0.5, 1.0, 0.7, 0.6}},
        {"save below the iterations kept", kLaterRun,
         {{.iterations = "40", .save = "7"}}, 1, 1, {0, 40, 7, 0.5, 1.0, 0.7, 0.6}},
        {"the part after the last blank is read: 1 000 is 0", kLaterRun,
         {{.iterations = "1 000", .save = " 3 "}}, 1, 1, {0, 0, 0, 0.5, 1.0, 0.7, 0.6}},
        {"factors: flow into U V W, conc into C and C2, edges included", kLaterRun,
         {{.flow = "1", .pressure = "1.9", .energy = "0.25", .conc = "1.0E-1"}}, 1, 1,
         {0, 50, 10, 1.0, 1.9, 0.25, 0.1}},
        // An entry out of range comes back as typed: OK again refuses it again.
        {"pressure 1.5 accepted, flow 1.5 sends the dialog back", kLaterRun,
         {{.flow = "1.5", .pressure = "1.5"}, ok, {.flow = "0.9"}}, 1, 3, {0, 50, 10, 0.9, 1.5, 0.7, 0.6}},
        {"factors of 0 or below are out of range", kLaterRun,
         {{.flow = "0", .pressure = "-1", .energy = "0.0", .conc = "0.3"}, {.flow = "0.4", .pressure = "1.1", .energy = "0.2"}},
         1, 2, {0, 50, 10, 0.4, 1.1, 0.2, 0.3}},
        {"pressure above 1.9, energy above 1", kLaterRun,
         {{.pressure = "1.91", .energy = "1.01"}, {.pressure = "1.9", .energy = "1"}}, 1, 2,
         {0, 50, 10, 0.5, 1.9, 1.0, 0.6}},
        {"negative iterations: the rest is stored, then the dialog comes back", kLaterRun,
         {{.iterations = "-5", .save = "20", .energy = "0.3"}, cancel}, -1, 2, {0, 50, 20, 0.5, 1.0, 0.3, 0.6}},
        {"negative save interval", kLaterRun,
         {{.iterations = "30", .save = "-1"}, {.save = "12"}}, 1, 2, {0, 30, 12, 0.5, 1.0, 0.7, 0.6}},
        {"unreadable iterations: back at once, nothing after it stored", kLaterRun,
         {{.iterations = "abc", .save = "5", .flow = "0.9"}, cancel}, -1, 2, {0, 50, 10, 0.5, 1.0, 0.7, 0.6}},
        {"empty iterations count as unreadable", kFirstRun,
         {{.iterations = "", .save = "5"}, cancel}, -1, 2, {0, -999, -999, 0.5, 1.0, 0.7, 0.6}},
        {"beyond 32 bits is unreadable, not an overflow", kLaterRun,
         {{.iterations = "9999999999"}, cancel}, -1, 2, {0, 50, 10, 0.5, 1.0, 0.7, 0.6}},
        {"more than ten digits is unreadable, not cut", kLaterRun,
         {{.iterations = "12345678901"}, cancel}, -1, 2, {0, 50, 10, 0.5, 1.0, 0.7, 0.6}},
        {"unreadable save: iterations already stored", kLaterRun,
         {{.iterations = "70", .save = "5x"}, cancel}, -1, 2, {0, 70, 10, 0.5, 1.0, 0.7, 0.6}},
        // Energy is read before pressure: the pressure typed beside an
        // unreadable energy is not read then, but it stays in its field and
        // is stored once the energy is mended.
        {"unreadable factors: empty, nan, inf, beyond the double range", kLaterRun,
         {{.flow = ""}, {.flow = "0.8", .pressure = "nan"}, {.pressure = "1.2", .energy = "inf"},
          {.energy = "0.4", .conc = "1e400"}, {.conc = "0.9"}},
         1, 5, {0, 50, 10, 0.8, 1.2, 0.4, 0.9}},
        {"start mode from file data", kLaterRun, {{.mode = 1015}}, 1, 1, {1, 50, 10, 0.5, 1.0, 0.7, 0.6}},
        {"start mode from last data", kLaterRun, {{.mode = 1014}}, 1, 1, {2, 50, 10, 0.5, 1.0, 0.7, 0.6}},
        {"from last data without fields in memory comes back; Initialise then runs", kLaterRun,
         {{.mode = 1014, .iterations = "60"}, {.mode = 1013}}, 1, 2, {0, 60, 10, 0.5, 1.0, 0.7, 0.6}, false},
        {"Cancel changes nothing", kLaterRun,
         {{.mode = 1015, .iterations = "80", .flow = "0.1", .press = CANCEL}}, -1, 1, kLaterRun},
        {"Escape changes nothing", kLaterRun, {{.iterations = "80", .press = ESCAPE}}, -1, 1, kLaterRun},
        {"the close box changes nothing", kLaterRun, {{.iterations = "80", .press = CLOSE_BOX}}, -1, 1,
         kLaterRun},
        {"Cancel keeps what an earlier showing stored", kLaterRun,
         {{.iterations = "90", .flow = "2"}, {.iterations = "5", .press = CANCEL}}, -1, 2,
         {0, 90, 10, 0.5, 1.0, 0.7, 0.6}},
    };
    for (const Case& c : cases) {
        set_settings(c.before, true, c.fields);
        ScriptedUser user(c.script);
        EXPECT_EQ(RUNDATAPROC(), c.result) << c.label;
        EXPECT_EQ(user.seen().size(), c.showings) << c.label;
        expect_settings(c.after, c.label);
    }
}

TEST(RunData, FirstRunShowsEmptyCountsAndNewFieldsPreselectInitialise) {
    set_settings(kFirstRun, true);
    ScriptedUser user(std::vector<Showing>{{.press = CANCEL}});
    EXPECT_EQ(RUNDATAPROC(), -1);
    ASSERT_EQ(user.seen().size(), 1u);
    const Seen& s = user.seen()[0];
    EXPECT_EQ(s.mode, 1013);
    EXPECT_EQ(s.iterations, "");
    EXPECT_EQ(s.save, "");
    EXPECT_EQ(s.flow, "0.50");
    EXPECT_EQ(s.pressure, "1.00");
    EXPECT_EQ(s.energy, "0.70");
    EXPECT_EQ(s.conc, "0.60");
}

TEST(RunData, LaterRunsShowTheStoredValuesRightAligned) {
    set_settings({2, 100, 20, 0.333, 1.9, 1.0, 0.05}, false);
    ScriptedUser user(std::vector<Showing>{{.press = CANCEL}});
    EXPECT_EQ(RUNDATAPROC(), -1);
    ASSERT_EQ(user.seen().size(), 1u);
    const Seen& s = user.seen()[0];
    EXPECT_EQ(s.mode, 1014);   // "from file data" is never preselected
    EXPECT_EQ(s.iterations, "       100");
    EXPECT_EQ(s.save, "        20");
    EXPECT_EQ(s.flow, "0.33");
    EXPECT_EQ(s.pressure, "1.90");
    EXPECT_EQ(s.energy, "1.00");
    EXPECT_EQ(s.conc, "0.05");
}

// The dialog comes back showing what was typed, every entry of it, with a
// line that names the entry that could not be used (the first, when several
// could not) and why. The first showing has no such line.
TEST(RunData, ComesBackAsTypedSayingWhichEntryCouldNotBeUsed) {
    struct Case {
        Showing typed;
        bool fields;
        std::string says;
    };
    const Case cases[] = {
        {{.iterations = "abc", .flow = "0.9"}, true, "Number of iterations: \"abc\" is not a whole number."},
        {{.iterations = "-5"}, true, "Number of iterations: -5 is below 0."},
        {{.iterations = "40", .save = "5x"}, true, "Save interval: \"5x\" is not a whole number."},
        {{.save = "-2"}, true, "Save interval: -2 is below 0."},
        {{.flow = "1.5", .pressure = "1.5"}, true, "Flow factor: \"1.5\" is not above 0 and at most 1."},
        {{.pressure = "2"}, true, "Pressure factor: \"2\" is not above 0 and at most 1.9."},
        {{.energy = "0"}, true, "Energy factor: \"0\" is not above 0 and at most 1."},
        {{.conc = ""}, true, "Concentration factor: an empty entry is not a number."},
        {{.iterations = "-1", .flow = "7"}, true, "Number of iterations: -1 is below 0."},
        {{.mode = 1014, .save = "3"}, false, NO_FIELDS_MESSAGE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.says);
        set_settings(kLaterRun, true, c.fields);
        ScriptedUser user(std::vector<Showing>{c.typed, {.press = CANCEL}});
        EXPECT_EQ(RUNDATAPROC(), -1);
        ASSERT_EQ(user.seen().size(), 2u);
        EXPECT_EQ(user.seen()[0].message, "");
        const Seen& again = user.seen()[1];
        EXPECT_EQ(again.message, c.says);
        const Seen& first = user.seen()[0];
        EXPECT_EQ(again.mode, c.typed.mode ? c.typed.mode : first.mode);
        auto as_typed = [](const char* typed, const std::string& shown) {
            return typed ? std::string(typed) : std::string(trim_right(shown));
        };
        EXPECT_EQ(again.iterations, as_typed(c.typed.iterations, first.iterations));
        EXPECT_EQ(again.save, as_typed(c.typed.save, first.save));
        EXPECT_EQ(again.flow, as_typed(c.typed.flow, first.flow));
        EXPECT_EQ(again.pressure, as_typed(c.typed.pressure, first.pressure));
        EXPECT_EQ(again.energy, as_typed(c.typed.energy, first.energy));
        EXPECT_EQ(again.conc, as_typed(c.typed.conc, first.conc));
    }
}

// "from last data" is preselected only when there are fields to continue from.
TEST(RunData, FromLastDataIsPreselectedOnlyWithFieldsInMemory) {
    for (bool fields : {true, false}) {
        set_settings(kLaterRun, false, fields);
        ScriptedUser user(std::vector<Showing>{{.press = CANCEL}});
        EXPECT_EQ(RUNDATAPROC(), -1);
        ASSERT_EQ(user.seen().size(), 1u);
        EXPECT_EQ(user.seen()[0].mode, fields ? 1014 : 1013);
    }
}

// A first line of the caller's own (the command line asked for a start mode
// the dialog has to refuse) is shown in the first showing.
TEST(RunData, FirstShowingCanSayWhyItIsShown) {
    set_settings(kLaterRun, true, false);
    ScriptedUser user(std::vector<Showing>{{.press = CANCEL}});
    EXPECT_EQ(RUNDATAPROC(NO_FIELDS_MESSAGE), -1);
    ASSERT_EQ(user.seen().size(), 1u);
    EXPECT_EQ(user.seen()[0].message, NO_FIELDS_MESSAGE);
}

// The run asks for the dialog on its calculation thread: the defaults come
// up, and what is typed comes back to the worker.
TEST(RunData, OpensFromAWorkerThreadWithTheDefaults) {
    set_settings(kFirstRun, true);
    ScriptedUser user(std::vector<Showing>{{.iterations = "25", .save = "5", .energy = "0.9"}});
    std::atomic<bool> done{false};
    int result = 0;
    std::thread worker([&] {
        result = RUNDATAPROC();
        done = true;
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return done.load(); }, 60000));
    worker.join();
    EXPECT_EQ(result, 1);
    ASSERT_EQ(user.seen().size(), 1u);
    EXPECT_EQ(user.seen()[0].mode, 1013);
    EXPECT_EQ(user.seen()[0].flow, "0.50");
    expect_settings({0, 25, 5, 0.5, 1.0, 0.9, 0.6}, "worker");
}

// Template 103 laid out by the dialog-unit conversion of its font.
TEST(RunData, TemplateControlsSitWhereTheirDialogUnitsPutThem) {
    Dialog d;
    ASSERT_TRUE(d.init(103));
    const platform::BaseUnits base = platform::dialog_base_units(d);
    // An 8-point sans-serif face: about 6 by 13 pixels.
    EXPECT_GE(base.x, 5);
    EXPECT_LE(base.x, 8);
    EXPECT_GE(base.y, 11);
    EXPECT_LE(base.y, 16);
    auto px = [&](int x, int y, int w, int h) {
        const platform::PxRect r = platform::du_to_px({x, y, w, h}, base);
        return QRect(r.x, r.y, r.w, r.h);
    };
    EXPECT_EQ(dialog_widget(d)->size(), px(0, 0, 186, 151).size());
    EXPECT_EQ(dialog_widget(d)->windowTitle(), "Run Data");
    EXPECT_EQ(dialog_control(d, 1016)->geometry(), px(135, 9, 44, 14));
    EXPECT_EQ(dialog_control(d, 1017)->geometry(), px(55, 69, 30, 12));
    EXPECT_EQ(dialog_control(d, 1015)->geometry(), px(7, 39, 58, 9));
    EXPECT_EQ(dialog_control(d, 2)->geometry(), px(103, 100, 50, 14));
    EXPECT_EQ(dialog_control(d, 1022)->geometry(), px(7, 119, 172, 26));   // the line that says why
    // With the classic 6 by 13 units the iterations field is at (203, 15), 66 by 23.
    EXPECT_EQ(platform::du_to_px({135, 9, 44, 14}, {6, 13}), (platform::PxRect{203, 15, 66, 23}));
}

}  // namespace
}  // namespace tarvex
