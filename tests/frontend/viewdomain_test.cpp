// The domain viewer on the small test case: what the dialog and the window
// show when it opens; the frame drawn in a window of known size; the
// controls; the decided faults (indices outside the plane, a window too
// small, a search finding nothing, a second opening); the pictures through a
// scripted file chooser and message boxes; the field lock (a control handled
// while a run holds it is drawn by the next refresh); and a run with the
// viewer open while a timer on the GUI thread works the dialog.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QImage>
#include <QScreen>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "plotviewer_fixture.h"
#include "common/channels.h"
#include "engine/data.h"
#include "engine/engine.h"
#include "frontend/calc/fieldstats.h"
#include "frontend/calc/plotwindow.h"
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
#include "platform/screen.h"
#include "platform/window.h"

namespace tarvex {
namespace {

using namespace plot_ctl;
using platform::Window;

using testing::FieldLockHolder;
using testing::PictureChooser;
using testing::BLACK;
using testing::WHITE;
using testing::EDGE;
using testing::POISON;

class ViewDomainTest : public testing::PlotViewerTest {
protected:
    ViewDomainTest() { view_items_ = {{"D&omain data F9", [] { VIEWDOMAINPROC(); }, 9}}; }

    // The plot window's legend area on the screen: the legend's caption
    // starts 125 pixels before NXPIX, and the area runs to the window's
    // right edge over its whole height.
    static QRect legend_on_screen() {
        platform::ScreenRect w;
        EXPECT_TRUE(platform::window_screen_rect(CH_VIEW, w));
        const int left = viewctl.NXPIX - 125;
        return QRect(w.x + left, w.y, w.width - left, w.height);
    }
};

// The dialog never covers the legend area: beside the frame when it fits
// there, inside it left of the legend when the frame fills the screen or
// stands at its left edge with no room on either side.
TEST_F(ViewDomainTest, DialogNeverCoversTheLegend) {
    QWidget* frame = platform::dialog_owner_window();
    const QRect screen = frame->screen()->availableGeometry();
    struct Case {
        const char* what;
        QRect frame;
        bool beside;
    };
    const Case cases[] = {
        {"fits beside", QRect(screen.left(), screen.top(), screen.width() / 2, screen.height() - 40), true},
        {"fills the screen", screen, false},
        {"at the left edge", QRect(screen.left(), screen.top(), screen.width() - 60, screen.height()), false},
    };
    for (const Case& c : cases) {
        frame->setGeometry(c.frame);
        pump();
        VIEWDOMAINPROC();
        ASSERT_TRUE(viewdlg.VIEWDOMOPEN) << c.what;
        pump();
        const QRect dialog = platform::dialog_widget(dlg())->frameGeometry();
        const QRect legend = legend_on_screen();
        EXPECT_FALSE(dialog.intersects(legend)) << c.what << ": dialog " << dialog.left() << ".." << dialog.right()
                                                << ", legend " << legend.left() << ".." << legend.right();
        EXPECT_TRUE(screen.contains(dialog)) << c.what;
        EXPECT_EQ(dialog.left() > frame->frameGeometry().right(), c.beside) << c.what;
        press(CLOSE);
        ASSERT_FALSE(viewdlg.VIEWDOMOPEN);
    }
}

// The plane label in the plot's font lies whole inside the window and reads
// its true value: as many lit pixels as the same text drawn in the open, all
// left of the window's right edge, for layer centres from 0 to 123.45 m.
TEST_F(ViewDomainTest, PlaneLabelLiesWholeInsideTheWindow) {
    const double positions[] = {0.0, 0.05, 0.5, 2.125, 123.45};
    auto label_of = [](double position) {
        std::string text = plane_position_label('z', position);
        return text.erase(text.find_last_not_of(' ') + 1);
    };
    // Each text drawn in the open first, in a window of its own.
    std::vector<int> want;
    constexpr int SCRATCH = 90;
    ASSERT_TRUE(platform::open_window(SCRATCH, platform::WindowKind::Graphics, "scratch"));
    Window s(SCRATCH);
    platform::WindowConfig cfg{400, 40, -1, -1, -1, 8, 16, ""};
    s.set_config(cfg);
    for (double position : positions) {
        s.set_bk_color_rgb(BLACK);
        s.set_color_rgb(WHITE);
        s.clear();
        s.select_font("t'Arial'h14w8pvib");
        s.move_to(10, 10);
        s.out_text(label_of(position));
        int n = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 400; ++x) n += s.pixel(x, y) == WHITE;
        ASSERT_GT(n, 0) << label_of(position);
        want.push_back(n);
    }
    platform::close_window(SCRATCH);

