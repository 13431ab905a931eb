#include "platform/screen.h"

#include <QScreen>
#include <QWidget>

#include "platform/dialog_qt.h"
#include "platform/internal.h"

namespace tarvex::platform {

namespace {

ScreenRect from_qrect(const QRect& r) { return {r.x(), r.y(), r.width(), r.height()}; }

// The dialog's own top-level window; nullptr for a page or an uninitialised one.
QWidget* top_level_of(const Dialog& dialog) {
    QWidget* w = dialog_widget(dialog);
    return w && w->isWindow() ? w : nullptr;
}

}  // namespace

bool frame_geometry(FrameGeometry& geometry) {
    return on_gui([&] {
        QWidget* frame = internal::frame_widget();
        if (!frame) return false;
        geometry.outer = from_qrect(frame->frameGeometry());
        geometry.client = from_qrect(frame->geometry());
        const QScreen* screen = frame->screen();
        geometry.available = screen ? from_qrect(screen->availableGeometry()) : geometry.outer;
        return true;
    });
}

bool dialog_outer_rect(const Dialog& dialog, ScreenRect& rect) {
    return on_gui([&] {
        QWidget* w = top_level_of(dialog);
        if (!w) return false;
        if (w->isVisible()) {
            rect = from_qrect(w->frameGeometry());
        } else {
            // Not decorated yet: the window system's usual border and title bar.
            const QSize outer = w->size() + QSize(8, 30);
            rect = {w->x(), w->y(), outer.width(), outer.height()};
        }
        return true;
    });
}

bool move_dialog(Dialog& dialog, int x, int y) {
    return on_gui([&] {
        QWidget* w = top_level_of(dialog);
        if (!w) return false;
        w->move(x, y);   // a top-level window's position is that of its decoration
        return true;
    });
}

}  // namespace tarvex::platform
