// The domain viewer around what changes under it: a smaller case loaded while
// it is open (redrawn on the new case, the index and its spin range inside
// the new plane), a case that fails to load (the viewer closes), saved data
// loaded (redrawn), and its window resized, maximised by F9 or resized with
// the frame (redrawn at the new size). Read back from the window's pixels.
#include <gtest/gtest.h>

#include <QScreen>
#include <QWidget>

#include <string>

#include "plotviewer_fixture.h"
#include "common/channels.h"
#include "engine/data.h"
#include "frontend/calc/fieldstats.h"
#include "frontend/dlg_viewdomain.h"
#include "frontend/runstate.h"
#include "frontend/viewdlg.h"
#include "frontend/winmenu.h"
#include "platform/dialog.h"
#include "platform/dialog_qt.h"
#include "platform/screen.h"
#include "platform/window.h"

namespace tarvex {
namespace {

using namespace plot_ctl;
using platform::Window;
using testing::BLACK;
using testing::EDGE;
using testing::POISON;
using testing::ScriptedChooser;
using testing::WHITE;
using testing::write_text;

// 2 x 2 x 1 cells, 2 m by 2 m by 1 m: smaller than the fixture's 4 x 3 x 2
// in every direction.
std::string smaller_case() {
    return "smaller test case\n"
           "--- end of header\n"
           "2 2 1\n"
           "--- in monitor location\n1 1 1\n"
           "--- in gravity vector\n0 0 -9.81\n"
           "--- in external conditions\n20 0 50\n"
           "--- in fluid parameters\n1.2 1.8e-5\n"
           "--- in initial conditions\n24 0 50\n"
           "--- in X grid dimensions\n2 3 1.0\n0 0 0\n"
           "--- in Y grid dimensions\n2 3 1.0\n0 0 0\n"
           "--- in Z grid dimensions\n2 2 1.0\n0 0 0\n"
           "--- in cell blockage\n0 0 0 0 0 0 0\n"
           "--- in face blockages\n0 0 0 0 0 0 0 0 0\n"
           "--- in inflow section\n1 1 1 1 1 1 0.05 0.2 0 0 18 0 40\n0 0 0 0 0 0 0 0 0 0\n"
           "--- in outflow section\n2 2 2 2 1 1 -0.05\n0 0 0 0 0 0 0\n"
           "--- in pressure bounds section\n0 0 0 0 0 0\n"
           "--- in heat gains section\n0 0 0 0 0 0 0 0 0 0\n"
           "--- in Temp/Uval section\n0 0 0 0 0 0 0 0 0\n"
           "--- in contaminant section\n0 0 0 0 0 0 0 0 0 0\n"
           "--- in water contaminant section\n0 0 0 0 0 0 0 0 0 0\n"
           "--- in buoyant region section\n0 0 0 0 0 0 0\n";
}

class PlotViewerCaseTest : public testing::PlotViewerTest {
protected:
    using Attr = platform::Attr;
    PlotViewerCaseTest() { view_items_ = {{"D&omain data F9", [] { VIEWDOMAINPROC(); }, 9}}; }

    static long long spin(Attr attr) {
        long long v = 0;
        dlg().get_int(INDEX_SPIN, attr, v);
        return v;
    }
    // The window pixel of a world point under the last redraw's mapping.
    static std::uint32_t pixel_at(double x, double y, int dx = 0) {
        const platform::WorldPoint p = Window(CH_VIEW).world_to_pixel(x, y);
        return pixel(static_cast<int>(p.x) + dx, static_cast<int>(p.y));
    }
    // An edge line through the world point (within a pixel of it).
    static bool edge_at(double x, double y) {
        const platform::WorldPoint p = Window(CH_VIEW).world_to_pixel(x, y);
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (pixel(static_cast<int>(p.x) + dx, static_cast<int>(p.y) + dy) == EDGE) return true;
        return false;
    }
    // Lets the window settle and its resize notice run.
    static void settle() {
        for (int n = 0; n < 5; ++n) pump();
    }
    // The axis glyph's vertical arm stands 30 pixels left of the drawing
    // area's right edge: there in the text colour, the picture fits NXPIX.
    static bool glyph_at_right_edge() { return pixel(viewctl.NXPIX - 30, 15) == WHITE; }