    viewctl.IPLOT = 1;   // the blockage: nothing white where the label stands
    VIEWDOMAINPROC();
    ASSERT_TRUE(viewdlg.VIEWDOMOPEN);
    const double z1 = gridline.Z[1];
    for (size_t n = 0; n < std::size(positions); ++n) {
        // The first layer's centre at the position.
        gridline.Z[0] = 0.0;
        gridline.Z[1] = 2.0 * positions[n];
        type(INDEX, "2");
        type(INDEX, "1");   // redrawn at layer 1
        const int nx = viewctl.NXPIX;
        platform::ScreenRect window;
        ASSERT_TRUE(platform::window_screen_rect(CH_VIEW, window));
        ASSERT_GE(window.width, nx);
        int lit = 0, rightmost = -1;
        for (int y = 54; y < 72; ++y)
            for (int x = nx - 200; x < window.width + 20; ++x)
                if (pixel(x, y) == WHITE) {
                    ++lit;
                    rightmost = std::max(rightmost, x);
                }
        EXPECT_EQ(lit, want[n]) << "'" << label_of(positions[n]) << "'";
        EXPECT_LT(rightmost, std::min(window.width, nx + 10)) << "'" << label_of(positions[n]) << "'";
    }
    gridline.Z[1] = z1;
}

TEST_F(ViewDomainTest, OpensMaximisedWithTheDialogShowingTheState) {
    viewctl.IPLANE = 2;
    viewctl.PINDEX = 3;
    viewctl.IPLOT = 2;
    VIEWDOMAINPROC();
    ASSERT_TRUE(viewdlg.VIEWDOMOPEN);
    Window w(CH_VIEW);
    ASSERT_TRUE(w.exists());
    EXPECT_EQ(platform::window_text(w.handle()), "Domain view");
    platform::WindowPlace place;
    ASSERT_TRUE(w.get_place(place));
    EXPECT_EQ(place.state, platform::WindowState::Maximised);
    EXPECT_EQ(viewctl.NXPIX, 1014);   // the frame's 128 by 40 cells
    EXPECT_EQ(viewctl.NYPIX, 630);
    QWidget* dialog = platform::dialog_widget(dlg());
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->windowTitle().toStdString(), "Data Plot");
    // Not over the legend of the plot it steers.
    EXPECT_FALSE(dialog->frameGeometry().intersects(legend_on_screen()));

    EXPECT_TRUE(checked(PLANE_IK));
    EXPECT_EQ(label(INDEX_LETTER), "J");
    EXPECT_EQ(field(INDEX), "3");
    long long max = 0, pos = 0;
    dlg().get_int(INDEX_SPIN, platform::Attr::range_max, max);
    dlg().get_int(INDEX_SPIN, platform::Attr::position, pos);
    EXPECT_EQ(max, 3);   // NY
    EXPECT_EQ(pos, 3);
    EXPECT_EQ(field(ZOOM), " 0");   // zoom starts at 0: no zoom
    for (int id : {PAN_UP, PAN_DOWN, PAN_LEFT, PAN_RIGHT}) EXPECT_FALSE(enabled(id));
    EXPECT_TRUE(checked(1013));
    EXPECT_TRUE(enabled(INDEX));
    EXPECT_TRUE(enabled(FIND_MAX));
    EXPECT_FALSE(enabled(COLOUR_BY_SPEED));
    EXPECT_FALSE(enabled(SHOW_BC));
    EXPECT_EQ(title(), "Temperature C       ");

    // Drawn: the axis glyph's corner is in the text colour.
    EXPECT_EQ(pixel(viewctl.NXPIX - 30, 15), WHITE);
}

TEST_F(ViewDomainTest, OpensOnlyOnceACaseIsLoaded) {
    runstate.GEOMOK = false;
    VIEWDOMAINPROC();
    EXPECT_FALSE(viewdlg.VIEWDOMOPEN);
    EXPECT_FALSE(Window(CH_VIEW).exists());
    EXPECT_TRUE(function_key_released(9));
    EXPECT_FALSE(viewdlg.VIEWDOMOPEN);

    runstate.GEOMOK = true;
    EXPECT_TRUE(function_key_released(9));
    EXPECT_TRUE(viewdlg.VIEWDOMOPEN);
}

