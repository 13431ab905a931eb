#include "frontend/dlg_plotwindow.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>
#include <mutex>
#include <string>
#include <utility>

#include "common/channels.h"
#include "common/textfmt.h"
#include "engine/data.h"
#include "frontend/calc/dialogplace.h"
#include "frontend/calc/fieldstats.h"
#include "frontend/calc/viewstate.h"
#include "frontend/dlg_plotfuncs.h"
#include "frontend/dlg_viewdomain.h"
#include "frontend/dlg_viewgrid.h"
#include "frontend/fieldaccess.h"
#include "frontend/runstate.h"
#include "frontend/viewdlg.h"
#include "platform/gui_thread.h"
#include "platform/screen.h"
#include "platform/threads.h"
#include "platform/window.h"
#include "platform/window_resize.h"

namespace tarvex {

namespace {

using platform::Attr;
using platform::Dialog;
using platform::Window;
using namespace plot_ctl;

constexpr const char* FRAME_FONT = "t'Arial'h18w10pvib";
constexpr const char* POSITION_FONT = "t'Arial'h14w8pvib";
constexpr const char* EDGE_FONT = "t'Arial'h12w6pvb";
constexpr std::uint32_t EDGE_COLOUR = platform::bgr(160, 0, 0);   // dark red
constexpr int INDEX_TEXT = 16;    // what the redraw reads of the index field
constexpr int ENTRY_TEXT = 256;   // what a handled entry reads
constexpr int REFRESH_PAUSE_MS = 200;

// The colour-by radios of the vector plot and their legend titles.
struct ColourBy {
    int code;
    int control;
    const char* title;
};
constexpr ColourBy COLOUR_BY[] = {
    {1, COLOUR_BY_SPEED, "Speed m/s"},
    {2, COLOUR_BY_TEMP, "Temperature C"},
    {3, COLOUR_BY_CONC, "Concentration g/Kg"},
};
// 1 speed, 2 temperature, any other value contaminant.
const ColourBy& colour_by_of(int code) { return code == 1 ? COLOUR_BY[0] : code == 2 ? COLOUR_BY[1] : COLOUR_BY[2]; }

// ---- GUI-thread state ---------------------------------------------------------

// The open plot viewer; read by the calculation thread to find what to refresh.
std::atomic<const PlotViewer*> g_open{nullptr};

// What the open viewer left for the next refresh while the run held the field lock.
struct Pending {
    bool redraw = false;
    int search = 0;   // 1 Max, -1 Min, 0 none
};
Pending g_pending;

// Runs fn with the fields readable (frontend/fieldaccess.h): at once when
// the field lock is free (always outside runs), never waiting for it. False
// when a run holds it: nothing ran.
template <typename F>
bool try_with_fields(F&& fn) {
    return read_fields_now(std::function<void()>(std::forward<F>(fn)));
}

int32_t& plot_choice(PlotMember member) { return member == PlotMember::domain ? viewctl.IPLOT : viewctl.IRPLOT; }

const PlotChoice* choice_by_code(const PlotViewer& v, int code) {
    for (const PlotChoice& c : v.choices)
        if (c.code == code) return &c;
    return nullptr;
}

const PlotChoice* choice_by_control(const PlotViewer& v, int control) {
    for (const PlotChoice& c : v.choices)
        if (c.control == control) return &c;
    return nullptr;
}

void set_enabled(Dialog& dlg, int id, bool on) { dlg.set_logical(id, Attr::enabled, on); }

// The letter of the index direction and the index spin's range for the plane.
void show_plane(Dialog& dlg) {
    const int p = viewctl.IPLANE;
    dlg.set_text(INDEX_LETTER, p == 1 ? "K" : p == 2 ? "J" : "I");
    dlg.set_int(INDEX_SPIN, Attr::range_max, plane_limit(p));
}

void enable_pans(Dialog& dlg) {
    for (int id : {PAN_UP, PAN_DOWN, PAN_LEFT, PAN_RIGHT}) set_enabled(dlg, id, viewwin.IZOOM > 1);
}

// The enabling of a plot choice, and its legend title.
void choose_plot(const PlotViewer& v, Dialog& dlg, const PlotChoice& c) {
    set_enabled(dlg, INDEX, c.index);
    if (v.colour_by)
        for (int id : {COLOUR_BY_LABEL, COLOUR_BY_SPEED, COLOUR_BY_TEMP, COLOUR_BY_CONC}) set_enabled(dlg, id, c.colour_by);
    for (int id : {FIND_LABEL, FIND_MAX, FIND_MIN}) set_enabled(dlg, id, c.find);
    if (v.show_bc) set_enabled(dlg, SHOW_BC, c.show_bc);
    if (c.colour_by) {
        // The colouring in force shows checked.
        dlg.set_logical(colour_by_of(viewctl.ICOLBY).control, Attr::state, true);
        set_pltitle(colour_by_of(viewctl.ICOLBY).title);
    }
    else if (c.title) set_pltitle(c.title);
}

// The index field as the Max and Min buttons and the opening write it.
void show_index(Dialog& dlg) {
    dlg.set_int(INDEX_SPIN, Attr::position, viewctl.PINDEX);
    dlg.set_text(INDEX, index_field_text(viewctl.PINDEX));
}

// The Max or Min search over the whole domain (fields readable): the plane
// index moves to the layer of the cell found; no cell found changes nothing.
void find_extreme(const PlotViewer& v, Dialog& dlg, int mode) {
    int i = 0, j = 0, k = 0;
    FINDVAL(mode, plot_choice(v.member), i, j, k);
    const int index = viewctl.IPLANE == 1 ? k : viewctl.IPLANE == 2 ? j : i;
    if (i == 0 || j == 0 || k == 0 || index < 1) return;
    viewctl.PINDEX = index;
    show_index(dlg);
}

void draw_window(PlotMember member, Dialog& dialog);

// What the viewer left for the next refresh, and the redraw (fields readable).
void catch_up_and_redraw(const PlotViewer& v, Dialog& dlg) {
    if (g_pending.search != 0) find_extreme(v, dlg, g_pending.search);
    g_pending = {};
    draw_window(v.member, dlg);
}

// A redraw now, or by the next refresh when the run holds the field lock.
void redraw(const PlotViewer& v, Dialog& dlg) {
    if (!try_with_fields([&] { catch_up_and_redraw(v, dlg); })) g_pending.redraw = true;
}

// The open viewer at its window's new size.
void redraw_after_resize() {
    const PlotViewer* v = g_open.load();
    if (!v || !v->open->load()) return;
    redraw(*v, viewdlg.DLGVIEW);
    // The legend moved with the window's right edge: keep the dialog off it.
    place_dialog_of_viewer(viewdlg.DLGVIEW, true);
}

void close_viewer(const PlotViewer& v, Dialog& dlg) {
    v.open->store(false);
    g_open.store(nullptr);
    g_pending = {};
    platform::close_window(CH_VIEW);
    Window(CH_CONSOLE).focus();
    dlg.exit();
    dlg.release();
}

// ---- the redraw's parts -------------------------------------------------------------

void draw_axis_glyph(Window& w, const PlaneAxes& a) {
    const int nx = viewctl.NXPIX;
    w.select_font(FRAME_FONT);
    w.move_to(nx - 30, 0);
    w.line_to(nx - 30, 30);
    w.line_to(nx, 30);
    w.line_to(nx - 5, 25);
    w.move_to(nx - 30, 0);
    w.line_to(nx - 25, 5);
    w.move_to(nx - 60, 10);
    w.out_text(std::string(1, a.up));
    w.move_to(nx - 30, 35);
    w.out_text(std::string(1, a.across));
}

// Where the last plane label started (window pixels): the legend area the
// viewer's dialog keeps clear of begins there at the latest. No label yet:
// the legend's own room alone.
std::atomic<int> g_label_left{std::numeric_limits<int>::max()};

// The plane's position, whole inside the window in its own font.
void draw_plane_label(Window& w, char normal, double position) {
    std::string text = plane_position_label(normal, position);
    text.erase(text.find_last_not_of(' ') + 1);
    const int left = plane_label_left(viewctl.NXPIX, platform::text_width(POSITION_FONT, text));
    g_label_left.store(left);
    w.select_font(POSITION_FONT);
    w.move_to(left, 55);
    w.out_text(text);
}

void draw_edges(Window& w, const PlotGeometry& g) {
    w.select_font(EDGE_FONT);
    const std::uint32_t previous = w.set_color_rgb(EDGE_COLOUR);
    w.move_to_w(g.panx, g.wy1);
    w.line_to_w(g.panx, g.wy2);
    w.move_to_w(g.r, g.wy1);
    w.line_to_w(g.r, g.wy2);
    w.move_to_w(g.wx1, g.pany);
    w.line_to_w(g.wx2, g.pany);
    w.move_to_w(g.wx1, g.t);
    w.line_to_w(g.wx2, g.t);
    w.set_color_rgb(previous);
    w.move_to(g.ipx0, g.ipy0 + 10);
    w.out_text(edge_label(g.panx, true));
    w.move_to(g.ipx1, g.ipy0 + 10);
    w.out_text(edge_label(g.r, false));
    w.move_to(5, g.ipy0);
    w.out_text(edge_label(g.pany, true));
    w.move_to(5, g.ipy1);
    w.out_text(edge_label(g.t, false));
}

void draw_plot(PlotMember member, int k, const PlotGeometry& g) {
    const PlotCall call = plot_call(member, plot_choice(member), plotopt.SHOWBC);
    switch (call.draw) {
        case PlotDraw::grid: DRAW_GRID(g.panx, g.r, g.pany, g.t); break;
        case PlotDraw::blockage: DRAW_CPR(k); break;
        case PlotDraw::blockage_marks:
            DRAW_CPR(k);
            DRAW_BNDS(k);
            break;
        case PlotDraw::data: DRAW_DATA(k, call.code); break;
        case PlotDraw::vectors: DRAW_VECTOR(k, viewctl.ICOLBY); break;
        case PlotDraw::nothing: break;
    }
}

// Everything after the clearing; returns early where the window stays cleared.
void draw_plane(PlotMember member, Dialog& dlg, Window& w) {
    const PlaneAxes a = plane_axes(viewctl.IPLANE, viewctl.FLIP);
    viewwin.SPANX = viewwin.LENX = a.h;
    viewwin.SPANY = viewwin.LENY = a.v;

    PlotGeometryInput in;
    in.nxpix = viewctl.NXPIX;
    in.nypix = viewctl.NYPIX;
    in.h = a.h;
    in.v = a.v;
    in.izoom = viewwin.IZOOM;
    in.panx = viewwin.PANX;
    in.pany = viewwin.PANY;
    const PlotGeometry g = plot_geometry(in);
    // Too small to draw in, or no plane to draw (no case loaded).
    if (!g.drawable) return;
    viewwin.PANX = g.panx;
    viewwin.PANY = g.pany;
    viewwin.STEPX = g.stepx;
    viewwin.STEPY = g.stepy;
    viewwin.VXMIN = g.vxmin;
    viewwin.VXMAX = g.vxmax;
    viewwin.VYMIN = g.vymin;
    viewwin.VYMAX = g.vymax;
    viewctl.IPX0 = g.ipx0;
    viewctl.IPX1 = g.ipx1;
    viewctl.IPY0 = g.ipy0;
    viewctl.IPY1 = g.ipy1;

    w.set_viewport(0, 0, viewctl.NXPIX, viewctl.NYPIX);
    w.set_world_window(true, g.wx1, g.wy1, g.wx2, g.wy2);

    // The plane index is what the field holds. An unreadable one, or one
    // outside the plane (the plane was changed, or a smaller case loaded):
    // the window stays cleared and no cell is read.
    std::string text;
    dlg.get_text(INDEX, text, INDEX_TEXT);
    int k = 0;
    if (read_entry(text, 1, plane_limit(viewctl.IPLANE), k) != EntryVerdict::accept) return;

    draw_axis_glyph(w, a);
    draw_plane_label(w, a.normal, layer_centre(viewctl.IPLANE, k));
    draw_edges(w, g);
    draw_plot(member, k, g);
}

}  // namespace

// ---- the window ----------------------------------------------------------------

void make_plot_window(PlotMember member) {
    platform::open_window(CH_VIEW, platform::WindowKind::Graphics,
                          member == PlotMember::domain ? "Domain view" : "Grid view");
    Window w(CH_VIEW);
    w.clear();
    w.set_place({platform::WindowState::Maximised});
    query_plot_window();
    platform::init_fonts();
    w.select_font(FRAME_FONT);
    w.focus();
}

void query_plot_window() {
    Window w(CH_VIEW);
    platform::WindowConfig config;
    platform::WindowPlace place;
    if (!w.get_config(config) || !w.get_place(place)) {
        viewctl.NXPIX = viewctl.NYPIX = 0;
        return;
    }
    WindowMeasure m;
    m.pixels_x = config.pixels_x;
    m.pixels_y = config.pixels_y;
    m.text_cols = config.text_cols;
    m.text_rows = config.text_rows;
    m.width = place.width;
    m.height = place.height;
    const PixelSize size = measure_pixels(m);
    viewctl.NXPIX = size.nxpix;
    viewctl.NYPIX = size.nypix;
}

bool update_plot_window(PlotMember member, Dialog& dialog) {
    if (try_with_fields([&] { draw_window(member, dialog); })) return true;
    // The run holds the fields: its next refresh draws the open viewer.
    if (const PlotViewer* v = g_open.load(); v && v->member == member) g_pending.redraw = true;
    return false;
}

namespace {

// The redraw itself (fields readable).
void draw_window(PlotMember member, Dialog& dialog) {
    GETDATABOUNDS();
    colour_scale_step(member);
    query_plot_window();
    Window w(CH_VIEW);
    w.focus();
    const std::uint32_t old_bk = w.set_bk_color_rgb(role_colour(colour_entry::BACKGROUND));
    const std::uint32_t old_color = w.set_color_rgb(role_colour(colour_entry::TEXT));
    w.clear();
    draw_plane(member, dialog, w);
    w.set_bk_color_rgb(old_bk);
    w.set_color_rgb(old_color);
    w.select_font(FRAME_FONT);
}

}  // namespace

// ---- the viewers ------------------------------------------------------------------

void place_clear_of_legend(Dialog& dlg) { place_dialog_of_viewer(dlg, false); }

bool place_dialog_of_viewer(Dialog& dlg, bool only_if_covering) {
    platform::FrameGeometry frame;
    platform::ScreenRect outer;
    if (!platform::frame_geometry(frame) || !platform::dialog_outer_rect(dlg, outer)) {
        if (!only_if_covering) dlg.place_beside_frame();
        return !only_if_covering;
    }
    auto box = [](const platform::ScreenRect& r) { return ScreenBox{r.x, r.y, r.width, r.height}; };
    DialogPlaceInput in;
    in.frame = box(frame.outer);
    in.client_top = frame.client.y;
    in.screen = box(frame.available);
    in.width = outer.width;
    in.height = outer.height;
    platform::ScreenRect window;
    if (platform::window_screen_rect(CH_VIEW, window)) {
        // Measured at the last redraw; the legend reaches the window's right edge.
        const int left = legend_area_left(viewctl.NXPIX, g_label_left.load());
        in.keep_clear_set = true;
        in.keep_clear = {window.x + left, window.y, std::max(0, window.width - left), window.height};
    }
    // Where the user has put it stays, as long as the legend is clear.
    if (only_if_covering && !(in.keep_clear_set && boxes_overlap(box(outer), in.keep_clear))) return false;
    const ScreenPoint p = place_dialog(in);
    platform::move_dialog(dlg, p.x, p.y);
    return true;
}

bool raise_open_plot_viewer() {
    const PlotViewer* v = g_open.load();
    if (!v || !v->open->load()) return false;
    Window w(CH_VIEW);
    w.set_place({platform::WindowState::Maximised});
    w.focus();
    viewdlg.DLGVIEW.show_modeless();   // shown already: raised
    return true;
}

void open_plot_viewer(const PlotViewer& v) {
    if (!runstate.GEOMOK) return;
    if (raise_open_plot_viewer()) return;
    Dialog& dlg = viewdlg.DLGVIEW;
    if (!dlg.init(v.template_id)) return;

    // The stored index may belong to a larger case than the one loaded now.
    const int limit = plane_limit(viewctl.IPLANE);
    if (limit >= 1) viewctl.PINDEX = std::clamp(viewctl.PINDEX, 1, limit);
    try_with_fields(GETDATABOUNDS);   // otherwise the redraw below waits for the run anyway

    const int p = viewctl.IPLANE;
    dlg.set_logical(p == 1 ? PLANE_IJ : p == 2 ? PLANE_IK : PLANE_JK, Attr::state, true);
    show_plane(dlg);

    dlg.set_text(INDEX, index_field_text(viewctl.PINDEX));
    set_enabled(dlg, INDEX, false);
    dlg.set_int(INDEX_SPIN, Attr::range_min, 1);
    dlg.set_int(INDEX_SPIN, Attr::position, viewctl.PINDEX);

    dlg.set_text(ZOOM, fmt_i(viewwin.IZOOM, 2));
    set_enabled(dlg, ZOOM, true);
    dlg.set_int(ZOOM_SPIN, Attr::range_min, ZOOM_MIN);
    dlg.set_int(ZOOM_SPIN, Attr::range_max, ZOOM_MAX);
    dlg.set_int(ZOOM_SPIN, Attr::position, viewwin.IZOOM);
    enable_pans(dlg);

    if (v.show_bc) {
        dlg.set_logical(SHOW_BC, Attr::state, plotopt.SHOWBC);
        set_enabled(dlg, SHOW_BC, false);
    }

    // A choice outside the table checks nothing and changes nothing.
    if (const PlotChoice* c = choice_by_code(v, plot_choice(v.member))) {
        dlg.set_logical(c->control, Attr::state, true);
        choose_plot(v, dlg, *c);
    }
    colour_scale_step(v.member);

    std::vector<int> ids = {PLANE_IJ, PLANE_IK, PLANE_JK, INDEX};
    for (const PlotChoice& c : v.choices) ids.push_back(c.control);
    ids.insert(ids.end(), {FIND_MAX, FIND_MIN});
    if (v.colour_by) ids.insert(ids.end(), {COLOUR_BY_SPEED, COLOUR_BY_TEMP, COLOUR_BY_CONC});
    if (v.show_bc) ids.push_back(SHOW_BC);
    ids.insert(ids.end(), {ZOOM, PAN_UP, PAN_DOWN, PAN_LEFT, PAN_RIGHT, OPTIONS, CLOSE});
    for (int id : ids) dlg.set_callback(id, v.callback);
    dlg.set_callback(SAVE_IMAGE, v.save_callback);

    g_pending = {};
    g_open.store(&v);
    make_plot_window(v.member);
    platform::set_resize_notice(CH_VIEW, redraw_after_resize);
    redraw(v, dlg);
    v.open->store(true);
    place_clear_of_legend(dlg);   // not over the legend of the plot it steers
    dlg.show_modeless();
}

void handle_plot_control(const PlotViewer& v, Dialog& dlg, int id) {
    switch (id) {
        case CLOSE:
            // Not while a run-time redraw is going on.
            if (v.busy->load()) return;
            close_viewer(v, dlg);
            return;
        case OPTIONS:
            if (!v.options) return;
            v.options();
            break;
        case PLANE_IJ:
        case PLANE_IK:
        case PLANE_JK:
            // The index stays: it may now lie outside the plane (the redraw then clears).
            viewctl.IPLANE = id - PLANE_IJ + 1;
            show_plane(dlg);
            break;
        case INDEX: {
            std::string text;
            dlg.get_text(INDEX, text, ENTRY_TEXT);
            int value = 0;
            switch (read_entry(text, 1, plane_limit(viewctl.IPLANE), value)) {
                case EntryVerdict::ignore: return;
                case EntryVerdict::restore: dlg.set_text(INDEX, index_field_text(viewctl.PINDEX)); return;
                case EntryVerdict::accept: viewctl.PINDEX = value; break;
            }
            break;
        }
        case FIND_MAX:
        case FIND_MIN: {
            const int mode = id == FIND_MAX ? 1 : -1;
            if (!try_with_fields([&] { find_extreme(v, dlg, mode); })) g_pending.search = mode;
            break;
        }
        case COLOUR_BY_SPEED:
        case COLOUR_BY_TEMP:
        case COLOUR_BY_CONC:
            viewctl.ICOLBY = id == COLOUR_BY_SPEED ? 1 : id == COLOUR_BY_TEMP ? 2 : 3;
            set_pltitle(colour_by_of(viewctl.ICOLBY).title);
            break;
        case SHOW_BC:
            plotopt.SHOWBC = !plotopt.SHOWBC;
            break;
        case ZOOM: {
            std::string text;
            dlg.get_text(ZOOM, text, ENTRY_TEXT);
            int value = 0;
            switch (read_entry(text, ZOOM_MIN, ZOOM_MAX, value)) {
                case EntryVerdict::ignore: return;
                case EntryVerdict::restore: dlg.set_text(ZOOM, free_line(viewwin.IZOOM)); return;
                case EntryVerdict::accept:
                    viewwin.IZOOM = value;
                    enable_pans(dlg);
                    break;
            }
            break;
        }
        // The steps and extents are those of the last redraw.
        case PAN_UP: viewwin.PANY = pan_up(viewwin.PANY, viewwin.STEPY, viewwin.LENY); break;
        case PAN_DOWN: viewwin.PANY = pan_down(viewwin.PANY, viewwin.STEPY); break;
        case PAN_LEFT: viewwin.PANX = pan_down(viewwin.PANX, viewwin.STEPX); break;
        case PAN_RIGHT: viewwin.PANX = pan_up(viewwin.PANX, viewwin.STEPX, viewwin.LENX); break;
        default: {
            const PlotChoice* c = choice_by_control(v, id);
            if (!c) return;
            plot_choice(v.member) = c->code;
            choose_plot(v, dlg, *c);
            break;
        }
    }
    colour_scale_step(v.member);
    redraw(v, dlg);
}

void plot_viewer_case_changed(bool loaded) {
    const PlotViewer* v = g_open.load();
    if (!v || !v->open->load()) return;
    Dialog& dlg = viewdlg.DLGVIEW;
    if (!loaded) {
        // What a failed load left is no case to show.
        close_viewer(*v, dlg);
        return;
    }
    const int limit = plane_limit(viewctl.IPLANE);
    if (limit >= 1) viewctl.PINDEX = std::clamp(viewctl.PINDEX, 1, limit);
    show_plane(dlg);
    show_index(dlg);
    const PlaneAxes a = plane_axes(viewctl.IPLANE, viewctl.FLIP);
    viewwin.PANX = std::clamp(viewwin.PANX, 0.0, std::max(a.h, 0.0));
    viewwin.PANY = std::clamp(viewwin.PANY, 0.0, std::max(a.v, 0.0));
    colour_scale_step(v->member);
    redraw(*v, dlg);
}

void plot_viewer_fields_changed() {
    const PlotViewer* v = g_open.load();
    if (!v || !v->open->load()) return;
    colour_scale_step(v->member);
    redraw(*v, viewdlg.DLGVIEW);
}

bool plot_viewer_work_pending() { return g_pending.redraw || g_pending.search != 0; }

void refresh_plot_viewer(const PlotViewer& v) {
    bool open = false;
    platform::call_blocking([&v, &open] {
        // Closed since the calculation thread looked: no redraw, and no pause.
        if (!v.open->load() || g_open.load() != &v) return;
        open = true;
        v.busy->store(true);
        if (!try_with_fields([&] { catch_up_and_redraw(v, viewdlg.DLGVIEW); })) g_pending.redraw = true;
        v.busy->store(false);
    });
    if (open) platform::sleep_ms(REFRESH_PAUSE_MS);
}

void PLOT_VIEWER_REFRESH() {
    // What the other viewers could not read while the run held the fields.
    if (field_reads_pending()) platform::call_blocking(run_pending_field_reads);
    // The domain viewer first, else the residuals viewer; neither (and no
    // pause) when both are closed. refresh_plot_viewer itself checks, on the
    // GUI thread, that the viewer is still the open one.
    if (viewdlg.VIEWDOMOPEN.load())
        UPDATEVIEWDOMAIN();
    else if (viewdlg.VIEWGRIDOPEN.load())
        UPDATEVIEWRESID();
}

void PLOT_VIEWER_CATCH_UP() {
    platform::call_blocking([] {
        run_pending_field_reads();
        const PlotViewer* v = g_open.load();
        if (!v || !v->open->load() || !plot_viewer_work_pending()) return;
        try_with_fields([&] { catch_up_and_redraw(*v, viewdlg.DLGVIEW); });
    });
}

}  // namespace tarvex