    ScriptedChooser chooser;
};

// The temperature of layer 2 of the 4 m by 3 m case after a short run; then
// the smaller case (2 m by 2 m, one layer) is loaded with the viewer open: it
// shows layer 1 of the new case, with its edges and its temperature (no
// fields yet: 0 K everywhere), and the index cannot step beyond its one
// layer. Then a case that fails to load closes the viewer.
TEST_F(PlotViewerCaseTest, LoadingACaseRedrawsTheViewerOnItAndAFailedLoadClosesIt) {
    write_text("smaller.txt", smaller_case());
    write_text("broken.txt", "a case file without its sections\n");
    ASSERT_EQ(run(0, 3, 3).ending, RunEnding::Finished);
    viewctl.IPLANE = 1;
    viewctl.PINDEX = 2;
    viewctl.IPLOT = 2;
    VIEWDOMAINPROC();
    ASSERT_TRUE(viewdlg.VIEWDOMOPEN);
    EXPECT_EQ(spin(Attr::range_max), 2);
    ASSERT_GT(plotopt.CSMAX, 10.0);
    // The edge lines run across the whole window: read them outside the
    // domain, where no wall is drawn over them.
    EXPECT_TRUE(edge_at(4.0, 3.1));   // the old east wall
    const platform::WorldPoint old_east = Window(CH_VIEW).world_to_pixel(4.0, 3.1);

    chooser.answer({"smaller.txt"});
    OPENDATAPROC();
    ASSERT_EQ(griddim.NX, 2);
    ASSERT_TRUE(viewdlg.VIEWDOMOPEN);
    EXPECT_EQ(platform::window_text(Window(CH_VIEW).handle()), "Domain view");
    // The index went inside the one layer, in the field and the spin.
    EXPECT_EQ(viewctl.PINDEX, 1);
    EXPECT_EQ(field(INDEX), "1");
    EXPECT_EQ(spin(Attr::range_max), 1);
    EXPECT_EQ(spin(Attr::position), 1);
    // The new case is drawn: its east and north walls, and not the old east
    // wall; the scale is that of its own temperature (0 K everywhere).
    EXPECT_TRUE(edge_at(2.0, 2.1));
    EXPECT_TRUE(edge_at(-0.02, 2.0));
    for (int dx = -1; dx <= 1; ++dx)
        EXPECT_NE(pixel(static_cast<int>(old_east.x) + dx, static_cast<int>(old_east.y)), EDGE);
    EXPECT_NEAR(plotopt.CSMIN, 0.99 * -273.15, 1e-9);
    EXPECT_NEAR(plotopt.CSMAX, 1.01 * -273.15, 1e-9);
    for (const auto& [x, y] : {std::pair{0.5, 0.5}, std::pair{1.5, 1.5}}) {
        const int band = colour_band(fields.T[ARIDX(x < 1 ? 1 : 2, y < 1 ? 1 : 2, 1)] - 273.15, plotopt.CSMIN,
                                     plotopt.CSMAX);
        EXPECT_EQ(pixel_at(x, y), plotopt.COLTAB[plotopt.ISCHEME][band]) << x << "," << y;
    }
    // Stepping the index beyond the layer is refused, and 1 is drawn.
    type(INDEX, "2");
    EXPECT_EQ(field(INDEX), "1");
    EXPECT_TRUE(edge_at(2.0, 2.1));

    // A case that fails to load: nothing of it is shown, the viewer closes.
    chooser.answer({"broken.txt"});
    OPENDATAPROC();
    EXPECT_FALSE(runstate.GEOMOK);
    EXPECT_FALSE(viewdlg.VIEWDOMOPEN);
    EXPECT_FALSE(Window(CH_VIEW).exists());
    EXPECT_FALSE(platform::dialog_widget(dlg()) && platform::dialog_widget(dlg())->isVisible());
    EXPECT_TRUE(function_key_released(9));   // and F9 opens nothing on it
    EXPECT_FALSE(viewdlg.VIEWDOMOPEN);
}

// Saved data loaded while the viewer is open: drawn from the new fields.
TEST_F(PlotViewerCaseTest, LoadingSavedDataRedrawsTheViewer) {
    ASSERT_EQ(run(0, 3, 3).ending, RunEnding::Finished);   // writes OUTPUT
    viewctl.IPLOT = 2;
    VIEWDOMAINPROC();
    poison();
    chooser.answer({"OUTPUT"});
    OPENPREVPROC();
    EXPECT_EQ(chooser.shown, 1);
    EXPECT_NE(pixel(300, 300), POISON);
    EXPECT_TRUE(glyph_at_right_edge());
}

// The window placed smaller, maximised again by F9, and resized with the
// frame: each time the picture is drawn again at the new size.
TEST_F(PlotViewerCaseTest, AResizedWindowIsRedrawnAtItsNewSize) {
    viewctl.IPLOT = 2;
    VIEWDOMAINPROC();
    settle();
    ASSERT_EQ(viewctl.NXPIX, 1014);
    ASSERT_TRUE(glyph_at_right_edge());

    place_window(60, 20);   // the child resized: 470 by 310 pixels
    settle();
    EXPECT_EQ(viewctl.NXPIX, 470);
    EXPECT_EQ(viewctl.NYPIX, 310);
    EXPECT_TRUE(glyph_at_right_edge());

    EXPECT_TRUE(function_key_released(9));   // F9 while open: maximised
    settle();
    EXPECT_EQ(viewctl.NXPIX, 1014);
    EXPECT_EQ(viewctl.NYPIX, 630);
    EXPECT_TRUE(glyph_at_right_edge());
    EXPECT_EQ(pixel(440, 15), BLACK);   // where the small picture's glyph stood

    QWidget* frame = platform::dialog_owner_window();
    ASSERT_NE(frame, nullptr);
    frame->resize(frame->width() - 240, frame->height() - 160);   // the frame resized
    settle();
    EXPECT_EQ(viewctl.NXPIX, 1014 - 240);
    EXPECT_EQ(viewctl.NYPIX, 630 - 160);
    EXPECT_TRUE(glyph_at_right_edge());
}

// A dialog that the picture's legend moved under when the window grew (the
// user had put it there, beside the small window) is moved off the legend;
// one clear of it stays where the user put it.
TEST_F(PlotViewerCaseTest, ADialogTheLegendGrewUnderMovesOffIt) {
    QWidget* frame = platform::dialog_owner_window();
    ASSERT_NE(frame, nullptr);
    frame->setGeometry(frame->screen()->availableGeometry());   // no room beside the frame
    settle();
    viewctl.IPLOT = 2;
    VIEWDOMAINPROC();
    settle();
    QWidget* dialog = platform::dialog_widget(dlg());
    ASSERT_NE(dialog, nullptr);
    auto legend = [] {
        platform::ScreenRect w;
        EXPECT_TRUE(platform::window_screen_rect(CH_VIEW, w));
        const int left = viewctl.NXPIX - 125;
        return QRect(w.x + left, w.y, w.width - left, w.height);
    };

    const QRect full = legend();
    place_window(60, 20);   // small: the legend now stands in the frame's middle
    settle();
    dialog->move(full.left() - 10, full.top());   // over where the full-size legend was
    settle();
    const QPoint put = dialog->pos();
    ASSERT_FALSE(dialog->frameGeometry().intersects(legend()));

    EXPECT_TRUE(function_key_released(9));   // maximised again: the legend moves right
    settle();
    EXPECT_FALSE(dialog->frameGeometry().intersects(legend()));
    EXPECT_NE(dialog->pos(), put);

    // Put clear of it by the user, it stays there when the window changes size.
    dialog->move(frame->geometry().left(), dialog->y());
    settle();
    const QPoint kept = dialog->pos();
    frame->resize(frame->width() - 40, frame->height());
    settle();
    ASSERT_FALSE(dialog->frameGeometry().intersects(legend()));
    EXPECT_EQ(dialog->pos(), kept);
}

}  // namespace
}  // namespace tarvex
