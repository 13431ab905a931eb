// Inside the platform layer only: the view half of the child windows, on the
// GUI thread. A view holds a window's text rows or its image and the widgets
// showing them; the model side (window_model.h) reaches it only through
// to_view and ask_view, which name the window by id.
#pragma once

#include <QAbstractScrollArea>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPaintEvent>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gui_thread.h"
#include "platform/raster.h"
#include "platform/window.h"
#include "platform/window_model.h"

namespace tarvex::platform::detail {

inline QColor to_qcolor(std::uint32_t c) { return QColor(red_of(c), green_of(c), blue_of(c)); }
inline QRgb to_qrgb(std::uint32_t c) { return qRgb(red_of(c), green_of(c), blue_of(c)); }
inline std::uint32_t from_qrgb(QRgb c) { return bgr(qRed(c), qGreen(c), qBlue(c)); }

// The pixels of a view's image (Format_RGB32), for the raster operations.
inline raster::PixelBuffer pixel_buffer(QImage& img) {
    return {reinterpret_cast<std::uint32_t*>(img.bits()), img.width(), img.height(), img.bytesPerLine() / 4};
}

// Fonts (GUI thread): the font of a description (window.h select_font), and
// the monospaced font of a text window's character cell.
QFont make_font(const std::string& description);
QFont cell_font(int cell_w, int cell_h);

// ---- views (GUI thread) -------------------------------------------------------------

struct TextRow {
    std::string text;
    std::uint32_t fg = BLACK;
    std::uint32_t bk = WHITE;
};

class View;
class SubWindow : public QMdiSubWindow {
public:
    explicit SubWindow(int channel) : channel_(channel) {}
    bool closing_by_program = false;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    int channel_;
};

class View : public QAbstractScrollArea {
public:
    View(int id, WindowKind kind) : id_(id), kind_(kind) {
        setFrameShape(QFrame::NoFrame);
        setFocusPolicy(Qt::StrongFocus);
        const bool text = kind == WindowKind::Text;
        setVerticalScrollBarPolicy(text ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
        setHorizontalScrollBarPolicy(text ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
        viewport()->setAutoFillBackground(false);
    }
    int id() const { return id_; }
    WindowKind kind() const { return kind_; }

    void configure(const WindowConfig& c) {
        cell_w_ = c.font_width;
        cell_h_ = c.font_height;
        if (kind_ == WindowKind::Text) {
            cols_ = c.text_cols;
            rows_.resize(static_cast<std::size_t>(c.text_rows), TextRow{std::string(), text_fg_, clear_bk_});
            cursor_row_ = std::min(cursor_row_, c.text_rows);
            font_ = cell_font(cell_w_, cell_h_);
            update_scroll_ranges();
        } else {
            grow_image(c.pixels_x, c.pixels_y, true);
        }
        viewport()->update();
    }

    // ---- text
    void set_text_colors(std::uint32_t fg, std::uint32_t bk) {
        text_fg_ = fg;
        text_bk_ = bk;
    }
    void clear(std::uint32_t bk) {
        clear_bk_ = bk;
        if (kind_ == WindowKind::Text) {
            for (auto& r : rows_) r = TextRow{std::string(), text_fg_, bk};
            cursor_row_ = 0;
        } else {
            image_.fill(to_qrgb(bk));
        }
        viewport()->update();
    }
    void write_line(std::string_view line) {
        if (kind_ != WindowKind::Text || rows_.empty()) return;
        std::string text(line);
        for (char& ch : text)
            if (static_cast<unsigned char>(ch) < 0x20) ch = ' ';
        // Blanks that would reach past the last column show nothing: they
        // do not start rows of their own (a blank-padded name stays one row).
        if (static_cast<int>(text.size()) > cols_) {
            const std::size_t last = text.find_last_not_of(' ');
            text.resize(last == std::string::npos ? 0 : last + 1);
        }
        std::size_t pos = 0;
        do {
            if (cursor_row_ >= static_cast<int>(rows_.size())) {
                rows_.erase(rows_.begin());
                rows_.push_back(TextRow{std::string(), text_fg_, clear_bk_});
                cursor_row_ = static_cast<int>(rows_.size()) - 1;
            }
            const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(cols_), text.size() - pos);
            rows_[static_cast<std::size_t>(cursor_row_)] = TextRow{text.substr(pos, n), text_fg_, text_bk_};
            ++cursor_row_;
            pos += n;
        } while (pos < text.size());
        ensure_visible(cursor_row_ - 1);
        viewport()->update();
    }
    void scroll(ScrollCommand cmd) {
        QScrollBar* bar = verticalScrollBar();
        const int page = std::max(1, visible_rows());
        switch (cmd) {
            case ScrollCommand::LineUp: bar->setValue(bar->value() - 1); break;
            case ScrollCommand::LineDown: bar->setValue(bar->value() + 1); break;
            case ScrollCommand::PageUp: bar->setValue(bar->value() - page); break;
            case ScrollCommand::PageDown: bar->setValue(bar->value() + page); break;
            case ScrollCommand::Top: bar->setValue(0); break;
            case ScrollCommand::Bottom: bar->setValue(bar->maximum()); break;
        }
        viewport()->update();
    }
    std::vector<std::string> lines() const {
        std::vector<std::string> out;
        for (const auto& r : rows_) {
            std::string s = r.text;
            while (!s.empty() && s.back() == ' ') s.pop_back();
            out.push_back(s);
        }
        return out;
    }
    int first_visible_row() const { return verticalScrollBar()->value(); }
    void set_caret(bool on) {
        caret_ = on;
        viewport()->update();
    }

    // ---- graphics
    QImage& image() { return image_; }
    void grow_image(int w, int h, bool exact) {
        if (kind_ != WindowKind::Graphics) return;
        if (!exact) {
            w = std::max(w, image_.width());
            h = std::max(h, image_.height());
        }
        if (w == image_.width() && h == image_.height()) return;
        QImage next(std::max(1, w), std::max(1, h), QImage::Format_RGB32);
        next.fill(to_qrgb(clear_bk_));
        if (!image_.isNull()) {
            QPainter p(&next);
            p.drawImage(0, 0, image_);
        }
        image_ = next;
    }
    void changed() { viewport()->update(); }

    // ---- size
    // Size of the drawing area for a client area of w by h pixels: text
    // windows add their scroll bars outside it.
    QSize outer_size_for(int w, int h) const {
        if (kind_ != WindowKind::Text) return QSize(w, h);
        const int ext = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
        const bool vbar = static_cast<int>(rows_.size()) * cell_h_ > h;
        const bool hbar = cols_ * cell_w_ > w;
        return QSize(w + (vbar ? ext : 0), h + (hbar ? ext : 0));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(viewport());
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setRenderHint(QPainter::TextAntialiasing, false);
        if (kind_ == WindowKind::Graphics) {
            p.fillRect(viewport()->rect(), to_qcolor(clear_bk_));
            p.drawImage(0, 0, image_);
            return;
        }
        p.fillRect(viewport()->rect(), to_qcolor(clear_bk_));
        p.setFont(font_);
        const QFontMetrics fm(font_);
        const int top = verticalScrollBar()->value();
        const int left = horizontalScrollBar()->value();
        const int baseline = (cell_h_ - fm.height()) / 2 + fm.ascent();
        const int nrows = visible_rows() + 1;
        for (int r = 0; r < nrows; ++r) {
            const int row = top + r;
            if (row >= static_cast<int>(rows_.size())) break;
            const TextRow& tr = rows_[static_cast<std::size_t>(row)];
            const int y = r * cell_h_;
            p.fillRect(QRect(0, y, viewport()->width(), cell_h_), to_qcolor(tr.bk));
            p.setPen(to_qcolor(tr.fg));
            for (int col = left; col < static_cast<int>(tr.text.size()); ++col) {
                const int x = (col - left) * cell_w_;
                if (x > viewport()->width()) break;
                const char ch = tr.text[static_cast<std::size_t>(col)];
                if (ch != ' ') p.drawText(x, y + baseline, QString(QLatin1Char(ch)));
            }
        }
        if (caret_ && cursor_row_ >= top && cursor_row_ < top + nrows)
            p.fillRect(QRect(0, (cursor_row_ - top) * cell_h_ + cell_h_ - 3, cell_w_, 2), to_qcolor(text_fg_));
    }
    void resizeEvent(QResizeEvent* e) override {
        // A text window that shows its newest line keeps showing it when its
        // size changes: minimised, maximised (the frame maximises every child
        // it activates while one is maximised) or restored. Qt delivers the
        // resize of a hidden window late and without its old size, so the
        // rows shown before are kept here.
        bool newest_in_view = false;
        if (kind_ == WindowKind::Text && cursor_row_ > 0) {
            const int top = verticalScrollBar()->value();
            newest_in_view = cursor_row_ - 1 >= top && cursor_row_ - 1 < top + std::max(1, shown_rows_);
        }
        QAbstractScrollArea::resizeEvent(e);
        if (kind_ == WindowKind::Text) {
            update_scroll_ranges();
            if (newest_in_view) ensure_visible(cursor_row_ - 1);
            shown_rows_ = visible_rows();
        } else {
            grow_image(viewport()->width(), viewport()->height(), false);
        }
    }

private:
    int visible_rows() const { return cell_h_ > 0 ? viewport()->height() / cell_h_ : 0; }
    void update_scroll_ranges() {
        const int vis_rows = visible_rows();
        const int vis_cols = cell_w_ > 0 ? viewport()->width() / cell_w_ : 0;
        verticalScrollBar()->setRange(0, std::max(0, static_cast<int>(rows_.size()) - vis_rows));
        verticalScrollBar()->setPageStep(std::max(1, vis_rows));
        horizontalScrollBar()->setRange(0, std::max(0, cols_ - vis_cols));
        horizontalScrollBar()->setPageStep(std::max(1, vis_cols));
    }
    void ensure_visible(int row) {
        QScrollBar* bar = verticalScrollBar();
        const int vis = std::max(1, visible_rows());
        if (row < bar->value())
            bar->setValue(row);
        else if (row >= bar->value() + vis)
            bar->setValue(row - vis + 1);
    }

    int id_;
    WindowKind kind_;
    int cell_w_ = CELL_WIDTH;
    int cell_h_ = CELL_HEIGHT;
    int shown_rows_ = 0;   // text rows in view at the last resize
    // text
    int cols_ = 80;
    std::vector<TextRow> rows_;
    int cursor_row_ = 0;
    bool caret_ = false;
    std::uint32_t text_fg_ = BLACK;
    std::uint32_t text_bk_ = WHITE;
    QFont font_;
    // both
    std::uint32_t clear_bk_ = WHITE;
    // graphics
    QImage image_;
};

struct Gui {
    SubWindow* sub = nullptr;
    View* view = nullptr;
    WindowPlace normal;   // the last placed size, in cells
    bool placed = false;
};

extern std::map<int, Gui> g_gui;   // by window id; GUI thread only

// The views of a window id (nullptr when it has none); removing, placing and
// creating them. GUI thread only.
Gui* gui(int id);
void remove_gui(int id);
void place(Gui& g, const WindowPlace& p);
void create_gui(int id, int channel, WindowKind kind, const WindowConfig& config, const std::string& title);

// Runs fn on the window's view, in order with the caller's other changes.
template <typename F>
void to_view(int id, F fn) {
    dispatch([id, fn = std::move(fn)]() mutable {
        if (Gui* g = gui(id)) fn(*g);
    });
}

template <typename R, typename F>
R ask_view(int id, R fallback, F fn) {
    return call_blocking_result<R>(std::function<R()>([&]() -> R {
        if (Gui* g = gui(id)) return fn(*g);
        return fallback;
    }));
}

}  // namespace tarvex::platform::detail
