// Dialog templates: the description of a dialog that the program carries as
// data (resources/*.dlg, embedded in the program at build time), and the
// conversion of its dialog units to pixels.
//
// The text format is described in resources/README.md.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarvex::platform {

enum class ControlKind {
    label,      // static text
    edit,       // one-line edit field
    button,     // push button
    check,      // check box
    radio,      // radio button
    groupbox,   // frame with a title around other controls
    spin,       // spin (up-down) button attached to an edit field
    tab,        // tab control whose pages hold child dialogs
};

enum class TextAlign { left, center, right };

// A rectangle in dialog units.
struct DuRect {
    int x = 0, y = 0, w = 0, h = 0;
};

// A rectangle in pixels.
struct PxRect {
    int x = 0, y = 0, w = 0, h = 0;
    bool operator==(const PxRect&) const = default;
};

// Identifier of a control that the program never addresses (labels).
inline constexpr int STATIC_ID = -1;

struct ControlTemplate {
    ControlKind kind = ControlKind::label;
    int id = STATIC_ID;
    std::string text;
    DuRect rect;
    int line = 0;               // line of the template file, for messages

    // Any kind.
    bool group = false;         // starts a group (radio buttons up to the next group start exclude each other)
    bool tabstop = false;       // reached with the Tab key
    bool disabled = false;
    bool hidden = false;
    TextAlign align = TextAlign::left;   // labels and edit fields

    // button
    bool default_button = false;   // drawn as the default; Enter presses id 1 whatever is drawn
    // edit
    bool border = false;
    bool autoscroll = false;
    bool readonly = false;
    // spin
    int buddy = 0;              // id of the edit field it steps; 0: the control just before it
    bool wrap = false;          // steps past one end of the range to the other
    bool arrowkeys = false;     // the Up and Down keys in the buddy step it
    bool alignright = false;    // sits inside the buddy's right edge, the buddy narrowed by its width
};

struct DialogTemplate {
    int id = 0;
    std::string caption;
    int width = 0, height = 0;          // dialog units
    std::string font_family = "MS Sans Serif";
    int font_points = 8;
    bool caption_bar = false;           // style caption
    bool sysmenu = false;               // style sysmenu: a close box
    bool modalframe = false;            // style modalframe
    bool child = false;                 // style child: a page inside another dialog, no window of its own
    std::vector<ControlTemplate> controls;

    // The control with this id, or nullptr (never for STATIC_ID).
    const ControlTemplate* find(int control_id) const;
};

// Parses the text of one template. On failure returns false and sets error to a
// message naming source and line.
bool parse_dialog_template(std::string_view text, std::string_view source, DialogTemplate& out,
                           std::string& error);

// The embedded template with this id (file dialog<id>.dlg).
bool load_dialog_template(int id, DialogTemplate& out, std::string& error);

// Dialog base units: the average character width and the character height of
// the dialog's font, in pixels. A horizontal dialog unit is a quarter of the
// width, a vertical one an eighth of the height.
struct BaseUnits {
    int x = 0;
    int y = 0;
};

// Multiplies and divides with rounding to nearest (halves away from zero).
int mul_div(int value, int numerator, int denominator);

inline int du_to_px_x(int du, BaseUnits base) { return mul_div(du, base.x, 4); }
inline int du_to_px_y(int du, BaseUnits base) { return mul_div(du, base.y, 8); }
PxRect du_to_px(const DuRect& rect, BaseUnits base);

}  // namespace tarvex::platform
