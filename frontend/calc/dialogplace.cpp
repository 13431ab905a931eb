#include "frontend/calc/dialogplace.h"

#include <algorithm>

namespace tarvex {

bool boxes_overlap(const ScreenBox& a, const ScreenBox& b) {
    return a.x < b.right() && b.x < a.right() && a.y < b.bottom() && b.y < a.bottom();
}

ScreenPoint place_dialog(const DialogPlaceInput& in) {
    const ScreenBox& f = in.frame;
    const ScreenBox& s = in.screen;
    ScreenPoint p;
    if (f.right() + in.width <= s.right()) {
        p.x = f.right();
    } else if (f.x - in.width >= s.x) {
        p.x = f.x - in.width;
    } else {
        const int edge = in.keep_clear_set ? std::min(in.keep_clear.x, f.right()) : f.right();
        // On the screen; a screen too narrow for both keeps the dialog's left edge visible.
        p.x = std::max(s.x, std::min(edge - in.width, s.right() - in.width));
    }
    p.y = std::clamp(in.client_top, s.y, std::max(s.y, s.bottom() - in.height));
    return p;
}

}  // namespace tarvex
