#include "frontend/winscreenio.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "common/channels.h"
#include "engine/data.h"
#include "platform/app.h"
#include "platform/window.h"

namespace tarvex {

RESWIN reswin;
RESPLOT resplot;

namespace {

using platform::Window;
using platform::WindowConfig;
using platform::WindowKind;
using platform::WindowPlace;
using platform::WindowState;

// The iteration window shows the first 60 characters of each line.
class IterWindowSink : public LineSink {
public:
    void write_line(std::string_view line) override {
        Window(CH_ITER).write_line(line.substr(0, ITER_WINDOW_COLS));
    }
};

IterWindowSink& iter_sink() {
    static IterWindowSink sink;
    return sink;
}

// Opens a window, sets its configuration (once more when the library adjusted
// it), white background, black text, cleared. Returns the configuration as
// the library left it.
WindowConfig open_screen(int channel, WindowKind kind, const char* title, WindowConfig config) {
    platform::open_window(channel, kind, title);
    Window w(channel);
    config.title = title;
    if (!w.set_config(config)) w.set_config(config);
    w.set_bk_color_index(15);
    w.set_text_color_index(0);
    w.clear();
    return config;
}

void line_with(std::string_view text) {
    std::memset(runctl.LINE, ' ', LINE_LENGTH);
    std::memcpy(runctl.LINE, text.data(), std::min<std::size_t>(text.size(), LINE_LENGTH));
}

struct Curve {
    std::uint32_t color;
    std::uint32_t legend_color;
    const char* legend;
    double x_fraction;
    double y;
};

constexpr Curve CURVES[5] = {
    {0x0000FF, 0x0000FF, "Frce :N  ", 0.25, 2.5},   // force, red
    {0xFF0000, 0xFF0000, "Mass:Kg/s", 0.45, 2.5},   // mass, blue
    {0x007700, 0x00AA00, "Engy: kW ", 0.65, 2.5},   // energy, dark green (legend green)
    {0xFFFF00, 0xFFFF00, "Conc: g/s", 0.80, 2.5},   // contaminant, cyan
    {0xFF00AA, 0xFF00AA, "Conc2:g/s", 0.80, 1.8},   // water vapour, violet
};

bool curve_shown(int k) {
    if (k == 2) return runctl.ITEMP == 1;
    if (k >= 3) return runctl.ICONC == 1;
    return true;
}

}  // namespace

int SETUPSCREEN() {
    // Console.
    open_screen(CH_CONSOLE, WindowKind::Text, "console", {-1, -1, 80, 82, -1, -1, -1, ""});
    Window(CH_CONSOLE).set_place({WindowState::Place, 1, 13, 81, 14});

    // Residuals display.
    const WindowConfig resid =
        open_screen(CH_RESID, WindowKind::Text, "Residuals display", {-1, -1, 134, 110, -1, 8, 16, ""});
    Window(CH_RESID).set_place({WindowState::Place, 0, 0, 85, 10});
    reswin.NRESLINES = 0;
    reswin.NRESVIS = 10;
    reswin.NRESMAX = resid.text_rows;
    reswin.HRESWIN = platform::window_handle(CH_RESID);

    // Iteration data; its lines are cut to the window's 60 columns.
    open_screen(CH_ITER, WindowKind::Text, "iteration data", {-1, -1, 60, 15, -1, -1, -1, ""});
    set_channel_sink(CH_ITER, &iter_sink());
    Window(CH_ITER).set_place({WindowState::Minimised});

    // Residual plot, placed with its own text size, then minimised.
    const WindowConfig plot =
        open_screen(CH_RESPLOT, WindowKind::Graphics, "residuals plot", {600, 200, -1, -1, -1, 8, 16, ""});
    Window(CH_RESPLOT).set_place({WindowState::Place, 0, 0, plot.text_cols, plot.text_rows});
    Window(CH_RESPLOT).set_place({WindowState::Minimised});

    Window(CH_CONSOLE).focus();
    Window(CH_CONSOLE).set_caret(true);
    platform::set_library_message(platform::MSG_RUNNING, "");
    return 0;
}

void WRITETORESID(std::string_view text, bool page) {
    if (reswin.NRESLINES >= reswin.NRESVIS)
        platform::scroll_window(reswin.HRESWIN, platform::ScrollCommand::LineDown);   // keep the newest line in view
    if (page && reswin.NRESLINES >= reswin.NRESMAX) {
        CLEARRESID();
        WRITETORESID(RESID_HEADER1, false);
        WRITETORESID(RESID_HEADER2, false);
    }
    write_line(CH_RESID, text);
    reswin.NRESLINES = std::min(reswin.NRESLINES + 1, reswin.NRESMAX);
}

void RESIDTITLE() {
    line_with(RESID_HEADER1);
    WRITETORESID(std::string_view(runctl.LINE, LINE_LENGTH), false);
    line_with(RESID_HEADER2);
    WRITETORESID(std::string_view(runctl.LINE, LINE_LENGTH), false);
}

void CLEARRESID() {
    Window w(CH_RESID);
    w.make_active();
    w.clear();
    reswin.NRESLINES = 0;
    platform::scroll_window(reswin.HRESWIN, platform::ScrollCommand::Top);
}

void CLEARLOG() {
    Window w(CH_CONSOLE);
    w.make_active();
    w.clear();
}

void CLEARITER() {
    Window w(CH_ITER);
    w.make_active();
    w.clear();
    WindowPlace p;
    if (w.get_place(p)) {
        p.state = WindowState::Minimised;
        w.set_place(p);
    }
}

void RAISERESID() {
    Window w(CH_RESID);
    w.make_active();
    w.set_place({WindowState::Restored});
}

void LOWERRESID() {
    Window w(CH_RESID);
    w.make_active();
    w.set_place({WindowState::Minimised});
}

void SETSTATBAR(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    platform::set_status_text(text.substr(0, STATUS_TEXT_MAX));
}

void RAISERESGRP(int first, int last) {
    Window w(CH_RESPLOT);
    w.focus();
    const std::uint32_t old_bk = w.set_bk_color_rgb(0xFFFFFF);
    const std::uint32_t old_color = w.set_color_rgb(0x000000);
    platform::init_fonts();
    w.select_font("t'Arial'h10w6pvib");
    w.set_place({WindowState::Maximised});
    w.clear();

    // A run without iterations would give a chart of no width, which the
    // library refuses: it gets the chart of a one-iteration run instead.
    const double range = last > first ? static_cast<double>(last - first) : 1.0;
    const double right = first + range;
    w.set_world_window(true, first - range / 10.0, -4.5, right, 3.1);

    w.move_to_w(first, -4.0);
    w.line_to_w(first, 3.0);
    static const char* const labels[8] = {"1.0e-4   ", "1.0e-3   ", "1.0e-2   ", "1.0e-1   ",
                                          "   1.0   ", "1.0e+1   ", "1.0e+2   ", "1.0e+3   "};
    for (int d = 0; d < 8; ++d) {
        const double y = d - 4;
        w.move_to_w(first - range / 40.0, y);
        w.line_to_w(right, y);
        w.move_to_w(first - range / 10.0, y);
        w.out_text(labels[d]);
    }

    w.select_font("t'Arial'h12w8pvib");
    for (int k = 0; k < 5; ++k) {
        if (!curve_shown(k)) continue;
        w.set_color_rgb(CURVES[k].legend_color);
        w.move_to_w(first + CURVES[k].x_fraction * range, CURVES[k].y);
        w.out_text(CURVES[k].legend);
    }
    w.set_bk_color_rgb(old_bk);
    w.set_color_rgb(old_color);
}

void PLOTRESID(int iter) {
    Window w(CH_RESPLOT);
    w.make_active();
    w.set_bk_color_rgb(0xFFFFFF);
    const std::uint32_t old_color = w.set_color_rgb(0x000000);
    const double values[5] = {std::max({runctl.RU0, runctl.RV0, runctl.RW0}) / domsums.VOLTOT, runctl.RM0,
                              runctl.RT0, runctl.RC0, runctl.RC20};
    for (int k = 0; k < 5; ++k) {
        if (!curve_shown(k)) continue;
        // Not greater than 0 (0, negative, or not a number): below the chart.
        const double y = values[k] > 0.0 ? std::log10(values[k]) : -5.0;
        w.set_color_rgb(CURVES[k].color);
        w.move_to_w(iter - 1, resplot.LAST[k]);
        w.line_to_w(iter, y);
        resplot.LAST[k] = y;
    }
    w.set_color_rgb(old_color);
}

}  // namespace tarvex