// The edges of the 4 m by 3 m IJ plane in a window of 100 by 30 cells:
// 790 by 470 pixels; 3/470 m a pixel; the world window from -0.5043 to
// 5.5468 across and -0.3 to 3.3 up.
TEST_F(ViewDomainTest, FrameInAWindowOfKnownSize) {
    VIEWDOMAINPROC();
    place_window(100, 30);
    press(PLANE_IJ);
    ASSERT_EQ(viewctl.NXPIX, 790);
    ASSERT_EQ(viewctl.NYPIX, 470);
    EXPECT_EQ(viewctl.IPX0, 65);
    EXPECT_EQ(viewctl.IPX1, 588);
    EXPECT_EQ(viewctl.IPY0, 430);
    EXPECT_EQ(viewctl.IPY1, 39);
    // x = 0 lies at pixel 65.8 and x = 4 at 588.05; y = 0 at row 430.8 and
    // y = 3 at 39.2. The lines run over the whole window: seen here outside
    // the plot area, where nothing else is drawn.
    EXPECT_EQ(pixel(66, 20), EDGE);
    EXPECT_EQ(pixel(66, 460), EDGE);
    EXPECT_EQ(pixel(588, 460), EDGE);
    EXPECT_EQ(pixel(700, 431), EDGE);
    EXPECT_EQ(pixel(700, 39), EDGE);
    EXPECT_EQ(pixel(30, 431), EDGE);
    EXPECT_EQ(pixel(65, 460), BLACK);
    EXPECT_EQ(pixel(67, 460), BLACK);
    EXPECT_EQ(pixel(700, 430), BLACK);
    EXPECT_EQ(pixel(300, 460), BLACK);
    // The axis glyph at the top right: its vertical arm and its corner.
    EXPECT_EQ(pixel(760, 10), WHITE);
    EXPECT_EQ(pixel(775, 30), WHITE);
    EXPECT_EQ(pixel(700, 10), BLACK);
}

// The enabling of the other controls follows the plot choice, and the legend
// title with it.
TEST_F(ViewDomainTest, PlotChoicesSetEnablingAndTitle) {
    VIEWDOMAINPROC();
    struct Case {
        int radio;
        int iplot;
        bool index, colour_by, find, show_bc;
        const char* title;
    };
    const Case cases[] = {
        {1012, 1, true, false, false, true, "Temperature C"},   // the title stays from the opening
        {1015, 0, false, false, false, false, "Temperature C"},
        {1018, 7, true, false, true, false, "Pressure Pa"},
        {1023, 9, true, true, true, false, "Speed m/s"},   // vectors after pressure: the colouring's title
        {1014, 3, true, false, true, false, "Concentration g/Kg"},
        {1016, 10, true, false, true, false, "Concentration2 g/Kg"},
        {1017, 11, true, false, true, false, "Concentration2 %RH"},
        {1019, 4, true, false, true, false, "Speed m/s"},
        {1021, 8, true, false, true, false, "Speed m/s"},
        {1020, 5, true, false, true, false, "Speed m/s"},
        {1022, 6, true, false, true, false, "Speed m/s"},
        {1013, 2, true, false, true, false, "Temperature C"},
    };
    set_pltitle("Temperature C");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.radio);
        press(c.radio);
        EXPECT_EQ(viewctl.IPLOT, c.iplot);
        EXPECT_EQ(enabled(INDEX), c.index);
        for (int id : {COLOUR_BY_LABEL, COLOUR_BY_SPEED, COLOUR_BY_TEMP, COLOUR_BY_CONC})
            EXPECT_EQ(enabled(id), c.colour_by);
        for (int id : {FIND_LABEL, FIND_MAX, FIND_MIN}) EXPECT_EQ(enabled(id), c.find);
        EXPECT_EQ(enabled(SHOW_BC), c.show_bc);
        EXPECT_EQ(trim_right(title()), c.title);
    }
    press(1023);
    EXPECT_TRUE(checked(COLOUR_BY_SPEED));   // the colouring in force
    press(COLOUR_BY_TEMP);
    EXPECT_EQ(viewctl.ICOLBY, 2);
    EXPECT_EQ(trim_right(title()), "Temperature C");
    press(COLOUR_BY_CONC);
    EXPECT_EQ(viewctl.ICOLBY, 3);
    EXPECT_EQ(trim_right(title()), "Concentration g/Kg");
    press(1012);
    press(SHOW_BC);
    EXPECT_TRUE(plotopt.SHOWBC);
    press(SHOW_BC);
    EXPECT_FALSE(plotopt.SHOWBC);
}

