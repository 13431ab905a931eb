// Child windows bound to channels, their configuration, size and state, and
// drawing on them.
//
// Opening a channel with the file name "USER" makes a child window of the
// frame bound to that channel: a text window (rows and columns of text) or a
// graphics window (an image of the configured pixels). Lines written to the
// channel (common/channels.h write_line) append to a text window; closing the
// channel removes the window.
//
// Every operation takes its target explicitly (a Window names a channel).
// The library-style "active window" is process-wide state that any thread may
// change at any time; code that must not land on the wrong window uses an
// explicit Window instead of active_window().
//
// Threads: every function may be called from any thread. Changes are handed
// to the GUI thread in order (run at once on the GUI thread); answers that
// need the GUI (sizes, read-back, saving) wait for it. The drawing state of a
// window (colours, current position, viewport, world window, font) lives on
// the caller's side, so setting a colour returns the previous one at once.
//
// Geometry: positions and sizes of windows are in character cells of the
// frame's client area, a fixed cell of 8 by 16 pixels. Colours are Windows
// colour values 0x00BBGGRR.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex::platform {

inline constexpr int CELL_WIDTH = 8;     // pixels per character cell, across
inline constexpr int CELL_HEIGHT = 16;   // and down

// Colour value 0x00BBGGRR from its components.
constexpr std::uint32_t bgr(int red, int green, int blue) {
    return static_cast<std::uint32_t>((red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16));
}
constexpr int red_of(std::uint32_t c) { return static_cast<int>(c & 0xFF); }
constexpr int green_of(std::uint32_t c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int blue_of(std::uint32_t c) { return static_cast<int>((c >> 16) & 0xFF); }

// The 16 colours of the colour indices (0 black ... 7 light grey, 8 dark grey
// ... 15 white).
std::uint32_t palette_color(int index);

// Opaque window handles; 0 is no window.
using WindowHandle = std::int32_t;
inline constexpr int FRAME_CHANNEL = -1;   // window_handle(FRAME_CHANNEL) is the frame

enum class WindowKind { Text, Graphics };

// Window configuration. -1 leaves a value to the library. Fonts are given by
// their character cell (width and height in pixels). An empty title keeps the
// window's title.
struct WindowConfig {
    int pixels_x = -1;
    int pixels_y = -1;
    int text_cols = -1;
    int text_rows = -1;
    int colors = -1;
    int font_width = -1;
    int font_height = -1;
    std::string title;
};

enum class WindowState { Place, Minimised, Maximised, Restored };

// Size and state in character cells. When set: Place moves and sizes the
// window (and restores it), the other states only change the state. When
// read: the state is Minimised, Maximised or Restored, with the current
// position and size (the placed size while minimised).
struct WindowPlace {
    WindowState state = WindowState::Place;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

enum class ScrollCommand { LineUp, LineDown, PageUp, PageDown, Top, Bottom };
enum class Cursor { Arrow, Wait };
enum class Fill { Outline, Filled };

struct PixelPoint {
    int x;
    int y;
};
struct WorldPoint {
    double x;
    double y;
};

// Opens (or, when already open with the same kind, retitles) the child window
// of a channel and makes it the active window. False for a channel outside
// 0..99 or one already open as the other kind.
bool open_window(int channel, WindowKind kind, std::string_view title);
// Closes the channel's window (nothing when none is open).
void close_window(int channel);

// The active window: target of the library-style operations.
void set_active_window(int channel);
int active_channel();   // 0 when none

// Handle of a channel's window, or of the frame (FRAME_CHANNEL); 0 if none.
WindowHandle window_handle(int channel);
// Scroll message to a text window, by handle.
void scroll_window(WindowHandle handle, ScrollCommand command);
// Title of the frame or a child window, by handle.
void set_window_text(WindowHandle handle, std::string_view text);
std::string window_text(WindowHandle handle);

// The child window on a channel. Operations on a channel without a window do
// nothing and answer false, 0 or empty.
class Window {
public:
    explicit Window(int channel) : channel_(channel) {}
    int channel() const { return channel_; }
    bool exists() const;
    WindowKind kind() const;
    WindowHandle handle() const { return window_handle(channel_); }

    // Configuration. set_config fills the values left to the library and
    // brings the others into range; it answers false when it changed any of
    // them (the caller then sets the adjusted configuration once more).
    bool set_config(WindowConfig& config);
    bool get_config(WindowConfig& config) const;

    bool set_place(const WindowPlace& place);
    bool get_place(WindowPlace& place) const;
    void focus();           // brings it to the front with the keyboard focus; makes it active
    void make_active() { set_active_window(channel_); }

    // Clears a text window (blank rows, writing starts at the top) or fills a
    // graphics window with its background colour.
    void clear();
    void set_caret(bool on);
    int set_text_color_index(int index);   // previous index
    int set_bk_color_index(int index);     // previous index; also the background colour
    void set_mouse_cursor(Cursor cursor);
    Cursor mouse_cursor() const;

    // Text windows: one line, written below the last (a line longer than the
    // columns goes on in the next rows, its trailing blanks left out; writing
    // past the last row scrolls the text up). The view follows the line written.
    void write_line(std::string_view text);
    void scroll(ScrollCommand command);
    std::vector<std::string> text_lines() const;   // every row, trailing blanks removed
    int first_visible_row() const;

    // Graphics. Pixel coordinates are relative to the viewport's top left;
    // world coordinates are mapped through the world window onto the
    // viewport. Drawing is clipped to the viewport.
    std::uint32_t set_color_rgb(std::uint32_t color);      // previous drawing colour
    std::uint32_t set_bk_color_rgb(std::uint32_t color);   // previous background colour
    std::uint32_t color_rgb() const;
    std::uint32_t bk_color_rgb() const;
    void move_to(int x, int y);
    void line_to(int x, int y);
    void move_to_w(double x, double y);
    void line_to_w(double x, double y);
    // Rectangles are snapped to whole pixels: a filled one covers the pixels
    // from the left/top corner up to, not including, the right/bottom one, so
    // that neighbouring rectangles tile; an outline is the border of that area.
    void rectangle(Fill fill, int x1, int y1, int x2, int y2);
    void rectangle_w(Fill fill, double x1, double y1, double x2, double y2);
    void polygon(Fill fill, const std::vector<PixelPoint>& points);
    void polygon_w(Fill fill, const std::vector<WorldPoint>& points);
    // Text in the selected font and the drawing colour, its top left corner at
    // the current position (which stays where it is).
    void out_text(std::string_view text);
    // Font by description, e.g. "t'Arial'h12w6pvb": t'typeface', h height and
    // w width in pixels, p proportional or f fixed, v vector or r raster, b
    // bold, i italic, u underline. Index of the font (>= 0), or -1 when the
    // description cannot be read.
    int select_font(std::string_view description);
    // Viewport in pixels of the window (corners included); false when empty.
    bool set_viewport(int x1, int y1, int x2, int y2);
    // World window onto the viewport; y_up puts y1 at the bottom. False (and
    // no change) when either extent is zero or a value is not finite.
    bool set_world_window(bool y_up, double x1, double y1, double x2, double y2);
    // Pixel position (in window pixels) of a world point under the current mapping.
    WorldPoint world_to_pixel(double x, double y) const;
    // Saves the pixel rectangle (corners included, window pixels) as a BMP
    // file. 0 on success, -1 on failure.
    int save_image(std::string_view file_name, int x1, int y1, int x2, int y2);
    // Read-back: the colour of one window pixel (0 outside the image).
    std::uint32_t pixel(int x, int y) const;

private:
    int channel_;
};

Window active_window();

// Makes the fonts available; answers how many there are.
int init_fonts();

}  // namespace tarvex::platform
