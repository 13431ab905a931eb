// The residuals viewer on the small test case: its dialog and window, the
// legend title of each residual, the Max/Min search on the residual shown,
// the blockage without boundary marks, the manual limits shared with the
// domain viewer, the refresh during a run, and the one-viewer rule: a request
// for either plot viewer while the other is open only brings the open one to
// the front, and a run then redraws the open one alone. Two of the domain
// viewer's decided faults are checked here too, as the shared code gives them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "plotviewer_fixture.h"
#include "frontend/calc/fieldstats.h"
#include "frontend/calc/plotoptions.h"
#include "frontend/calc/plotwindow.h"
#include "frontend/dlg_viewgrid.h"
#include "frontend/winmenu.h"

namespace tarvex {
namespace {

using namespace plot_ctl;
using platform::Window;
using testing::BLACK;
using testing::POISON;
using testing::WHITE;

constexpr int OPT_MANUAL = 1048, OPT_MAX = 1049, OPT_MIN = 1050;

std::string caption() { return platform::dialog_widget(viewdlg.DLGVIEW)->windowTitle().toStdString(); }
std::string window_title() { return platform::window_text(Window(CH_VIEW).handle()); }

class ViewGridTest : public testing::PlotViewerTest {
protected:
    ViewGridTest() {
        view_items_ = {{"Re&siduals", [] { VIEWGRIDPROC(); }, 0}, {"D&omain data F9", [] { VIEWDOMAINPROC(); }, 9}};
    }

    // The drawing area of the plot window.
    static QImage window_image() {
        QImage img(viewctl.NXPIX + 1, viewctl.NYPIX + 1, QImage::Format_RGB32);
        for (int y = 0; y <= viewctl.NYPIX; ++y)
            for (int x = 0; x <= viewctl.NXPIX; ++x) {
                const std::uint32_t c = pixel(x, y);
                img.setPixel(x, y, qRgb(platform::red_of(c), platform::green_of(c), platform::blue_of(c)));
            }
        return img;
    }

    // Presses Options in the open viewer; once its Plot Options are up,
    // `script` acts on them, then OK ends them.
    static void with_options(const std::function<void(platform::Dialog&)>& script) {
        int shown = 0;
        platform::set_dialog_show_hook([&](platform::Dialog& d) {
            if (d.template_id() != 109) return;
            ++shown;
            platform::Dialog* o = &d;
            QTimer::singleShot(0, qApp, [o, &script] {
                script(*o);
                QTest::mouseClick(platform::dialog_control(*o, 1), Qt::LeftButton);
            });
        });
        press(OPTIONS);
        platform::set_dialog_show_hook(nullptr);
        EXPECT_EQ(shown, 1);
    }
    static void set_field(platform::Dialog& d, int id, const char* text) {
        auto* e = qobject_cast<QLineEdit*>(platform::dialog_control(d, id));
        ASSERT_NE(e, nullptr);
        e->setFocus();
        e->selectAll();
        QTest::keyClicks(e, text);
    }
    static std::string field_of(platform::Dialog& d, int id) {
        return qobject_cast<QLineEdit*>(platform::dialog_control(d, id))->text().toStdString();
    }
    static bool checked_in(platform::Dialog& d, int id) {
        bool on = false;
        d.get_logical(id, platform::Attr::state, on);
        return on;
    }

    // Every open cell's residuals 0 but the ones set afterwards.
    static void clear_residuals() {
        for (int k = 1; k <= griddim.NZ; ++k)
            for (int j = 1; j <= griddim.NY; ++j)
                for (int i = 1; i <= griddim.NX; ++i) {
                    const int32_t idx = ARIDX(i, j, k);
                    resid.RESUVW[idx] = resid.RESM[idx] = resid.REST[idx] = resid.RESC[idx] = 0.0;
                }
    }