TEST_F(ViewDomainTest, PlaneAndIndexControls) {
    viewctl.IPLOT = 2;
    VIEWDOMAINPROC();
    press(PLANE_IK);
    EXPECT_EQ(viewctl.IPLANE, 2);
    EXPECT_EQ(label(INDEX_LETTER), "J");
    long long max = 0;
    dlg().get_int(INDEX_SPIN, platform::Attr::range_max, max);
    EXPECT_EQ(max, 3);
    press(PLANE_JK);
    EXPECT_EQ(label(INDEX_LETTER), "I");
    dlg().get_int(INDEX_SPIN, platform::Attr::range_max, max);
    EXPECT_EQ(max, 4);

    type(INDEX, "4");
    EXPECT_EQ(viewctl.PINDEX, 4);
    // Out of the plane's range: the previous index goes back into the field.
    for (const char* text : {"0", "-2", "5"}) {
        type(INDEX, text);
        EXPECT_EQ(viewctl.PINDEX, 4) << text;
        EXPECT_EQ(field(INDEX), "4") << text;
    }
    // Unreadable or empty: nothing, not even a redraw.
    poison();
    type(INDEX, "");
    type(INDEX, "x");
    EXPECT_EQ(viewctl.PINDEX, 4);
    EXPECT_EQ(pixel(300, 300), POISON);

    // The spin steps from the index shown.
    type(INDEX, "2");
    QTest::keyClick(control(INDEX), Qt::Key_Up);
    EXPECT_EQ(viewctl.PINDEX, 3);
    EXPECT_EQ(field(INDEX), "3");
}

TEST_F(ViewDomainTest, ZoomAndPan) {
    VIEWDOMAINPROC();
    type(ZOOM, "2");
    EXPECT_EQ(viewwin.IZOOM, 2);
    for (int id : {PAN_UP, PAN_DOWN, PAN_LEFT, PAN_RIGHT}) EXPECT_TRUE(enabled(id));
    // The IJ plane is 4 m across and 3 m up: steps of 1 m and 0.75 m.
    EXPECT_DOUBLE_EQ(viewwin.STEPX, 1.0);
    EXPECT_DOUBLE_EQ(viewwin.STEPY, 0.75);
    std::vector<double> xs;
    for (int n = 0; n < 6; ++n) {
        press(PAN_RIGHT);
        xs.push_back(viewwin.PANX);
    }
    EXPECT_EQ(xs, (std::vector<double>{1, 2, 3, 4, 4, 4}));
    press(PAN_LEFT);
    EXPECT_EQ(viewwin.PANX, 3.0);
    press(PAN_UP);
    press(PAN_DOWN);
    press(PAN_DOWN);
    EXPECT_EQ(viewwin.PANY, 0.0);

    // Out of 1..10: the previous zoom goes back (typing 20 enters 2 first);
    // unreadable: nothing.
    type(ZOOM, "20");
    EXPECT_EQ(viewwin.IZOOM, 2);
    EXPECT_EQ(trim_right(field(ZOOM)), " 2");
    type(ZOOM, "q");
    EXPECT_EQ(viewwin.IZOOM, 2);

    // Back to no zoom: the pan offsets and steps go, the buttons are disabled.
    type(ZOOM, "1");
    EXPECT_EQ(viewwin.PANX, 0.0);
    EXPECT_EQ(viewwin.STEPX, 0.0);
    for (int id : {PAN_UP, PAN_DOWN, PAN_LEFT, PAN_RIGHT}) EXPECT_FALSE(enabled(id));
}

// Options, and Escape, open the Plot Options; what they change is drawn
// when they end: here paper colours, a white background.
TEST_F(ViewDomainTest, OptionsOpenThePlotOptionsAndRedrawAfterwards) {
    int shown = 0;
    platform::set_dialog_show_hook([&](platform::Dialog& d) {
        if (d.template_id() != 109) return;
        ++shown;
        platform::Dialog* options = &d;
        QTimer::singleShot(0, [options] {
            qobject_cast<QAbstractButton*>(platform::dialog_control(*options, 1070))->click();   // paper
            qobject_cast<QAbstractButton*>(platform::dialog_control(*options, 1))->click();
        });
    });
    VIEWDOMAINPROC();
    EXPECT_EQ(pixel(300, 20), BLACK);
    QTest::keyClick(control(ZOOM), Qt::Key_Escape);
    EXPECT_EQ(shown, 1);
    EXPECT_TRUE(plotopt.PAPER);
    EXPECT_EQ(pixel(300, 20), WHITE);
    EXPECT_TRUE(viewdlg.VIEWDOMOPEN);
    press(OPTIONS);
    EXPECT_EQ(shown, 2);
    platform::set_dialog_show_hook(nullptr);
}

