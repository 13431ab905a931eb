// The window-free side of the Plot Options dialog that both plot viewers
// offer: the texts its fields show, which of its controls can be used for
// the current plot, the reading of a typed colour scheme, and the reading
// back of the manual scale limits and the vector scale when it ends.
//
// The dialog (frontend/dlg_plotoptions.h) only moves texts and check states
// between its controls and these functions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "frontend/calc/viewstate.h"

namespace tarvex {

// Whose Plot Options: the domain viewer ("Data Plot", plot choice IPLOT)
// or the residuals viewer ("Grid Plot", plot choice IRPLOT).
enum class OptionsOf { domain, residuals };

inline constexpr int SCHEME_MIN = 1;
inline constexpr int SCHEME_MAX = NSCHEMES;

// Characters of a field that the reading back looks at: the limits and the
// vector scale are taken as 16 characters, of which a limit reads the first
// 15 (F15.0).
inline constexpr int OPTION_FIELD_TEXT = 16;
inline constexpr int LIMIT_READ_WIDTH = 15;

// ---- opening ----------------------------------------------------------------

// The scheme as the scheme field shows it (I2).
std::string scheme_text(int32_t scheme);
// A limit as its field shows it (G15.8).
std::string limit_text(double limit);
// The vector scale as its field shows it (F8.2; asterisks when too wide).
std::string vector_scale_text(double vscale);

// The vector scale the dialog starts from: 1.0 in place of 0 or less. Both
// viewers' dialogs apply it, though only the domain viewer's shows the field.
double opening_vector_scale(double vscale);

// Which of the options depend on the plot shown.
struct OptionsEnabling {
    bool manual_box;     // "Manual" can be changed: a data or vector plot (choice > 1)
    bool vector_scale;   // the vector-scale field and its labels: vectors and the
                         // water-vapour plots of the domain viewer (IPLOT >= 9)
};
OptionsEnabling options_enabling(OptionsOf viewer, const VIEWCTL& ctl);

// ---- while it is open ---------------------------------------------------------

// What a typed scheme entry does.
enum class SchemeEntry {
    ignore,    // empty or not a whole number: nothing happens
    accept,    // 1..7: it becomes the scheme
    restore,   // any other number: the previous scheme goes back into the field
};
// Reads the field as one integer in free form; value holds it on accept.
SchemeEntry read_scheme_entry(std::string_view text, int32_t& value);

// The text written back into the scheme field on restore (free form).
std::string scheme_restore_text(int32_t scheme);

// ---- at the end ---------------------------------------------------------------

// What the fields held when the dialog ended (either button).
struct OptionsEntries {
    std::string_view min_text;      // field "Min"
    std::string_view max_text;      // field "Max"
    std::string_view vscale_text;   // field "x" (vector scale)
};

// Reads the dialog's entries back into the plot state, as the dialog's end
// does for either button:
// - With MANUAL, Min and then Max are read as F15.0 into CSMIN and CSMAX (a
//   blank field is 0). A limit that cannot be read, or is not a finite
//   number, sets both limits to 0 (the colour-scale step then widens them to
//   -0.01..0.01) and ends the reading there: the vector scale is left as it
//   was. Min above Max is kept as typed.
// - Then, in the domain viewer's dialog only, the vector scale is read as
//   one real number in free form; empty or unreadable gives 1.0. A negative
//   scale is kept (until the next opening resets it).
// Returns false when a limit could not be read.
bool read_back_options(OptionsOf viewer, bool manual, const OptionsEntries& entries, PLOTOPT& opt);

}  // namespace tarvex
