// The Plot Options dialog of both plot viewers, answered by a scripted user
// through the dialog module's show hook with real clicks and key presses:
// what it shows for the plot in view, what the controls change at once, and
// what is read back when it ends by OK, Cancel or Escape.
//
// With TARVEX_SCREENSHOT_DIR set, the shown dialog is also saved there as
// plot_options.png (domain viewer, vector plot, manual scale on) and
// plot_options_residuals.png (residuals viewer, grid plot, manual set).
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPixmap>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <cstdlib>
#include <functional>
#include <map>
#include <string>

#include "frontend/calc/viewstate.h"
#include "frontend/dlg_plotoptions.h"
#include "platform/dialog.h"
#include "platform/dialog_qt.h"

namespace tarvex {
namespace {

using platform::Attr;
using platform::Dialog;
using platform::dialog_control;
using platform::dialog_widget;

constexpr int FLIP = 1060, SCHEME = 1016, SPIN = 1017, SCREEN = 1069, PAPER = 1070, MANUAL = 1048,
              MAX_LABEL = 1051, MAX = 1049, MIN_LABEL = 1052, MIN = 1050, VS_LABEL = 1055, VS_X = 1056,
              VSCALE = 1024, GRID = 1071, BLOCKAGE = 1072;

enum class Viewer { domain, residuals };
enum Press { OK, CANCEL, ESCAPE, CLOSE_BOX };

void click(const Dialog& d, int id) {
    QWidget* w = dialog_control(d, id);
    ASSERT_NE(w, nullptr) << id;
    QTest::mouseClick(w, Qt::LeftButton);
}

// Replaces a field's text as typing does (one change per key).
void type(const Dialog& d, int id, const char* text) {
    auto* e = qobject_cast<QLineEdit*>(dialog_control(d, id));
    ASSERT_NE(e, nullptr) << id;
    e->setFocus();
    e->selectAll();
    if (*text) QTest::keyClicks(e, text);
    else QTest::keyClick(e, Qt::Key_Backspace);
}

void click_spin(const Dialog& d, const char* which) {
    QWidget* spin = dialog_control(d, SPIN);
    ASSERT_NE(spin, nullptr);
    auto* button = spin->findChild<QToolButton*>(QString::fromLatin1(which));
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
}

std::string text(const Dialog& d, int id) {
    auto* e = qobject_cast<QLineEdit*>(dialog_control(d, id));
    return e ? e->text().toStdString() : std::string("<no field>");
}

bool enabled(const Dialog& d, int id) {
    bool on = false;
    EXPECT_TRUE(d.get_logical(id, Attr::enabled, on)) << id;
    return on;
}

bool checked(const Dialog& d, int id) {
    bool on = false;
    EXPECT_TRUE(d.get_logical(id, Attr::state, on)) << id;
    return on;
}

void save_picture(const Dialog& d, const char* name) {
    const char* dir = std::getenv("TARVEX_SCREENSHOT_DIR");
    if (!dir || !*dir) return;
    dialog_widget(d)->grab().save(QString::fromStdString(std::string(dir) + "/" + name));
}

// Opens the Plot Options of `viewer`; once it is up, `script` runs (it may
// look at the dialog and act on it), then `press` ends it. Returns how many
// times a Plot Options dialog was shown.
int with_options(Viewer viewer, const std::function<void(Dialog&)>& script, Press press = OK) {
    int shown = 0;
    platform::set_dialog_show_hook([&](Dialog& d) {
        if (d.template_id() != 109) return;
        ++shown;
        Dialog* dlg = &d;
        QTimer::singleShot(0, qApp, [dlg, &script, press] {
            script(*dlg);
            switch (press) {
                case OK: QTest::mouseClick(dialog_control(*dlg, 1), Qt::LeftButton); break;
                case CANCEL: QTest::mouseClick(dialog_control(*dlg, 2), Qt::LeftButton); break;
                case ESCAPE: QTest::keyClick(dialog_widget(*dlg), Qt::Key_Escape); break;
                case CLOSE_BOX: dialog_widget(*dlg)->close(); break;
            }
        });
    });
    if (viewer == Viewer::domain) VIEWOPTIONSPROC(true);
    else VIEWROPTIONSPROC(true);
    platform::set_dialog_show_hook(nullptr);
    return shown;
}

// The options the dialog can change.
struct Options {
    int scheme = 4;
    bool paper = false, flip = false, grid = false, blockage = true, manual = false;
    double csmin = 0.0, csmax = 0.0, vscale = 1.0;
};

void set_options(const Options& o) {
    plotopt.ISCHEME = o.scheme;
    plotopt.PAPER = o.paper;
    viewctl.FLIP = o.flip;
    plotopt.SHOWGRID = o.grid;
    plotopt.SHOWCPR = o.blockage;
    viewctl.MANUAL = o.manual;
    plotopt.CSMIN = o.csmin;
    plotopt.CSMAX = o.csmax;
    plotopt.VSCALE = o.vscale;
}

void expect_options(const Options& o, const std::string& label) {
    EXPECT_EQ(plotopt.ISCHEME, o.scheme) << label;
    EXPECT_EQ(plotopt.PAPER, o.paper) << label;
    EXPECT_EQ(viewctl.FLIP, o.flip) << label;
    EXPECT_EQ(plotopt.SHOWGRID, o.grid) << label;
    EXPECT_EQ(plotopt.SHOWCPR, o.blockage) << label;
    EXPECT_EQ(viewctl.MANUAL, o.manual) << label;
    EXPECT_EQ(plotopt.CSMIN, o.csmin) << label;
    EXPECT_EQ(plotopt.CSMAX, o.csmax) << label;
    EXPECT_EQ(plotopt.VSCALE, o.vscale) << label;
}

class PlotOptionsDialog : public ::testing::Test {
protected:
    void SetUp() override { set_view_defaults(); }
    void TearDown() override {
        // Released after each use.
        EXPECT_FALSE(plotoptdlg.DLGOPT.initialised());
        EXPECT_FALSE(plotoptdlg.DLGROPT.initialised());
    }
};

TEST_F(PlotOptionsDialog, WhatItShowsForThePlotInView) {
    struct Case {
        const char* label;
        Viewer viewer;
        int iplot, irplot;
        Options before;
        // expected
        bool manual_box, limits, vector_scale;
        const char* scheme_text;
        const char* vscale_text;
    };
    const Options paper_manual{.scheme = 6, .paper = true, .flip = true, .grid = true, .blockage = false,
                               .manual = true, .csmin = -0.01, .csmax = 25.0, .vscale = 0.333};
    const Options defaults{};
    const Options wide{.vscale = 150000.0};
    const Options negative{.manual = true, .csmin = 15.0, .csmax = 25.0, .vscale = -2.0};
    const Case cases[] = {
        {"vectors, manual on", Viewer::domain, 9, 0, paper_manual, true, true, true, " 6", "    0.33"},
        {"temperature, defaults", Viewer::domain, 2, 0, defaults, true, false, false, " 4", "    1.00"},
        {"water vapour: the scale too wide for its field", Viewer::domain, 10, 0, wide, true, false, true, " 4",
         "********"},
        {"grid with manual set: box fixed, fields usable", Viewer::domain, 0, 12, negative, false, true, false, " 4",
         "    1.00"},
        {"blockage, manual off", Viewer::domain, 1, 12, defaults, false, false, false, " 4", "    1.00"},
        {"residuals: the domain viewer's choice does not count", Viewer::residuals, 9, 1, defaults, false, false,
         false, " 4", "    1.00"},
        {"residuals: energy, manual on, scale never usable", Viewer::residuals, 9, 14, paper_manual, true, true,
         false, " 6", "    0.33"},
        {"residuals: grid with manual set", Viewer::residuals, 5, 0, negative, false, true, false, " 4", "    1.00"},
    };
    for (const Case& c : cases) {
        set_options(c.before);
        viewctl.IPLOT = c.iplot;
        viewctl.IRPLOT = c.irplot;
        const Options& o = c.before;
        const int shown = with_options(c.viewer, [&](Dialog& d) {
            EXPECT_EQ(checked(d, FLIP), o.flip) << c.label;
            EXPECT_EQ(checked(d, PAPER), o.paper) << c.label;
            EXPECT_EQ(checked(d, SCREEN), !o.paper) << c.label;
            EXPECT_EQ(checked(d, GRID), o.grid) << c.label;
            EXPECT_EQ(checked(d, BLOCKAGE), o.blockage) << c.label;
            EXPECT_EQ(checked(d, MANUAL), o.manual) << c.label;
            for (int id : {FLIP, SCHEME, SPIN, SCREEN, PAPER, GRID, BLOCKAGE, 1, 2})
                EXPECT_TRUE(enabled(d, id)) << c.label << " control " << id;
            EXPECT_EQ(enabled(d, MANUAL), c.manual_box) << c.label;
            for (int id : {MAX_LABEL, MAX, MIN_LABEL, MIN}) EXPECT_EQ(enabled(d, id), c.limits) << c.label << ' ' << id;
            for (int id : {VS_LABEL, VS_X, VSCALE})
                EXPECT_EQ(enabled(d, id), c.vector_scale) << c.label << ' ' << id;
            EXPECT_EQ(text(d, SCHEME), c.scheme_text) << c.label;
            EXPECT_EQ(text(d, VSCALE), c.vscale_text) << c.label;
            long long lo = 0, hi = 0, pos = 0;
            d.get_int(SPIN, Attr::range_min, lo);
            d.get_int(SPIN, Attr::range_max, hi);
            d.get_int(SPIN, Attr::position, pos);
            EXPECT_EQ(lo, 1) << c.label;
            EXPECT_EQ(hi, 7) << c.label;
            EXPECT_EQ(pos, o.scheme) << c.label;
            if (&c == &cases[0]) {
                EXPECT_EQ(text(d, MIN), "-0.10000000E-01");
                EXPECT_EQ(text(d, MAX), "  25.000000    ");
                std::string caption = dialog_widget(d)->windowTitle().toStdString();
                EXPECT_EQ(caption, "Plot Options");
                save_picture(d, "plot_options.png");
            }
            if (&c == &cases[7]) save_picture(d, "plot_options_residuals.png");
        }, CANCEL);
        EXPECT_EQ(shown, 1) << c.label;
    }
}

TEST_F(PlotOptionsDialog, UserActionsAndTheReadingBack) {
    struct Case {
        const char* label;
        Viewer viewer;
        int plot;   // IPLOT for the domain viewer, IRPLOT for the residuals viewer
        Options before;
        std::function<void(Dialog&)> script;
        Press press;
        Options after;
    };
    auto change_everything = [](Dialog& d) {
        type(d, SCHEME, "6");
        click(d, PAPER);
        click(d, FLIP);
        click(d, GRID);
        click(d, BLOCKAGE);
        click(d, MANUAL);
        type(d, MIN, "15");
        type(d, MAX, "25");
        type(d, VSCALE, "2.5");
    };
    const Options everything{.scheme = 6, .paper = true, .flip = true, .grid = true, .blockage = false,
                             .manual = true, .csmin = 15.0, .csmax = 25.0, .vscale = 2.5};
    const Options manual_on{.manual = true, .csmin = 1.0, .csmax = 2.0, .vscale = 3.0};
    const Case cases[] = {
        {"OK takes every change", Viewer::domain, 9, {}, change_everything, OK, everything},
        {"Cancel keeps the changes and still reads limits and scale", Viewer::domain, 9, {}, change_everything,
         CANCEL, everything},
        {"Escape likewise", Viewer::domain, 9, {}, change_everything, ESCAPE, everything},
        {"the close box likewise", Viewer::domain, 9, {}, change_everything, CLOSE_BOX, everything},
        {"back and forth: paper then screen, flip twice", Viewer::domain, 2, {},
         [](Dialog& d) {
             click(d, PAPER);
             click(d, SCREEN);
             click(d, FLIP);
             click(d, FLIP);
         },
         OK, {}},
        {"0.333 comes back as 0.33", Viewer::domain, 9, {.vscale = 0.333}, [](Dialog&) {}, OK, {.vscale = 0.33}},
        {"a negative scale typed is kept", Viewer::domain, 9, {}, [](Dialog& d) { type(d, VSCALE, "-2"); }, OK,
         {.vscale = -2.0}},
        {"asterisks become 1.0", Viewer::domain, 9, {.vscale = 150000.0}, [](Dialog&) {}, OK, {.vscale = 1.0}},
        {"an emptied scale becomes 1.0", Viewer::domain, 9, {.vscale = 3.0},
         [](Dialog& d) { type(d, VSCALE, ""); }, OK, {.vscale = 1.0}},
        {"the scale is read back even when its field is disabled", Viewer::domain, 2, {.vscale = 0.333},
         [](Dialog&) {}, OK, {.vscale = 0.33}},
        {"scheme 8 puts the previous one back", Viewer::domain, 2, {.scheme = 3},
         [](Dialog& d) {
             type(d, SCHEME, "8");
             EXPECT_EQ(text(d, SCHEME), " 3");
         },
         OK, {.scheme = 3}},
        {"scheme 0 likewise", Viewer::domain, 2, {.scheme = 5},
         [](Dialog& d) {
             type(d, SCHEME, "0");
             EXPECT_EQ(text(d, SCHEME), " 5");
         },
         OK, {.scheme = 5}},
        {"letters in the scheme: nothing", Viewer::domain, 2, {.scheme = 5},
         [](Dialog& d) {
             type(d, SCHEME, "x");
             EXPECT_EQ(text(d, SCHEME), "x");
         },
         OK, {.scheme = 5}},
        {"spin up from 4", Viewer::domain, 2, {}, [](Dialog& d) { click_spin(d, "up"); }, OK, {.scheme = 5}},
        {"spin stops at 7", Viewer::domain, 2, {.scheme = 6},
         [](Dialog& d) {
             for (int i = 0; i < 3; ++i) click_spin(d, "up");
             EXPECT_EQ(text(d, SCHEME), "7");
         },
         OK, {.scheme = 7}},
        {"spin stops at 1", Viewer::domain, 2, {.scheme = 2},
         [](Dialog& d) {
             for (int i = 0; i < 3; ++i) click_spin(d, "down");
             EXPECT_EQ(text(d, SCHEME), "1");
         },
         OK, {.scheme = 1}},
        {"spin steps from a typed scheme", Viewer::domain, 2, {},
         [](Dialog& d) {
             type(d, SCHEME, "2");
             click_spin(d, "up");
         },
         OK, {.scheme = 3}},
        {"Min above Max taken as typed", Viewer::domain, 2, {},
         [](Dialog& d) {
             click(d, MANUAL);
             type(d, MIN, "25");
             type(d, MAX, "15");
         },
         OK, {.manual = true, .csmin = 25.0, .csmax = 15.0}},
        {"letters in Max: both 0, the scale not read", Viewer::domain, 9, {.vscale = 3.0},
         [](Dialog& d) {
             click(d, MANUAL);
             type(d, MIN, "15");
             type(d, MAX, "abc");
             type(d, VSCALE, "2");
         },
         OK, {.manual = true, .vscale = 3.0}},
        {"a limit that is not finite counts as letters", Viewer::domain, 9, {.vscale = 3.0},
         [](Dialog& d) {
             click(d, MANUAL);
             type(d, MIN, "inf");
             type(d, MAX, "15");
         },
         OK, {.manual = true, .vscale = 3.0}},
        {"a blank limit reads as 0", Viewer::domain, 2, {.manual = true, .csmin = 5.0, .csmax = 9.0},
         [](Dialog& d) { type(d, MIN, ""); }, OK, {.manual = true, .csmin = 0.0, .csmax = 9.0}},
        {"manual off: letters in the limits are not looked at", Viewer::domain, 2, {.csmin = 5.0, .csmax = 9.0},
         [](Dialog& d) {
             click(d, MANUAL);
             type(d, MIN, "abc");
             click(d, MANUAL);
             EXPECT_FALSE(enabled(d, MIN));
         },
         OK, {.csmin = 5.0, .csmax = 9.0}},
        {"grid with manual set: the fields are read back", Viewer::domain, 0, manual_on,
         [](Dialog& d) { type(d, MIN, "-4"); }, OK, {.manual = true, .csmin = -4.0, .csmax = 2.0, .vscale = 3.0}},
        {"residuals: the scale is never read", Viewer::residuals, 13, manual_on,
         [](Dialog& d) {
             // Even with a text in it (the user cannot type into it).
             d.set_text(VSCALE, "9");
             type(d, MAX, "7");
         },
         OK, {.manual = true, .csmin = 1.0, .csmax = 7.0, .vscale = 3.0}},
        {"residuals: a negative scale goes back to 1.0 on opening", Viewer::residuals, 13, {.vscale = -2.0},
         [](Dialog&) {}, CANCEL, {.vscale = 1.0}},
        {"residuals: the options change as in the domain viewer's", Viewer::residuals, 14, {},
         [](Dialog& d) {
             type(d, SCHEME, "7");
             click(d, PAPER);
             click(d, MANUAL);
             type(d, MIN, "0.5");
             type(d, MAX, "1E-3");
         },
         CANCEL, {.scheme = 7, .paper = true, .manual = true, .csmin = 0.5, .csmax = 1.0e-3}},
        {"residuals: letters in Min give both 0", Viewer::residuals, 15, manual_on,
         [](Dialog& d) { type(d, MIN, "a"); }, OK, {.manual = true, .csmin = 0.0, .csmax = 0.0, .vscale = 3.0}},
    };
    for (const Case& c : cases) {
        set_options(c.before);
        if (c.viewer == Viewer::domain) viewctl.IPLOT = c.plot;
        else viewctl.IRPLOT = c.plot;
        EXPECT_EQ(with_options(c.viewer, c.script, c.press), 1) << c.label;
        expect_options(c.after, c.label);
    }
}

// A negative scale is used until the next opening, which shows 1.00 and
// makes it 1.0 whichever way the dialog ends.
TEST_F(PlotOptionsDialog, NegativeScaleLastsUntilTheNextOpening) {
    viewctl.IPLOT = 9;
    with_options(Viewer::domain, [](Dialog& d) { type(d, VSCALE, "-2"); });
    EXPECT_EQ(plotopt.VSCALE, -2.0);
    std::string shown;
    with_options(Viewer::domain, [&](Dialog& d) { shown = text(d, VSCALE); }, CANCEL);
    EXPECT_EQ(shown, "    1.00");
    EXPECT_EQ(plotopt.VSCALE, 1.0);
}

// The options hold in the other viewer's dialog.
TEST_F(PlotOptionsDialog, SharedBetweenTheTwoViewers) {
    viewctl.IPLOT = 2;
    viewctl.IRPLOT = 14;
    with_options(Viewer::domain, [](Dialog& d) {
        type(d, SCHEME, "6");
        click(d, PAPER);
        click(d, MANUAL);
        type(d, MIN, "15");
        type(d, MAX, "25");
    });
    bool paper = false, manual = false;
    std::string scheme, min, max;
    with_options(Viewer::residuals, [&](Dialog& d) {
        paper = checked(d, PAPER);
        manual = checked(d, MANUAL);
        scheme = text(d, SCHEME);
        min = text(d, MIN);
        max = text(d, MAX);
    });
    EXPECT_TRUE(paper);
    EXPECT_TRUE(manual);
    EXPECT_EQ(scheme, " 6");
    EXPECT_EQ(min, "  15.000000    ");
    EXPECT_EQ(max, "  25.000000    ");
    EXPECT_EQ(plotopt.CSMIN, 15.0);
    EXPECT_EQ(plotopt.CSMAX, 25.0);
}

// Asking for the dialog while it is showing (the record is in use) returns
// at once and leaves the showing dialog intact.
TEST_F(PlotOptionsDialog, OpeningAgainWhileShowingDoesNothing) {
    viewctl.IPLOT = 2;
    bool still_there = false;
    const int shown = with_options(Viewer::domain, [&](Dialog& d) {
        VIEWOPTIONSPROC(true);
        still_there = d.initialised() && dialog_widget(d) && dialog_widget(d)->isVisible();
        type(d, SCHEME, "2");
    });
    EXPECT_EQ(shown, 1);
    EXPECT_TRUE(still_there);
    EXPECT_EQ(plotopt.ISCHEME, 2);
}

}  // namespace
}  // namespace tarvex
