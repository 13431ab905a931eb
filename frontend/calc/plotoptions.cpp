#include "frontend/calc/plotoptions.h"

#include <cmath>

#include "common/textfmt.h"

namespace tarvex {

namespace {

// The plot choices from which on a plot has a colour scale (grid 0 and
// blockage 1 have none), and from which on the domain viewer's plot has
// arrows or water vapour (9 vectors, 10 and 11 water vapour).
constexpr int32_t FIRST_SCALED_PLOT = 2;
constexpr int32_t FIRST_VECTOR_SCALE_PLOT = 9;

std::string_view first(std::string_view text, int n) {
    return text.substr(0, static_cast<std::size_t>(n));
}

// One limit as F15.0; false when unreadable or not a finite number.
bool read_limit(std::string_view text, double& value) {
    double v = 0.0;
    if (!read_fixed_real_blank_zero(first(text, OPTION_FIELD_TEXT), LIMIT_READ_WIDTH, v)) return false;
    if (!std::isfinite(v)) return false;
    value = v;
    return true;
}

}  // namespace

std::string scheme_text(int32_t scheme) { return fmt_i(scheme, 2); }

std::string limit_text(double limit) { return fmt_g(limit, 15, 8); }

std::string vector_scale_text(double vscale) { return fmt_f(vscale, 8, 2); }

double opening_vector_scale(double vscale) { return vscale <= 0.0 ? 1.0 : vscale; }

OptionsEnabling options_enabling(OptionsOf viewer, const VIEWCTL& ctl) {
    OptionsEnabling e{};
    if (viewer == OptionsOf::domain) {
        e.manual_box = ctl.IPLOT >= FIRST_SCALED_PLOT;
        e.vector_scale = ctl.IPLOT >= FIRST_VECTOR_SCALE_PLOT;
    } else {
        e.manual_box = ctl.IRPLOT >= FIRST_SCALED_PLOT;
        e.vector_scale = false;
    }
    return e;
}

SchemeEntry read_scheme_entry(std::string_view text, int32_t& value) {
    FreeFormReader reader(text);
    int v = 0;
    if (reader.read(v) != ReadStatus::ok) return SchemeEntry::ignore;
    if (v < SCHEME_MIN || v > SCHEME_MAX) return SchemeEntry::restore;
    value = v;
    return SchemeEntry::accept;
}

std::string scheme_restore_text(int32_t scheme) { return free_line(scheme); }

bool read_back_options(OptionsOf viewer, bool manual, const OptionsEntries& entries, PLOTOPT& opt) {
    if (manual) {
        // Min is stored before Max is looked at; either failing leaves both 0.
        if (!read_limit(entries.min_text, opt.CSMIN) || !read_limit(entries.max_text, opt.CSMAX)) {
            opt.CSMIN = 0.0;
            opt.CSMAX = 0.0;
            return false;
        }
    }
    if (viewer == OptionsOf::domain) {
        FreeFormReader reader(first(entries.vscale_text, OPTION_FIELD_TEXT));
        double v = 0.0;
        opt.VSCALE = reader.read(v) == ReadStatus::ok && std::isfinite(v) ? v : 1.0;
    }
    return true;
}

}  // namespace tarvex