    // The pixel at the centre of cell (i, j) of the IJ plane.
    static std::uint32_t cell_pixel(int i, int j) {
        const double xc = (gridline.X[i - 1] + gridline.X[i]) / 2, yc = (gridline.Y[j - 1] + gridline.Y[j]) / 2;
        const platform::WorldPoint p = Window(CH_VIEW).world_to_pixel(xc, yc);
        return pixel(static_cast<int>(p.x), static_cast<int>(p.y));
    }
};

TEST_F(ViewGridTest, OpensGridViewBesideTheGridPlotDialog) {
    viewctl.IPLANE = 3;
    viewctl.PINDEX = 4;
    viewctl.IRPLOT = 0;
    VIEWGRIDPROC();
    ASSERT_TRUE(viewdlg.VIEWGRIDOPEN);
    EXPECT_FALSE(viewdlg.VIEWDOMOPEN);
    EXPECT_EQ(window_title(), "Grid view");
    EXPECT_EQ(caption(), "Grid Plot");
    EXPECT_TRUE(platform::dialog_widget(dlg())->isVisible());
    EXPECT_TRUE(checked(PLANE_JK));
    EXPECT_EQ(label(INDEX_LETTER), "I");
    EXPECT_EQ(field(INDEX), "4");   // the number itself, no blanks before it
    long long max = 0;
    dlg().get_int(INDEX_SPIN, platform::Attr::range_max, max);
    EXPECT_EQ(max, 4);   // NX
    // Grid: no index, no search; the template has no colour-by and no "show BC".
    EXPECT_TRUE(checked(1015));
    EXPECT_FALSE(enabled(INDEX));
    EXPECT_FALSE(enabled(FIND_MAX));
    EXPECT_EQ(control(SHOW_BC), nullptr);
    EXPECT_EQ(control(COLOUR_BY_SPEED), nullptr);
    EXPECT_EQ(pixel(viewctl.NXPIX - 30, 15), WHITE);   // drawn: the axis glyph

    // Max moves the index and writes the bare number as well.
    press(1019);
    resid.REST[ARIDX(2, 2, 2)] = 1.0;
    press(FIND_MAX);
    EXPECT_EQ(viewctl.PINDEX, 2);
    EXPECT_EQ(field(INDEX), "2");
    // An index out of range typed: the previous one goes back, bare.
    type(INDEX, "9");
    EXPECT_EQ(field(INDEX), "2");
}

// Each residual's legend title, whether the viewer opens on that plot or
// it is chosen afterwards; Grid and Blockage keep the title in force.
TEST_F(ViewGridTest, LegendTitleOfEachResidual) {
    struct Case {
        int code, radio;
        const char* title;   // nullptr: unchanged
        bool index, find;
    };
    const Case cases[] = {
        {12, 1013, "Pressure Pa", true, true},
        {13, 1014, "Momentum Kg-m/s", true, true},
        {14, 1019, "Energy kW", true, true},
        {15, 1020, "Conc g/s", true, true},
        {0, 1015, nullptr, false, false},
        {1, 1012, nullptr, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        const char* before = "Temperature C";
        const std::string expected = c.title ? c.title : before;

        set_pltitle(before);
        viewctl.IRPLOT = c.code;
        VIEWGRIDPROC();
        EXPECT_TRUE(checked(c.radio));
        EXPECT_EQ(trim_right(title()), expected) << "at opening";
        EXPECT_EQ(enabled(INDEX), c.index);
        for (int id : {FIND_LABEL, FIND_MAX, FIND_MIN}) EXPECT_EQ(enabled(id), c.find);
        press(CLOSE);

        set_pltitle(before);
        viewctl.IRPLOT = c.code == 0 ? 1 : 0;
        VIEWGRIDPROC();
        press(c.radio);
        EXPECT_EQ(viewctl.IRPLOT, c.code);
        EXPECT_EQ(trim_right(title()), expected) << "chosen";
        EXPECT_EQ(enabled(INDEX), c.index);
        for (int id : {FIND_LABEL, FIND_MAX, FIND_MIN}) EXPECT_EQ(enabled(id), c.find);
        press(CLOSE);
    }
    EXPECT_EQ(viewctl.IPLOT, 0);   // the domain viewer's choice untouched
}

// Max and Min search the residual shown, not the domain viewer's field: the
// warmest cell lies in layer 1, the largest energy residual in layer 2. The
// colour scale follows the residual, and each cell shows its residual's band.
TEST_F(ViewGridTest, MaxOnTheEnergyResidualGoesToItsLayer) {
    runctl.RESTART = 0;
    INIVAL();
    fields.T[ARIDX(3, 2, 1)] = 273.15 + 40.0;
    clear_residuals();
    resid.REST[ARIDX(2, 2, 2)] = 5.0;     // largest energy residual
    resid.REST[ARIDX(4, 1, 1)] = -3.0;    // smallest
    resid.RESC[ARIDX(1, 1, 1)] = 50.0;    // another residual's extreme elsewhere
    resid.RESUVW[ARIDX(1, 1, 1)] = 50.0;
    viewctl.IPLOT = 2;   // the domain viewer's last choice: temperature
    viewctl.IRPLOT = 14;
    viewctl.IPLANE = 1;
    viewctl.PINDEX = 1;
    VIEWGRIDPROC();
    EXPECT_DOUBLE_EQ(plotopt.CSMIN, -3.0);
    EXPECT_DOUBLE_EQ(plotopt.CSMAX, 5.0);
    press(FIND_MAX);
    EXPECT_EQ(viewctl.PINDEX, 2);
    EXPECT_EQ(field(INDEX), "2");
    // Layer 2 drawn: the cell of the largest residual in the top band, an
    // ordinary cell in the band of 0 on -3..5.
    EXPECT_EQ(cell_pixel(2, 2), plotopt.COLTAB[plotopt.ISCHEME][colour_band(5.0, -3.0, 5.0)]);
    EXPECT_EQ(cell_pixel(1, 3), plotopt.COLTAB[plotopt.ISCHEME][colour_band(0.0, -3.0, 5.0)]);
    EXPECT_NE(cell_pixel(2, 2), cell_pixel(1, 3));
    press(FIND_MIN);
    EXPECT_EQ(viewctl.PINDEX, 1);

    // The domain viewer's search on temperature would have gone to layer 1.
    int i = 0, j = 0, k = 0;
    FINDVAL(1, viewctl.IPLOT, i, j, k);
    EXPECT_EQ(k, 1);
}

// "Blockage" in the residuals viewer draws the blockage alone, even with
// "show BC" left set by the domain viewer, where it adds the boundary marks.
TEST_F(ViewGridTest, BlockageDrawsNoBoundaryMarks) {
    viewctl.IPLANE = 1;
    viewctl.PINDEX = 1;   // the inflow, the heat and contaminant sources lie in layer 1
    viewctl.IPLOT = 1;
    viewctl.IRPLOT = 1;

    plotopt.SHOWBC = false;
    VIEWDOMAINPROC();
    const QImage plain = window_image();
    press(CLOSE);
    plotopt.SHOWBC = true;
    VIEWDOMAINPROC();
    const QImage marked = window_image();
    press(CLOSE);
    ASSERT_NE(plain, marked);   // the marks show in the domain viewer

    VIEWGRIDPROC();
    EXPECT_TRUE(plotopt.SHOWBC);
    EXPECT_EQ(window_image(), plain);
}

// The manual colour limits set in one viewer's Plot Options are in force when
// the other opens, in both directions; the scale step then leaves them.
TEST_F(ViewGridTest, ManualLimitsCarryOverBetweenTheViewers) {
    runctl.RESTART = 0;
    INIVAL();
    fields.T[ARIDX(2, 2, 1)] = 273.15 + 40.0;   // temperatures 20 to 40 C
    viewctl.IPLOT = 2;
    viewctl.IRPLOT = 14;
    VIEWDOMAINPROC();
    with_options([](platform::Dialog& o) {
        QTest::mouseClick(platform::dialog_control(o, OPT_MANUAL), Qt::LeftButton);
        set_field(o, OPT_MIN, "15");
        set_field(o, OPT_MAX, "25");
    });
    EXPECT_TRUE(viewctl.MANUAL);
    EXPECT_DOUBLE_EQ(plotopt.CSMIN, 15.0);
    EXPECT_DOUBLE_EQ(plotopt.CSMAX, 25.0);
    press(CLOSE);

    VIEWGRIDPROC();
    EXPECT_DOUBLE_EQ(plotopt.CSMIN, 15.0);   // not the energy residual's bounds
    EXPECT_DOUBLE_EQ(plotopt.CSMAX, 25.0);
    bool manual_shown = false;
    std::string min_shown, max_shown;
    with_options([&](platform::Dialog& o) {
        manual_shown = checked_in(o, OPT_MANUAL);
        min_shown = field_of(o, OPT_MIN);
        max_shown = field_of(o, OPT_MAX);
        set_field(o, OPT_MIN, "-0.5");
        set_field(o, OPT_MAX, "0.5");
    });
    EXPECT_TRUE(manual_shown);
    EXPECT_EQ(min_shown, limit_text(15.0));
    EXPECT_EQ(max_shown, limit_text(25.0));
    EXPECT_DOUBLE_EQ(plotopt.CSMIN, -0.5);
    EXPECT_DOUBLE_EQ(plotopt.CSMAX, 0.5);
    press(CLOSE);

    VIEWDOMAINPROC();
    EXPECT_DOUBLE_EQ(plotopt.CSMIN, -0.5);
    EXPECT_DOUBLE_EQ(plotopt.CSMAX, 0.5);
    // Manual off: the temperature's own bounds again.
    with_options([](platform::Dialog& o) { QTest::mouseClick(platform::dialog_control(o, OPT_MANUAL), Qt::LeftButton); });
    EXPECT_FALSE(viewctl.MANUAL);
    EXPECT_NEAR(plotopt.CSMIN, 20.0, 1e-9);
    EXPECT_NEAR(plotopt.CSMAX, 40.0, 1e-9);
}

// While one plot viewer is open, a request for either only brings the open
// one to the front: the dialog, its window and the flags stay as they were.
// A run then redraws the open viewer after every iteration and never the
// other. The two viewers' pictures differ here (blockage against grid), so
// a redraw of the wrong one would show. With both closed, a run touches no
// window.
TEST_F(ViewGridTest, OnlyTheOpenViewerIsRedrawnByARun) {
    viewctl.IPLANE = 1;
    viewctl.PINDEX = 1;
    viewctl.IPLOT = 1;    // domain: blockage
    viewctl.IRPLOT = 0;   // residuals: grid
    VIEWDOMAINPROC();
    const QImage domain_picture = window_image();
    press(CLOSE);
    VIEWGRIDPROC();
    const QImage grid_picture = window_image();
    press(CLOSE);
    ASSERT_NE(domain_picture, grid_picture);

    struct Order {
        bool domain_first;
        const char* caption;
        const char* window;
    };
    for (const Order& o : {Order{true, "Data Plot", "Domain view"}, Order{false, "Grid Plot", "Grid view"}}) {
        SCOPED_TRACE(o.caption);
        std::atomic<bool>& first_open = o.domain_first ? viewdlg.VIEWDOMOPEN : viewdlg.VIEWGRIDOPEN;
        std::atomic<bool>& other_open = o.domain_first ? viewdlg.VIEWGRIDOPEN : viewdlg.VIEWDOMOPEN;
        const auto open_first = o.domain_first ? +[] { VIEWDOMAINPROC(); } : +[] { VIEWGRIDPROC(); };
        const auto open_other = o.domain_first ? +[] { VIEWGRIDPROC(); } : +[] { VIEWDOMAINPROC(); };

        open_first();
        QWidget* dialog = platform::dialog_widget(dlg());
        Window(CH_CONSOLE).focus();
        open_other();
        EXPECT_EQ(platform::dialog_widget(dlg()), dialog);
        EXPECT_EQ(caption(), o.caption);
        EXPECT_EQ(window_title(), o.window);
        EXPECT_EQ(platform::active_channel(), CH_VIEW);
        EXPECT_TRUE(first_open);
        EXPECT_FALSE(other_open);
        open_first();   // and a request for the open one itself
        EXPECT_EQ(platform::dialog_widget(dlg()), dialog);

        std::atomic<int> iterations{0}, other_seen_open{0};
        set_plot_viewer_refresh([&] {
            ++iterations;
            if (other_open) ++other_seen_open;
            PLOT_VIEWER_REFRESH();
        });
        poison();
        ASSERT_EQ(run(0, 2, 100).ending, RunEnding::Finished);
        EXPECT_EQ(iterations, 2);
        EXPECT_EQ(other_seen_open, 0);
        EXPECT_TRUE(first_open);
        EXPECT_EQ(window_title(), o.window);
        EXPECT_EQ(window_image(), o.domain_first ? domain_picture : grid_picture);
        press(CLOSE);
        EXPECT_FALSE(viewdlg.VIEWDOMOPEN);
        EXPECT_FALSE(viewdlg.VIEWGRIDOPEN);
    }

    set_plot_viewer_refresh(PLOT_VIEWER_REFRESH);
    ASSERT_EQ(run(0, 2, 100).ending, RunEnding::Finished);
    EXPECT_FALSE(Window(CH_VIEW).exists());
}

// A run with the residuals viewer open on the energy residual: the last
// refresh shows the residuals the solver left, each cell in its band on the
// scale of those residuals.
TEST_F(ViewGridTest, RunRedrawsTheLastResiduals) {
    viewctl.IPLANE = 1;
    viewctl.PINDEX = 1;
    viewctl.IRPLOT = 14;
    VIEWGRIDPROC();
    poison();
    ASSERT_EQ(run(0, 3, 100).ending, RunEnding::Finished);
    ASSERT_TRUE(viewdlg.VIEWGRIDOPEN);
    GETDATABOUNDS();
    EXPECT_DOUBLE_EQ(plotopt.CSMIN, plotopt.RESTMIN);
    EXPECT_DOUBLE_EQ(plotopt.CSMAX, plotopt.RESTMAX);
    ASSERT_LT(plotopt.CSMIN, plotopt.CSMAX);
    int distinct = 0, previous = 0;
    for (int j = 1; j <= griddim.NY; ++j)
        for (int i = 1; i <= griddim.NX; ++i) {
            SCOPED_TRACE(std::to_string(i) + "," + std::to_string(j));
            const int band = colour_band(resid.REST[ARIDX(i, j, 1)], plotopt.CSMIN, plotopt.CSMAX);
            ASSERT_GE(band, 1);
            if (band != previous) ++distinct;
            previous = band;
            EXPECT_EQ(cell_pixel(i, j), plotopt.COLTAB[plotopt.ISCHEME][band]);
        }
    EXPECT_GT(distinct, 1);
}

// The program's own View menu: "Re&siduals" third, grayed until a case is
// loaded, then opening the residuals viewer; while the domain viewer is open
// it only brings that one to the front.
class ProgramViewMenuTest : public testing::PlotViewerTest {
protected:
    ProgramViewMenuTest() { view_items_ = standard_view_items(); }
};

TEST_F(ProgramViewMenuTest, ResidualsItemOpensTheResidualsViewer) {
    std::vector<std::string> texts;
    for (int item = 1; item <= platform::menu_item_count(menu_pos::VIEW_MENU); ++item) {
        platform::MenuItemInfo info;
        ASSERT_TRUE(platform::menu_item_info(menu_pos::VIEW_MENU, item, info));
        texts.push_back(info.text);
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"&Data", "&Region      F10", "Re&siduals", "D&omain data F9"}));
    EXPECT_FALSE(platform::trigger_menu_item(menu_pos::VIEW_MENU, 3));   // grayed: no case loaded yet
    EXPECT_FALSE(viewdlg.VIEWGRIDOPEN);
    menus_case_loaded();
    EXPECT_TRUE(platform::trigger_menu_item(menu_pos::VIEW_MENU, 3));
    pump();
    ASSERT_TRUE(viewdlg.VIEWGRIDOPEN);
    EXPECT_EQ(caption(), "Grid Plot");
    EXPECT_EQ(window_title(), "Grid view");
    press(CLOSE);