TEST_F(ViewDomainTest, EnterCloses) {
    VIEWDOMAINPROC();
    QTest::keyClick(control(ZOOM), Qt::Key_Return);
    EXPECT_FALSE(viewdlg.VIEWDOMOPEN);
    EXPECT_FALSE(Window(CH_VIEW).exists());
    EXPECT_EQ(platform::active_channel(), CH_CONSOLE);

    // The state outlives the viewer.
    viewctl.PINDEX = 2;
    VIEWDOMAINPROC();
    EXPECT_EQ(field(INDEX), "2");
}

// A second request while the viewer is open only brings it to the front:
// the dialog is not built again and keeps what the user typed.
TEST_F(ViewDomainTest, SecondOpeningBringsTheViewerToTheFront) {
    VIEWDOMAINPROC();
    QWidget* first = platform::dialog_widget(dlg());
    qobject_cast<QLineEdit*>(control(ZOOM))->setText("7");   // not entered
    Window(CH_CONSOLE).focus();
    VIEWDOMAINPROC();
    EXPECT_EQ(platform::dialog_widget(dlg()), first);
    EXPECT_EQ(field(ZOOM), "7");
    EXPECT_EQ(viewwin.IZOOM, 0);
    EXPECT_EQ(platform::active_channel(), CH_VIEW);
}

// An index outside the current plane (after a plane change, or a smaller case
// loaded since the index was set) and an unreadable index draw nothing: the
// window is cleared. Opening clamps the stored index to the loaded case.
TEST_F(ViewDomainTest, IndexOutsideThePlaneClearsTheWindow) {
    viewctl.IPLANE = 2;
    viewctl.PINDEX = 3;
    viewctl.IPLOT = 1;
    VIEWDOMAINPROC();
    EXPECT_FALSE(cleared());
    press(PLANE_IJ);   // NZ is 2: index 3 lies outside
    EXPECT_EQ(field(INDEX), "3");
    EXPECT_TRUE(cleared());
    press(PLANE_IK);
    EXPECT_FALSE(cleared());

    // Letters in the field: the next redraw clears.
    qobject_cast<QLineEdit*>(control(INDEX))->setText("abc");
    press(1012);
    EXPECT_TRUE(cleared());
    press(CLOSE);

    viewctl.IPLANE = 1;
    viewctl.PINDEX = 50;   // left from a larger case
    VIEWDOMAINPROC();
    EXPECT_EQ(viewctl.PINDEX, 2);
    EXPECT_EQ(field(INDEX), "2");
    EXPECT_FALSE(cleared());
}

TEST_F(ViewDomainTest, WindowTooSmallIsClearedAndNothingDrawn) {
    VIEWDOMAINPROC();
    for (int width : {13, 1}) {   // 94 pixels across, then -2
        place_window(width, 10);
        poison();
        press(PLANE_IJ);
        EXPECT_TRUE(viewctl.NXPIX <= 100);
        for (int y = 0; y < 150; y += 5)
            for (int x = 0; x < 100; x += 5) ASSERT_EQ(pixel(x, y), BLACK) << x << "," << y;
    }
    place_window(20, 10);   // 150 pixels: drawn again
    press(PLANE_IJ);
    EXPECT_EQ(viewctl.NXPIX, 150);
    EXPECT_EQ(pixel(120, 10), WHITE);   // the glyph's vertical arm
}

// A search that finds no open cell leaves the index, its field and its spin.
TEST_F(ViewDomainTest, SearchFindingNothingChangesNothing) {
    viewctl.IPLOT = 2;
    viewctl.PINDEX = 2;
    VIEWDOMAINPROC();
    for (int k = 1; k <= griddim.NZ; ++k)
        for (int j = 1; j <= griddim.NY; ++j)
            for (int i = 1; i <= griddim.NX; ++i) fields.CPR[ARIDX(i, j, k)] = 0.0;
    press(FIND_MAX);
    press(FIND_MIN);
    EXPECT_EQ(viewctl.PINDEX, 2);
    EXPECT_EQ(field(INDEX), "2");
    long long pos = 0;
    dlg().get_int(INDEX_SPIN, platform::Attr::position, pos);
    EXPECT_EQ(pos, 2);
}

