// Inside the platform layer only: the model half of the child windows, shared
// by the window functions (window.cpp, window_graphics.cpp). A window's model
// holds its configuration and drawing state, guarded by its mutex; callers
// resolve coordinates (the world mapping), colours and clipping here and hand
// the result to the window's view (window_view.h) on the GUI thread.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "platform/window.h"

namespace tarvex::platform::detail {

inline constexpr int MAX_CHANNEL = 99;
inline constexpr WindowHandle FRAME_HANDLE = 1;

inline constexpr std::uint32_t BLACK = 0x000000;
inline constexpr std::uint32_t WHITE = 0xFFFFFF;

// Rounds a device coordinate to a whole pixel, halves upwards, within a
// range that keeps integer arithmetic safe.
inline int snap(double v) {
    v = std::clamp(v, -1.0e7, 1.0e7);
    return static_cast<int>(std::floor(v + 0.5));
}

// ---- model ----------------------------------------------------------------------

struct Clip {
    int x1, y1, x2, y2;   // corners included
};

struct DrawState {
    std::uint32_t color = BLACK;
    std::uint32_t bk_color = WHITE;
    int text_index = 0;
    int bk_index = 15;
    std::uint32_t text_color = BLACK;
    double x = 0.0;   // current position, window pixels
    double y = 0.0;
    bool viewport_set = false;
    Clip viewport{0, 0, 0, 0};
    bool world_set = false;
    bool y_up = false;
    double wx1 = 0, wy1 = 0, wx2 = 1, wy2 = 1;
    std::string font;   // description of the selected font, empty: the default
};

struct Model {
    int id = 0;
    int channel = 0;
    WindowKind kind = WindowKind::Text;
    mutable std::mutex mutex;
    WindowConfig config;
    std::string title;
    DrawState ds;
    Cursor cursor = Cursor::Arrow;

    Clip viewport() const {   // mutex held
        if (ds.viewport_set) return ds.viewport;
        return {0, 0, config.pixels_x - 1, config.pixels_y - 1};
    }
    double map_x(double x) const {
        if (!ds.world_set) return viewport().x1 + x;
        const Clip v = viewport();
        return v.x1 + (x - ds.wx1) * (v.x2 - v.x1) / (ds.wx2 - ds.wx1);
    }
    double map_y(double y) const {
        if (!ds.world_set) return viewport().y1 + y;
        const Clip v = viewport();
        if (ds.y_up) return v.y1 + (ds.wy2 - y) * (v.y2 - v.y1) / (ds.wy2 - ds.wy1);
        return v.y1 + (y - ds.wy1) * (v.y2 - v.y1) / (ds.wy2 - ds.wy1);
    }
};

// The model of a channel's window, or of a window by handle; nullptr if none.
std::shared_ptr<Model> model_of(int channel);
std::shared_ptr<Model> model_by_handle(WindowHandle h);

}  // namespace tarvex::platform::detail
