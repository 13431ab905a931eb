// Child windows bound to channels.
//
// Each window has two halves. The model (configuration, drawing state) lives
// in a record shared by all threads and guarded by its mutex; a caller
// resolves coordinates, colours and clipping there at once. The view (the
// text rows or the image, and the widgets) lives on the GUI thread, which
// receives each change as a command in the order the caller issued it. A
// command names its window by id, so it lands on the window it was meant for
// whatever becomes active meanwhile, and does nothing once that window is gone.
//
// This file: the window functions, the windows' configuration and the
// registry of their models (window_model.h). window_graphics.cpp holds the
// drawing functions and the world mapping, raster.cpp the raster operations,
// window_view.cpp the views (window_view.h) and the fonts.
#include <QMdiArea>
#include <QWidget>

#include <algorithm>
#include <array>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>

#include "common/channels.h"
#include "platform/gui_thread.h"
#include "platform/internal.h"
#include "platform/window.h"
#include "platform/window_model.h"
#include "platform/window_view.h"

namespace tarvex::platform {

using namespace detail;

namespace {

// ---- configuration ----------------------------------------------------------

// Fills the values left to the library and brings the others into range.
// Answers true when nothing had to change.
bool adjust_config(WindowKind kind, WindowConfig& c) {
    const WindowConfig in = c;
    auto clamp_or = [](int v, int lo, int hi, int def) { return v == -1 ? def : std::clamp(v, lo, hi); };
    c.font_width = clamp_or(c.font_width, 4, 64, CELL_WIDTH);
    c.font_height = clamp_or(c.font_height, 6, 128, CELL_HEIGHT);
    c.colors = clamp_or(c.colors, 2, 1 << 24, 256);
    if (kind == WindowKind::Text) {
        if (c.text_cols == -1) c.text_cols = c.pixels_x > 0 ? c.pixels_x / c.font_width : 80;
        if (c.text_rows == -1) c.text_rows = c.pixels_y > 0 ? c.pixels_y / c.font_height : 25;
        c.text_cols = std::clamp(c.text_cols, 1, 1000);
        c.text_rows = std::clamp(c.text_rows, 1, 10000);
        // A text window's pixels follow its text grid.
        c.pixels_x = c.text_cols * c.font_width;
        c.pixels_y = c.text_rows * c.font_height;
    } else {
        if (c.pixels_x == -1) c.pixels_x = c.text_cols > 0 ? c.text_cols * c.font_width : 1024;
        if (c.pixels_y == -1) c.pixels_y = c.text_rows > 0 ? c.text_rows * c.font_height : 640;
        c.pixels_x = std::clamp(c.pixels_x, 1, 8192);
        c.pixels_y = std::clamp(c.pixels_y, 1, 8192);
        if (c.text_cols == -1) c.text_cols = (c.pixels_x + c.font_width - 1) / c.font_width;
        if (c.text_rows == -1) c.text_rows = (c.pixels_y + c.font_height - 1) / c.font_height;
        c.text_cols = std::clamp(c.text_cols, 1, 1000);
        c.text_rows = std::clamp(c.text_rows, 1, 10000);
    }
    return c.pixels_x == in.pixels_x && c.pixels_y == in.pixels_y && c.text_cols == in.text_cols &&
           c.text_rows == in.text_rows && c.colors == in.colors && c.font_width == in.font_width &&
           c.font_height == in.font_height;
}

std::mutex g_registry_mutex;
std::array<std::shared_ptr<Model>, MAX_CHANNEL + 1> g_channels;
std::map<WindowHandle, std::shared_ptr<Model>> g_by_handle;
WindowHandle g_next_id = FRAME_HANDLE + 1;
std::atomic<int> g_active{0};

}  // namespace

namespace detail {

std::shared_ptr<Model> model_of(int channel) {
    if (channel < 0 || channel > MAX_CHANNEL) return nullptr;
    std::lock_guard<std::mutex> lock(g_registry_mutex);
    return g_channels[channel];
}

std::shared_ptr<Model> model_by_handle(WindowHandle h) {
    std::lock_guard<std::mutex> lock(g_registry_mutex);
    auto it = g_by_handle.find(h);
    return it == g_by_handle.end() ? nullptr : it->second;
}


}  // namespace detail

namespace {

// The lines written to a channel go to whatever window is open on it.
class ChannelWindowSink : public LineSink {
public:
    void write_line(std::string_view line) override { Window(channel).write_line(line); }
    int channel = 0;
};

std::array<ChannelWindowSink, MAX_CHANNEL + 1>& channel_sinks() {
    static std::array<ChannelWindowSink, MAX_CHANNEL + 1> sinks = [] {
        std::array<ChannelWindowSink, MAX_CHANNEL + 1> s;
        for (int i = 0; i <= MAX_CHANNEL; ++i) s[i].channel = i;
        return s;
    }();
    return sinks;
}

}  // namespace

// ---- colours ------------------------------------------------------------------------

std::uint32_t palette_color(int index) {
    static constexpr std::uint32_t table[16] = {
        bgr(0, 0, 0),       bgr(0, 0, 128),     bgr(0, 128, 0),   bgr(0, 128, 128),
        bgr(128, 0, 0),     bgr(128, 0, 128),   bgr(128, 128, 0), bgr(192, 192, 192),
        bgr(128, 128, 128), bgr(0, 0, 255),     bgr(0, 255, 0),   bgr(0, 255, 255),
        bgr(255, 0, 0),     bgr(255, 0, 255),   bgr(255, 255, 0), bgr(255, 255, 255)};
    return table[static_cast<unsigned>(index) & 15u];
}

// ---- channels ------------------------------------------------------------------------

bool open_window(int channel, WindowKind kind, std::string_view title) {
    if (channel < 0 || channel > MAX_CHANNEL) return false;
    std::shared_ptr<Model> m;
    bool created = false;
    {
        std::lock_guard<std::mutex> lock(g_registry_mutex);
        m = g_channels[channel];
        if (m && m->kind != kind) return false;
        if (!m) {
            m = std::make_shared<Model>();
            m->id = g_next_id++;
            m->channel = channel;
            m->kind = kind;
            adjust_config(kind, m->config);
            g_channels[channel] = m;
            g_by_handle[m->id] = m;
            created = true;
        }
    }
    std::string t(title);
    WindowConfig config;
    {
        std::lock_guard<std::mutex> lock(m->mutex);
        m->title = t;
        m->config.title = t;
        config = m->config;
    }
    const int id = m->id;
    if (created) {
        set_channel_sink(channel, &channel_sinks()[channel]);
        dispatch([id, channel, kind, config, t] { create_gui(id, channel, kind, config, t); });
    } else {
        to_view(id, [t](Gui& g) { g.sub->setWindowTitle(QString::fromLatin1(t.c_str())); });
    }
    g_active = channel;
    return true;
}

void close_window(int channel) {
    std::shared_ptr<Model> m;
    {
        std::lock_guard<std::mutex> lock(g_registry_mutex);
        if (channel < 0 || channel > MAX_CHANNEL || !g_channels[channel]) return;
        m = g_channels[channel];
        g_channels[channel] = nullptr;
        g_by_handle.erase(m->id);
    }
    if (channel_sink(channel) == &channel_sinks()[channel]) set_channel_sink(channel, nullptr);
    int expected = channel;
    g_active.compare_exchange_strong(expected, 0);
    const int id = m->id;
    dispatch([id] { remove_gui(id); });
}

namespace internal {

void close_all_windows() {
    for (int c = 0; c <= MAX_CHANNEL; ++c) close_window(c);
    run_posted();
    std::vector<int> ids;
    for (auto& [id, g] : g_gui) ids.push_back(id);
    for (int id : ids) remove_gui(id);
    g_active = 0;
}

}  // namespace internal

void set_active_window(int channel) {
    if (model_of(channel)) g_active = channel;
}

int active_channel() { return g_active.load(); }

Window active_window() { return Window(g_active.load()); }

WindowHandle window_handle(int channel) {
    if (channel == FRAME_CHANNEL) return FRAME_HANDLE;
    auto m = model_of(channel);
    return m ? m->id : 0;
}

void scroll_window(WindowHandle handle, ScrollCommand command) {
    if (auto m = model_by_handle(handle)) Window(m->channel).scroll(command);
}

void set_window_text(WindowHandle handle, std::string_view text) {
    std::string t(text);
    if (handle == FRAME_HANDLE) {
        dispatch([t] {
            if (QWidget* f = internal::frame_widget()) f->setWindowTitle(QString::fromLatin1(t.c_str()));
        });
        return;
    }
    auto m = model_by_handle(handle);
    if (!m) return;
    {
        std::lock_guard<std::mutex> lock(m->mutex);
        m->title = t;
        m->config.title = t;
    }
    to_view(m->id, [t](Gui& g) { g.sub->setWindowTitle(QString::fromLatin1(t.c_str())); });
}

std::string window_text(WindowHandle handle) {
    if (handle == FRAME_HANDLE)
        return call_blocking_result<std::string>([] {
            QWidget* f = internal::frame_widget();
            return f ? f->windowTitle().toStdString() : std::string();
        });
    auto m = model_by_handle(handle);
    if (!m) return {};
    std::lock_guard<std::mutex> lock(m->mutex);
    return m->title;
}

// ---- Window -------------------------------------------------------------------------------

bool Window::exists() const { return model_of(channel_) != nullptr; }

WindowKind Window::kind() const {
    auto m = model_of(channel_);
    return m ? m->kind : WindowKind::Text;
}

bool Window::set_config(WindowConfig& config) {
    auto m = model_of(channel_);
    if (!m) return false;
    const bool exact = adjust_config(m->kind, config);
    WindowConfig applied;
    {
        std::lock_guard<std::mutex> lock(m->mutex);
        if (!config.title.empty()) m->title = config.title;
        config.title = m->title;
        m->config = config;
        applied = config;
    }
    to_view(m->id, [applied](Gui& g) {
        g.view->configure(applied);
        g.sub->setWindowTitle(QString::fromLatin1(applied.title.c_str()));
    });
    return exact;
}

bool Window::get_config(WindowConfig& config) const {
    auto m = model_of(channel_);
    if (!m) return false;
    std::lock_guard<std::mutex> lock(m->mutex);
    config = m->config;
    config.title = m->title;
    return true;
}

bool Window::set_place(const WindowPlace& p) {
    auto m = model_of(channel_);
    if (!m) return false;
    if (p.state == WindowState::Place && (p.width <= 0 || p.height <= 0)) return false;
    to_view(m->id, [p](Gui& g) {
        switch (p.state) {
            case WindowState::Place: place(g, p); break;
            case WindowState::Minimised: g.sub->showMinimized(); break;
            case WindowState::Maximised: g.sub->showMaximized(); break;
            case WindowState::Restored:
                g.sub->showNormal();
                if (g.placed) place(g, g.normal);
                break;
        }
    });
    return true;
}

bool Window::get_place(WindowPlace& p) const {
    auto m = model_of(channel_);
    if (!m) return false;
    return ask_view<bool>(m->id, false, [&](Gui& g) {
        if (g.sub->isMinimized()) {
            p = g.normal;
            p.state = WindowState::Minimised;
            return true;
        }
        const QSize vp = g.view->viewport()->size();
        p.state = g.sub->isMaximized() ? WindowState::Maximised : WindowState::Restored;
        p.x = g.sub->x() / CELL_WIDTH;
        p.y = g.sub->y() / CELL_HEIGHT;
        p.width = vp.width() / CELL_WIDTH;
        p.height = vp.height() / CELL_HEIGHT;
        return true;
    });
}

void Window::focus() {
    auto m = model_of(channel_);
    if (!m) return;
    g_active = channel_;
    to_view(m->id, [](Gui& g) {
        if (QMdiArea* mdi = internal::frame_mdi_area()) mdi->setActiveSubWindow(g.sub);
        g.view->setFocus();
    });
}

void Window::clear() {
    auto m = model_of(channel_);
    if (!m) return;
    std::uint32_t bk;
    {
        std::lock_guard<std::mutex> lock(m->mutex);
        bk = m->ds.bk_color;
        const Clip v = m->viewport();
        m->ds.x = v.x1;
        m->ds.y = v.y1;
    }
    to_view(m->id, [bk](Gui& g) { g.view->clear(bk); });
}

void Window::set_caret(bool on) {
    auto m = model_of(channel_);
    if (m) to_view(m->id, [on](Gui& g) { g.view->set_caret(on); });
}

namespace {

// Sets the text or the background colour of a window from the palette by
// index, and hands the pair on to its view; returns the previous index.
int set_color_index(int channel, int index, int DrawState::*slot, std::uint32_t DrawState::*color) {
    auto m = model_of(channel);
    if (!m) return 0;
    std::uint32_t fg, bk;
    int previous;
    {
        std::lock_guard<std::mutex> lock(m->mutex);
        previous = m->ds.*slot;
        m->ds.*slot = index & 15;
        m->ds.*color = palette_color(index);
        fg = m->ds.text_color;
        bk = m->ds.bk_color;
    }
    to_view(m->id, [fg, bk](Gui& g) { g.view->set_text_colors(fg, bk); });
    return previous;
}

}  // namespace

int Window::set_text_color_index(int index) {
    return set_color_index(channel_, index, &DrawState::text_index, &DrawState::text_color);
}

int Window::set_bk_color_index(int index) {
    return set_color_index(channel_, index, &DrawState::bk_index, &DrawState::bk_color);
}

void Window::set_mouse_cursor(Cursor cursor) {
    auto m = model_of(channel_);
    if (!m) return;
    {
        std::lock_guard<std::mutex> lock(m->mutex);
        m->cursor = cursor;
    }
    to_view(m->id, [cursor](Gui& g) {
        g.view->viewport()->setCursor(cursor == Cursor::Wait ? Qt::WaitCursor : Qt::ArrowCursor);
    });
}

Cursor Window::mouse_cursor() const {
    auto m = model_of(channel_);
    if (!m) return Cursor::Arrow;
    std::lock_guard<std::mutex> lock(m->mutex);
    return m->cursor;
}

void Window::write_line(std::string_view text) {
    auto m = model_of(channel_);
    if (!m || m->kind != WindowKind::Text) return;
    std::string line(text);
    to_view(m->id, [line](Gui& g) { g.view->write_line(line); });
}

void Window::scroll(ScrollCommand command) {
    auto m = model_of(channel_);
    if (m) to_view(m->id, [command](Gui& g) { g.view->scroll(command); });
}

std::vector<std::string> Window::text_lines() const {
    auto m = model_of(channel_);
    if (!m) return {};
    return ask_view<std::vector<std::string>>(m->id, {}, [](Gui& g) { return g.view->lines(); });
}

int Window::first_visible_row() const {
    auto m = model_of(channel_);
    if (!m) return 0;
    return ask_view<int>(m->id, 0, [](Gui& g) { return g.view->first_visible_row(); });
}

}  // namespace tarvex::platform