TEST_F(ViewDomainTest, MaxAndMinMoveThePlaneToTheExtreme) {
    runctl.RESTART = 0;
    INIVAL();
    fields.T[ARIDX(3, 2, 2)] = 273.15 + 40.0;   // the warmest cell, in layer 2
    fields.T[ARIDX(1, 3, 1)] = 273.15 + 5.0;    // the coldest, in layer 1 and row 3
    viewctl.IPLOT = 2;
    VIEWDOMAINPROC();
    press(FIND_MAX);
    EXPECT_EQ(viewctl.PINDEX, 2);
    EXPECT_EQ(field(INDEX), "2");
    press(FIND_MIN);
    EXPECT_EQ(viewctl.PINDEX, 1);
    press(PLANE_IK);
    press(FIND_MIN);
    EXPECT_EQ(viewctl.PINDEX, 3);
    long long pos = 0;
    dlg().get_int(INDEX_SPIN, platform::Attr::position, pos);
    EXPECT_EQ(pos, 3);
}

// ---- pictures -------------------------------------------------------------------

QImage window_image() {
    QImage img(viewctl.NXPIX + 1, viewctl.NYPIX + 1, QImage::Format_RGB32);
    for (int y = 0; y <= viewctl.NYPIX; ++y)
        for (int x = 0; x <= viewctl.NXPIX; ++x) {
            const std::uint32_t c = Window(CH_VIEW).pixel(x, y);
            img.setPixel(x, y, qRgb(platform::red_of(c), platform::green_of(c), platform::blue_of(c)));
        }
    return img;
}

bool same_pixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return false;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if ((a.pixel(x, y) & 0xFFFFFF) != (b.pixel(x, y) & 0xFFFFFF)) return false;
    return true;
}

std::string file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST_F(ViewDomainTest, PicturesAreNumberedAndSaveThePlotWindow) {
    PictureChooser chooser;
    VIEWDOMAINPROC();
    chooser.answer({nullptr, "Pic_0002.BMP"});
    press(SAVE_IMAGE);   // cancelled: nothing saved, the number is used up
    press(SAVE_IMAGE);
    ASSERT_EQ(chooser.proposed, (std::vector<std::string>{"Pic_0001.BMP", "Pic_0002.BMP"}));
    EXPECT_EQ(chooser.extensions[0], "bmp");
    EXPECT_EQ(NPIC, 2);
    EXPECT_FALSE(testing::file_exists("Pic_0001.BMP"));
    ASSERT_TRUE(testing::file_exists("Pic_0002.BMP"));
    EXPECT_EQ(PICNAME.trimmed(), (std::filesystem::current_path() / "Pic_0002.BMP").string());

    const QImage saved("Pic_0002.BMP", "BMP");
    ASSERT_FALSE(saved.isNull());
    EXPECT_EQ(saved.width(), 1015);   // pixels 0..NXPIX and 0..NYPIX
    EXPECT_EQ(saved.height(), 631);
    EXPECT_TRUE(same_pixels(saved, window_image()));
}

// The run makes other windows active; Save Image still saves window 99.
TEST_F(ViewDomainTest, PictureAfterARunIsTheViewersWindow) {
    PictureChooser chooser;
    viewctl.IPLOT = 1;
    VIEWDOMAINPROC();
    ASSERT_EQ(run(0, 2, 100).ending, RunEnding::Finished);
    ASSERT_NE(platform::active_channel(), CH_VIEW);
    chooser.answer({"after_run.bmp"});
    press(SAVE_IMAGE);
    const QImage saved("after_run.bmp", "BMP");
    ASSERT_FALSE(saved.isNull());
    EXPECT_TRUE(same_pixels(saved, window_image()));
}

