#include "frontend/dlg_viewdata.h"

#include <string>

#include "common/textfmt.h"
#include "engine/data.h"
#include "frontend/calc/celldata.h"
#include "frontend/fieldaccess.h"
#include "frontend/runstate.h"

namespace tarvex {

namespace {

using platform::Attr;
using platform::Dialog;

constexpr int IDD_VIEWDATA = 101;
constexpr int IDC_I = 1000, IDC_J = 1001, IDC_K = 1002;
constexpr int IDC_SPIN_I = 1003, IDC_SPIN_J = 1004, IDC_SPIN_K = 1005;
constexpr int FIELD_TEXT = 256;

// The first number of an index field, read free form; false when the field
// holds none (empty, blank) or cannot be read as an integer.
bool read_index(const Dialog& dlg, int id, int& value) {
    std::string text;
    if (!dlg.get_text(id, text, FIELD_TEXT)) return false;
    FreeFormReader reader(text);
    int v = 0;
    if (reader.read(v) != ReadStatus::ok) return false;
    value = v;
    return true;
}

}  // namespace

void VIEWDATAPROC(bool) {
    // A loaded case, and no run writing the fields (the View menu is grayed
    // meanwhile as well).
    if (!runstate.GEOMOK || runstate.IRUNNING.load() != 0) return;
    // The viewer's dialog record, from the opening to the release.
    Dialog DLGDATA;
    if (!DLGDATA.init(IDD_VIEWDATA)) return;
    for (int id : {IDC_I, IDC_J, IDC_K}) DLGDATA.set_text(id, "1");
    const struct {
        int spin;
        int32_t top;
    } spins[] = {{IDC_SPIN_I, griddim.NX}, {IDC_SPIN_J, griddim.NY}, {IDC_SPIN_K, griddim.NZ}};
    for (const auto& s : spins) {
        DLGDATA.set_int(s.spin, Attr::range_min, 1);
        DLGDATA.set_int(s.spin, Attr::range_max, s.top);
    }
    for (int id : {IDC_I, IDC_J, IDC_K}) DLGDATA.set_callback(id, VIEWDATA_CALLBACK);
    UPDATE_VIEWDATA(DLGDATA, 1, 1, 1);
    DLGDATA.run_modal();
    forget_field_reads(&DLGDATA);
    DLGDATA.release();
}

void VIEWDATA_CALLBACK(Dialog& dialog, int, platform::CallbackKind) {
    int i = 0, j = 0, k = 0;
    if (!read_index(dialog, IDC_I, i)) return;
    if (!read_index(dialog, IDC_J, j)) return;
    if (!read_index(dialog, IDC_K, k)) return;
    if (!cell_in_grid(i, j, k)) return;
    UPDATE_VIEWDATA(dialog, i, j, k);
}

void UPDATE_VIEWDATA(Dialog& dialog, int i, int j, int k) {
    if (!cell_in_grid(i, j, k)) return;
    // Read as engine/data.h allows: while a run (one started since the viewer
    // opened) holds the fields, the cell is shown at the run's next pause.
    Dialog* d = &dialog;
    read_fields_soon(d, [d, i, j, k] {
        for (const CellText& t : cell_texts(i, j, k)) d->set_text(t.control, t.text);
    });
}

}  // namespace tarvex