    EXPECT_TRUE(platform::trigger_menu_item(menu_pos::VIEW_MENU, 4));
    pump();
    ASSERT_TRUE(viewdlg.VIEWDOMOPEN);
    EXPECT_TRUE(platform::trigger_menu_item(menu_pos::VIEW_MENU, 3));
    pump();
    EXPECT_FALSE(viewdlg.VIEWGRIDOPEN);
    EXPECT_EQ(caption(), "Data Plot");
}

// ---- the domain viewer's decided faults, through the shared code ---------------

// An index outside the current plane leaves the window cleared; an index
// left from a larger case is brought into range at opening.
TEST_F(ViewGridTest, IndexOutsideThePlaneClearsTheWindow) {
    viewctl.IPLANE = 2;
    viewctl.PINDEX = 3;
    viewctl.IRPLOT = 1;
    VIEWGRIDPROC();
    EXPECT_FALSE(cleared());
    press(PLANE_IJ);   // NZ is 2
    EXPECT_EQ(field(INDEX), "3");
    EXPECT_TRUE(cleared());
    press(PLANE_IK);
    EXPECT_FALSE(cleared());
    press(CLOSE);

    viewctl.IPLANE = 1;
    viewctl.PINDEX = 50;
    VIEWGRIDPROC();
    EXPECT_EQ(viewctl.PINDEX, 2);
    EXPECT_EQ(field(INDEX), "2");
    EXPECT_FALSE(cleared());
}

// A search that finds no cell (every cell blocked) leaves the index, its
// field and its spin as they were.
TEST_F(ViewGridTest, SearchFindingNothingChangesNothing) {
    viewctl.IRPLOT = 13;
    viewctl.IPLANE = 1;
    viewctl.PINDEX = 2;
    VIEWGRIDPROC();
    for (int k = 1; k <= griddim.NZ; ++k)
        for (int j = 1; j <= griddim.NY; ++j)
            for (int i = 1; i <= griddim.NX; ++i) fields.CPR[ARIDX(i, j, k)] = 0.0;
    resid.RESM[ARIDX(1, 1, 1)] = 7.0;   // in a blocked cell: not found
    press(FIND_MAX);
    press(FIND_MIN);
    EXPECT_EQ(viewctl.PINDEX, 2);
    EXPECT_EQ(field(INDEX), "2");
    long long pos = 0;
    dlg().get_int(INDEX_SPIN, platform::Attr::position, pos);
    EXPECT_EQ(pos, 2);
}

}  // namespace
}  // namespace tarvex
