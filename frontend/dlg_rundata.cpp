#include "frontend/dlg_rundata.h"

#include <cmath>
#include <cstdint>
#include <iterator>
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
constexpr int IDC_MESSAGE = 1022;      // why the dialog came back

// Room for whatever a field holds: an entry is read whole, never cut short.
constexpr int FIELD_TEXT = 256;

constexpr int EDIT_IDS[] = {IDC_ITERATIONS, IDC_SAVE, IDC_FLOW, IDC_PRESSURE, IDC_ENERGY, IDC_CONC};

enum class Entry { valid, invalid, unreadable };

std::string field_text(const Dialog& dlg, int id) {
    std::string text;
    dlg.get_text(id, text, FIELD_TEXT);
    return std::string(trim_right(text));
}

// What the user left in the dialog: shown again when it comes back, so that
// only the entry at fault needs correcting.
struct Typed {
    int mode = 0;   // the checked radio button, 0 for none
    std::string texts[std::size(EDIT_IDS)];
};

Typed typed_in(const Dialog& dlg) {
    Typed t;
    for (int id : {IDC_INITIALISE, IDC_LASTDATA, IDC_FILEDATA}) {
        bool on = false;
        if (dlg.get_logical(id, Attr::state, on) && on) t.mode = id;
    }
    for (std::size_t n = 0; n < std::size(EDIT_IDS); ++n) t.texts[n] = field_text(dlg, EDIT_IDS[n]);
    return t;
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

// The entry as the message quotes it.
std::string quoted(std::string_view text) {
    std::string_view t = trim_right(text);
    while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
    if (t.empty()) return "an empty entry";
    if (t.size() > 20) return "\"" + std::string(t.substr(0, 20)) + "...\"";
    return "\"" + std::string(t) + "\"";
}

void fill(Dialog& dlg, const Typed* again, const std::string& message) {
    if (again) {
        if (again->mode) dlg.set_logical(again->mode, Attr::state, true);
        for (std::size_t n = 0; n < std::size(EDIT_IDS); ++n) dlg.set_text(EDIT_IDS[n], again->texts[n]);
    } else {
        // "from last data" only when there are fields to continue from.
        const bool last_data = !runflags.NEWFIELDS && runflags.FIELDSOK;
        dlg.set_logical(last_data ? IDC_LASTDATA : IDC_INITIALISE, Attr::state, true);
        if (pbtable.NITER != NOT_SET) {
            dlg.set_text(IDC_ITERATIONS, fmt_i(pbtable.NITER, 10));
            dlg.set_text(IDC_SAVE, fmt_i(pbtable.NSAVE, 10));
        }
        dlg.set_text(IDC_FLOW, fmt_f(runctl.RLXU, 4, 2));
        dlg.set_text(IDC_ENERGY, fmt_f(runctl.RLXT, 4, 2));
        dlg.set_text(IDC_PRESSURE, fmt_f(runctl.RLXP, 4, 2));
        dlg.set_text(IDC_CONC, fmt_f(runctl.RLXC, 4, 2));
    }
    dlg.set_text(IDC_MESSAGE, message);
}

// Reads the entries in order, storing each valid one at once. Unreadable:
// stops there. Otherwise tells whether any entry was invalid. `why` says
// what was wrong with the first entry that could not be used.
Entry read_back(const Dialog& dlg, std::string& why) {
    bool invalid = false;
    auto fault = [&why, &invalid](const std::string& text) {
        if (why.empty()) why = text;
        invalid = true;
    };

    bool on = false;
    if (dlg.get_logical(IDC_INITIALISE, Attr::state, on) && on) {
        runctl.RESTART = 0;
    } else if (dlg.get_logical(IDC_LASTDATA, Attr::state, on) && on) {
        // Continuing needs the fields of a run or of saved data since the
        // case was read: the fields of a case just read are all zero.
        if (runflags.FIELDSOK)
            runctl.RESTART = 2;
        else
            fault(NO_FIELDS_MESSAGE);
    } else if (dlg.get_logical(IDC_FILEDATA, Attr::state, on) && on) {
        runctl.RESTART = 1;
    } else {
        fault("Choose a start mode.");
    }

    auto unreadable = [&why](const char* entry, const std::string& text, const char* kind) {
        if (why.empty()) why = std::string(entry) + ": " + quoted(text) + " is not " + kind + ".";
        return Entry::unreadable;
    };

    int32_t count = 0;
    const std::string iterations = field_text(dlg, IDC_ITERATIONS);
    if (!read_count(iterations, count)) return unreadable("Number of iterations", iterations, "a whole number");
    if (count >= 0) pbtable.NITER = count;
    else fault("Number of iterations: " + std::to_string(count) + " is below 0.");

    const std::string save = field_text(dlg, IDC_SAVE);
    if (!read_count(save, count)) return unreadable("Save interval", save, "a whole number");
    if (count > 0) pbtable.NSAVE = count < pbtable.NITER ? count : pbtable.NITER;
    else if (count == 0) pbtable.NSAVE = pbtable.NITER;
    else fault("Save interval: " + std::to_string(count) + " is below 0.");

    struct Factor {
        int id;
        double top;
        const char* name;
        const char* range;
    };
    const Factor factors[] = {{IDC_FLOW, 1.0, "Flow factor", "above 0 and at most 1"},
                              {IDC_ENERGY, 1.0, "Energy factor", "above 0 and at most 1"},
                              {IDC_PRESSURE, 1.9, "Pressure factor", "above 0 and at most 1.9"},
                              {IDC_CONC, 1.0, "Concentration factor", "above 0 and at most 1"}};
    for (const Factor& f : factors) {
        double v = 0.0;
        const std::string text = field_text(dlg, f.id);
        const Entry e = read_factor(text, f.top, v);
        if (e == Entry::unreadable) return unreadable(f.name, text, "a number");
        if (e == Entry::invalid) {
            fault(std::string(f.name) + ": " + quoted(text) + " is not " + f.range + ".");
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

const char* const NO_FIELDS_MESSAGE =
    "\"from last data\": no fields of this case in memory yet (no run and no saved data since it was "
    "read). Choose \"Initialise\" or \"from file data\".";

int RUNDATAPROC() { return RUNDATAPROC(""); }

int RUNDATAPROC(const std::string& first_message) {
    std::string message = first_message;
    Typed again;
    bool coming_back = false;
    for (;;) {
        Dialog dlg;
        if (!dlg.init(IDD_RUNDATA)) return -2;
        fill(dlg, coming_back ? &again : nullptr, message);
        if (dlg.run_modal() != 1) {
            dlg.release();
            return -1;
        }
        message.clear();
        const Entry result = read_back(dlg, message);
        again = typed_in(dlg);
        dlg.release();
        if (result == Entry::valid) return 1;
        coming_back = true;
    }
}

}  // namespace tarvex