// A picture never silently replaces a file: "No" brings the dialog back with
// that name, and the file keeps its bytes; "Yes" replaces it.
TEST_F(ViewDomainTest, ReplacingAFileIsAskedFirst) {
    PictureChooser chooser;
    std::vector<platform::MessageBox> boxes;
    platform::Answer answer = platform::Answer::No;
    platform::set_message_box_responder([&](const platform::MessageBox& box) {
        boxes.push_back(box);
        return answer;
    });
    testing::write_text("old.bmp", "the old picture");
    const std::string full = (std::filesystem::current_path() / "old.bmp").string();
    VIEWDOMAINPROC();

    chooser.answer({"old.bmp", nullptr});
    press(SAVE_IMAGE);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].buttons, platform::Buttons::YesNo);
    EXPECT_NE(boxes[0].text.find(full), std::string::npos) << boxes[0].text;
    ASSERT_EQ(chooser.proposed.size(), 2u);
    EXPECT_EQ(chooser.proposed[1], full);   // back to the dialog with that name
    EXPECT_EQ(file_bytes("old.bmp"), "the old picture");

    answer = platform::Answer::Yes;
    chooser.answer({"old.bmp"});
    press(SAVE_IMAGE);
    EXPECT_EQ(boxes.size(), 2u);
    const QImage saved("old.bmp", "BMP");
    ASSERT_FALSE(saved.isNull());
    EXPECT_TRUE(same_pixels(saved, window_image()));

    // A new name is not asked about.
    chooser.answer({"new.bmp"});
    press(SAVE_IMAGE);
    EXPECT_EQ(boxes.size(), 2u);
    EXPECT_TRUE(testing::file_exists("new.bmp"));
}

TEST_F(ViewDomainTest, PictureThatCannotBeWrittenIsReported) {
    PictureChooser chooser;
    std::vector<platform::MessageBox> boxes;
    platform::set_message_box_responder([&](const platform::MessageBox& box) {
        boxes.push_back(box);
        return platform::Answer::Yes;   // replace /dev/full, the full disk
    });
    VIEWDOMAINPROC();
    for (const char* name : {"/proc/tarvex_picture.bmp", "/dev/full"}) {
        SCOPED_TRACE(name);
        boxes.clear();
        chooser.answer({name});
        press(SAVE_IMAGE);
        ASSERT_FALSE(boxes.empty());
        const platform::MessageBox& box = boxes.back();
        EXPECT_EQ(box.caption, "Save Image");
        EXPECT_EQ(box.icon, platform::Icon::Error);
        EXPECT_NE(box.text.find(name), std::string::npos) << box.text;
    }
    EXPECT_TRUE(viewdlg.VIEWDOMOPEN);
}

// ---- the field lock and the refresh ------------------------------------------------

// While the run holds the field lock, a control changes the viewer state at
// once but draws nothing; the next refresh (from the calculation thread)
// draws it, and the run's end catches up with what no refresh followed.
TEST_F(ViewDomainTest, ControlWhileTheFieldsAreLockedIsDrawnByTheNextRefresh) {
    viewctl.IPLOT = 2;
    VIEWDOMAINPROC();
    poison();
    {
        FieldLockHolder run;
        press(PLANE_IK);
        EXPECT_EQ(viewctl.IPLANE, 2);
        EXPECT_EQ(label(INDEX_LETTER), "J");
        type(ZOOM, "2");
        EXPECT_EQ(viewwin.IZOOM, 2);
        EXPECT_TRUE(enabled(PAN_RIGHT));
        press(FIND_MAX);
        EXPECT_TRUE(plot_viewer_work_pending());
        EXPECT_EQ(pixel(300, 300), POISON);
    }
    from_other_thread(PLOT_VIEWER_REFRESH);
    EXPECT_FALSE(plot_viewer_work_pending());
    EXPECT_FALSE(viewdlg.VIEWDOMBUSY);
    EXPECT_NE(pixel(300, 300), POISON);
    EXPECT_DOUBLE_EQ(viewwin.STEPX, 1.0);   // the IK plane at zoom 2: 4 m across
    EXPECT_DOUBLE_EQ(viewwin.STEPY, 2.5 / 4);

    poison();
    {
        FieldLockHolder run;
        press(1018);
        EXPECT_EQ(viewctl.IPLOT, 7);
        EXPECT_EQ(pixel(300, 300), POISON);
    }
    from_other_thread(PLOT_VIEWER_CATCH_UP);
    EXPECT_FALSE(plot_viewer_work_pending());
    EXPECT_NE(pixel(300, 300), POISON);

    // Closed meanwhile: the refresh draws nothing.
    press(CLOSE);
    from_other_thread(PLOT_VIEWER_REFRESH);
    EXPECT_FALSE(Window(CH_VIEW).exists());
}

