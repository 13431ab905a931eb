#include "frontend/dlg_viewregion.h"

#include <string>
#include <string_view>

#include "common/textfmt.h"
#include "engine/data.h"
#include "frontend/calc/plotwindow.h"
#include "frontend/calc/regionsums.h"
#include "frontend/fieldaccess.h"
#include "frontend/runstate.h"
#include "frontend/viewdlg.h"

namespace tarvex {

namespace {

using platform::Attr;
using platform::CallbackKind;
using platform::Dialog;

constexpr int IDD_VIEWREGION = 104;
constexpr int IDD_MEANS = 110;
constexpr int IDD_FLOWS = 111;
constexpr int IDD_ENERGY = 112;

constexpr int IDC_TABS = 1074;
constexpr int IDC_VOLUME = 1012;

// The index fields (From I, J, K, To I, J, K) and their spin buttons.
constexpr int IDC_INDEX[6] = {1025, 1026, 1027, 1041, 1042, 1043};
constexpr int IDC_SPIN[6] = {1037, 1038, 1039, 1007, 1009, 1011};

// Width of every value written into a field.
constexpr int FIELD_WIDTH = 12;
// Room for whatever an index field holds: an entry is read whole.
constexpr int FIELD_TEXT = 256;

// A value that is not there (a mean without weight, the extremes of a box
// with no open cell, the flows of a plane the box does not have).
const std::string& no_value() {
    static const std::string text = fmt_a("...", FIELD_WIDTH);
    return text;
}

std::string f3(double v) { return fmt_f(v, FIELD_WIDTH, 3); }
std::string e5(double v) { return fmt_e(v, FIELD_WIDTH, 5); }

// The Means page: the fields of each quantity's mean, minimum and maximum,
// and whether it is written in E12.5 (the concentrations) or F12.3.
struct MeansRow {
    RegionQuantity q;
    int mean, min, max;
    bool exponent;
};
constexpr MeansRow MEANS_ROWS[] = {
    {RQ_U, 1013, 1016, 1020, false},     {RQ_V, 1015, 1022, 1023, false},
    {RQ_W, 1014, 1024, 1021, false},     {RQ_SPEED, 1028, 1029, 1030, false},
    {RQ_T, 1019, 1031, 1032, false},     {RQ_P, 1017, 1033, 1034, false},
    {RQ_C, 1018, 1035, 1036, true},      {RQ_C2, 1040, 1044, 1045, true},
    {RQ_RH, 1046, 1047, 1048, false},
};

// A plane row of the Flows page: its label, two value fields and their
// two column labels.
struct PlaneRow {
    int label, positive, negative, positive_label, negative_label;
};
constexpr PlaneRow PLANE_K = {1097, 1098, 1099, 1089, 1093};   // "IJ mass flow"
constexpr PlaneRow PLANE_I = {1100, 1101, 1102, 1106, 1107};   // "JK mass flow"
constexpr PlaneRow PLANE_J = {1103, 1104, 1105, 1108, 1109};   // "IK mass flow"

void show_in_out(Dialog& page, int in_id, int out_id, const InOut& io) {
    page.set_text(in_id, f3(io.in));
    page.set_text(out_id, f3(io.out));
}

void show_plane(Dialog& page, const PlaneRow& row, const PlaneFlow& flow) {
    page.set_text(row.positive, flow.marked ? f3(flow.positive) : no_value());
    page.set_text(row.negative, flow.marked ? f3(flow.negative) : no_value());
    for (int id : {row.label, row.positive, row.negative, row.positive_label, row.negative_label})
        page.set_logical(id, Attr::enabled, flow.marked);
}

void show_sums(Dialog& dialog, const RegionSums& r) {
    dialog.set_text(IDC_VOLUME, e5(r.volume));

    Dialog& means = viewdlg.DLGMEANS;
    for (const MeansRow& row : MEANS_ROWS) {
        const RegionStat& s = r.stat[row.q];
        auto text = [&](bool has, double stored) {
            if (!has) return no_value();
            const double v = region_display_value(row.q, stored);
            return row.exponent ? e5(v) : f3(v);
        };
        means.set_text(row.mean, text(s.has_mean, s.mean));
        means.set_text(row.min, text(s.has_extremes, s.min));
        means.set_text(row.max, text(s.has_extremes, s.max));
    }

    Dialog& flows = viewdlg.DLGFLOWS;
    show_in_out(flows, 1091, 1092, r.total_mass);
    show_in_out(flows, 1095, 1096, r.pb_mass);
    show_plane(flows, PLANE_K, r.plane_k);
    show_plane(flows, PLANE_I, r.plane_i);
    show_plane(flows, PLANE_J, r.plane_j);

    Dialog& energy = viewdlg.DLGENERGY;
    show_in_out(energy, 1116, 1117, r.source_heat);
    show_in_out(energy, 1118, 1119, r.pb_heat);
    show_in_out(energy, 1121, 1122, r.fabric_heat);
    show_in_out(energy, 1124, 1125, r.side_heat);
}

// The first whole number of an index field; false when the field is empty
// or does not start with one.
bool read_index(const Dialog& dialog, int id, int& value) {
    std::string text;
    if (!dialog.get_text(id, text, FIELD_TEXT)) return false;
    FreeFormReader reader(text);
    return reader.read(value) == ReadStatus::ok;
}

void release_all(Dialog& dialog) {
    dialog.release();
    viewdlg.DLGMEANS.release();
    viewdlg.DLGFLOWS.release();
    viewdlg.DLGENERGY.release();
}

}  // namespace

void VIEWREGIONPROC(bool) {
    // The viewer reads the fields: a loaded case, and no run writing them.
    if (!runstate.GEOMOK.load() || runstate.IRUNNING.load() != 0) return;
    Dialog dialog;
    if (!dialog.init(IDD_VIEWREGION)) return;

    dialog.set_callback(IDD_VIEWREGION, SHOWVIEWDLG, CallbackKind::shown);
    dialog.set_int(IDC_TABS, Attr::page_count, 3);
    dialog.set_text(IDC_TABS, Attr::page_title, "Means", 1);
    dialog.set_text(IDC_TABS, Attr::page_title, "Flows", 2);
    dialog.set_text(IDC_TABS, Attr::page_title, "Energy", 3);
    if (!viewdlg.DLGMEANS.init(IDD_MEANS) || !viewdlg.DLGFLOWS.init(IDD_FLOWS) ||
        !viewdlg.DLGENERGY.init(IDD_ENERGY)) {
        release_all(dialog);
        return;
    }

    const int n[3] = {griddim.NX, griddim.NY, griddim.NZ};
    for (int d = 0; d < 3; ++d) {
        dialog.set_text(IDC_INDEX[d], "1");
        // The bare number: the fields are narrow, and a right-aligned text
        // would show its leading blanks and hide the digits.
        dialog.set_text(IDC_INDEX[d + 3], index_field_text(n[d]));
        for (int s : {IDC_SPIN[d], IDC_SPIN[d + 3]}) {
            dialog.set_int(s, Attr::range_min, 1);
            dialog.set_int(s, Attr::range_max, n[d]);
        }
        dialog.set_int(IDC_SPIN[d], Attr::position, 1);
        dialog.set_int(IDC_SPIN[d + 3], Attr::position, n[d]);
    }
    for (int id : IDC_INDEX) dialog.set_callback(id, VIEWREGION_CALLBACK);

    int i1 = 1, j1 = 1, k1 = 1, i2 = griddim.NX, j2 = griddim.NY, k2 = griddim.NZ;
    UPDATE_VIEWREGION(dialog, i1, j1, k1, i2, j2, k2);

    dialog.run_modal();
    forget_field_reads(&dialog);
    release_all(dialog);
}

void SHOWVIEWDLG(Dialog& dialog, int, CallbackKind kind) {
    if (kind != CallbackKind::shown) return;
    viewdlg.DLGMEANS.show_as_page(dialog, IDC_TABS, 1);
    viewdlg.DLGFLOWS.show_as_page(dialog, IDC_TABS, 2);
    viewdlg.DLGENERGY.show_as_page(dialog, IDC_TABS, 3);
    dialog.set_int(IDC_TABS, Attr::state, 1);
}

void VIEWREGION_CALLBACK(Dialog& dialog, int, CallbackKind) {
    int v[6];
    for (int n = 0; n < 6; ++n)
        if (!read_index(dialog, IDC_INDEX[n], v[n])) return;
    RegionBox box{v[0], v[1], v[2], v[3], v[4], v[5]};
    if (!order_region_box(box)) return;
    UPDATE_VIEWREGION(dialog, box.i1, box.j1, box.k1, box.i2, box.j2, box.k2);
}

void UPDATE_VIEWREGION(Dialog& dialog, int& i1, int& j1, int& k1, int& i2, int& j2, int& k2) {
    // Read as engine/data.h allows: while a run (one started since the viewer
    // opened) holds the fields, the box is shown at the run's next pause.
    Dialog* d = &dialog;
    const RegionBox box{i1, j1, k1, i2, j2, k2};
    read_fields_soon(d, [d, box] { show_sums(*d, region_sums(box)); });
}

}  // namespace tarvex
