#include "frontend/dlg_rundata.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "common/names.h"
#include "common/textfmt.h"
#include "engine/data.h"
#include "platform/dialog.h"

namespace tarvex {

namespace {

using platform::Attr;
using platform::Dialog;

constexpr int IDD_RUNDATA = 103;
constexpr int IDC_INITIALISE = 1013;   // start mode 0
constexpr int IDC_LASTDATA = 1014;     // start mode 2
constexpr int IDC_FILEDATA = 1015;     // start mode 1
constexpr int IDC_ITERATIONS = 1016;
constexpr int IDC_SAVE = 1021;
constexpr int IDC_FLOW = 1017;
constexpr int IDC_PRESSURE = 1018;
constexpr int IDC_ENERGY = 1019;
constexpr int IDC_CONC = 1020;

// Room for whatever a field holds: an entry is read whole, never cut short.
constexpr int FIELD_TEXT = 256;

enum class Entry { valid, invalid, unreadable };

std::string field_text(const Dialog& dlg, int id) {
    std::string text;
    dlg.get_text(id, text, FIELD_TEXT);
    return text;
}

// A count: the part of the entry after its last blank, read as a whole
// number of at most ten characters. Empty, unreadable, too long for ten
// characters or beyond 32 bits: unreadable.
bool read_count(std::string_view text, int32_t& value) {
    std::string_view t = trim_right(text);
    const size_t blank = t.find_last_of(' ');
    std::string_view part = blank == std::string_view::npos ? t : t.substr(blank + 1);
    if (part.empty() || part.size() > 10) return false;
    long long v = 0;
    if (!read_fixed_int(part, 10, v)) return false;
    if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) return false;
    value = static_cast<int32_t>(v);
    return true;
}

// A relaxation factor: one real number read free-form; valid above 0 up to
// `top` inclusive.
Entry read_factor(std::string_view text, double top, double& value) {
    FreeFormReader reader(text);
    double v = 0.0;
    if (reader.read(v) != ReadStatus::ok || !std::isfinite(v)) return Entry::unreadable;
    if (!(v > 0.0 && v <= top)) return Entry::invalid;
    value = v;
    return Entry::valid;
}

void fill(Dialog& dlg) {
    dlg.set_logical(runflags.NEWFIELDS ? IDC_INITIALISE : IDC_LASTDATA, Attr::state, true);
    if (pbtable.NITER != -999) {
        dlg.set_text(IDC_ITERATIONS, fmt_i(pbtable.NITER, 10));
        dlg.set_text(IDC_SAVE, fmt_i(pbtable.NSAVE, 10));
    }
    dlg.set_text(IDC_FLOW, fmt_f(runctl.RLXU, 4, 2));
    dlg.set_text(IDC_ENERGY, fmt_f(runctl.RLXT, 4, 2));
    dlg.set_text(IDC_PRESSURE, fmt_f(runctl.RLXP, 4, 2));
    dlg.set_text(IDC_CONC, fmt_f(runctl.RLXC, 4, 2));
}

// Reads the entries in order, storing each valid one at once. Unreadable:
// stops there. Otherwise tells whether any entry was invalid.
Entry read_back(const Dialog& dlg) {
    bool invalid = false;

    bool on = false;
    if (dlg.get_logical(IDC_INITIALISE, Attr::state, on) && on) runctl.RESTART = 0;
    else if (dlg.get_logical(IDC_LASTDATA, Attr::state, on) && on) runctl.RESTART = 2;
    else if (dlg.get_logical(IDC_FILEDATA, Attr::state, on) && on) runctl.RESTART = 1;
    else invalid = true;

    int32_t count = 0;
    if (!read_count(field_text(dlg, IDC_ITERATIONS), count)) return Entry::unreadable;
    if (count >= 0) pbtable.NITER = count;
    else invalid = true;

    if (!read_count(field_text(dlg, IDC_SAVE), count)) return Entry::unreadable;
    if (count > 0) pbtable.NSAVE = count < pbtable.NITER ? count : pbtable.NITER;
    else if (count == 0) pbtable.NSAVE = pbtable.NITER;
    else invalid = true;

    struct Factor {
        int id;
        double top;
    };
    const Factor factors[] = {{IDC_FLOW, 1.0}, {IDC_ENERGY, 1.0}, {IDC_PRESSURE, 1.9}, {IDC_CONC, 1.0}};
    for (const Factor& f : factors) {
        double v = 0.0;
        const Entry e = read_factor(field_text(dlg, f.id), f.top, v);
        if (e == Entry::unreadable) return Entry::unreadable;
        if (e == Entry::invalid) {
            invalid = true;
            continue;
        }
        switch (f.id) {
            case IDC_FLOW: runctl.RLXU = runctl.RLXV = runctl.RLXW = v; break;
            case IDC_ENERGY: runctl.RLXT = v; break;
            case IDC_PRESSURE: runctl.RLXP = v; break;
            case IDC_CONC: runctl.RLXC = c2eq.RLXC2 = v; break;
        }
    }
    return invalid ? Entry::invalid : Entry::valid;
}

}  // namespace

int RUNDATAPROC() {
    for (;;) {
        Dialog dlg;
        if (!dlg.init(IDD_RUNDATA)) return -2;
        fill(dlg);
        if (dlg.run_modal() != 1) {
            dlg.release();
            return -1;
        }
        const Entry result = read_back(dlg);
        dlg.release();
        if (result == Entry::valid) return 1;
    }
}

}  // namespace tarvex