// About 30 iterations with the viewer open while a timer on the GUI thread
// changes plane, index, plot, zoom and pan, searches, and closes and reopens
// the viewer. Run under ThreadSanitizer in CI. Afterwards a cell shows the
// band colour of its final temperature.
TEST_F(ViewDomainTest, RunWithTheViewerOpenAndTheDialogInUse) {
    viewctl.IPLOT = 2;
    VIEWDOMAINPROC();
    // Iterations so far, and those that found the viewer open. One that finds
    // it closed (the moment between Close and the opening again, as long as
    // the GUI thread takes to build it on a loaded machine) waits for the
    // opening, for at most two seconds, so that the run does not race to its
    // end meanwhile and the count does not depend on the machine's speed.
    std::atomic<int> iterations{0}, refreshes{0};
    set_plot_viewer_refresh([&] {
        ++iterations;
        for (int waited = 0; !viewdlg.VIEWDOMOPEN && waited < 2000; waited += 10) platform::sleep_ms(10);
        if (viewdlg.VIEWDOMOPEN) ++refreshes;
        PLOT_VIEWER_REFRESH();
    });
    int step = 0;
    int reopened = 0;
    bool settled = false;
    QTimer poke;
    poke.setInterval(23);
    QObject::connect(&poke, &QTimer::timeout, [&] {
        if (!viewdlg.VIEWDOMOPEN) {
            VIEWDOMAINPROC();
            ++reopened;
            return;
        }
        if (iterations >= 24) {
            // The last iterations are drawn by the refresh alone: the
            // temperature of layer 1 of the IJ plane, without zoom.
            if (!settled) {
                press(PLANE_IJ);
                type(INDEX, "1");
                type(ZOOM, "1");
                press(1013);
                settled = true;
            }
            return;
        }
        switch (step++ % 14) {
            case 0: press(PLANE_IK); break;
            case 1: type(INDEX, "2"); break;
            case 2: press(1018); break;
            case 3: type(ZOOM, "2"); break;
            case 4: press(PAN_RIGHT); break;
            case 5: press(PAN_UP); break;
            case 6: press(1023); break;
            case 7: press(COLOUR_BY_TEMP); break;
            case 8: press(PLANE_IJ); break;
            case 9: press(FIND_MAX); break;
            case 10: press(1013); break;
            case 11: type(ZOOM, "1"); break;
            case 12:   // closed and opened again before the run goes on
                press(CLOSE);
                VIEWDOMAINPROC();
                ++reopened;
                break;
            case 13: press(FIND_MIN); break;
        }
    });
    poke.start();
    const RunReport report = run(0, 30, 100);
    poke.stop();
    EXPECT_EQ(report.ending, RunEnding::Finished);
    EXPECT_EQ(iterations, 30);
    EXPECT_GT(step, 28);
    EXPECT_GT(reopened, 0);
    EXPECT_GE(refreshes, 20);   // open nearly throughout: redrawn while the timer worked it
    ASSERT_TRUE(settled);
    ASSERT_TRUE(viewdlg.VIEWDOMOPEN);

    // What the last refresh drew: every cell of the layer in the band of its
    // final temperature on the final scale.
    ASSERT_LT(plotopt.CSMIN, plotopt.CSMAX);
    int distinct_bands = 0, previous = 0;
    for (int j = 1; j <= griddim.NY; ++j)
        for (int i = 1; i <= griddim.NX; ++i) {
            SCOPED_TRACE(std::to_string(i) + "," + std::to_string(j));
            const double xc = (gridline.X[i - 1] + gridline.X[i]) / 2, yc = (gridline.Y[j - 1] + gridline.Y[j]) / 2;
            const platform::WorldPoint p = Window(CH_VIEW).world_to_pixel(xc, yc);
            const int band = colour_band(fields.T[ARIDX(i, j, 1)] - 273.15, plotopt.CSMIN, plotopt.CSMAX);
            ASSERT_GE(band, 1);
            if (band != previous) ++distinct_bands;
            previous = band;
            EXPECT_EQ(pixel(static_cast<int>(p.x), static_cast<int>(p.y)), plotopt.COLTAB[plotopt.ISCHEME][band]);
        }
    EXPECT_GT(distinct_bands, 1);   // a field with some spread, not one colour
}

}  // namespace
}  // namespace tarvex
