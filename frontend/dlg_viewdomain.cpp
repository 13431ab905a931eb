#include "frontend/dlg_viewdomain.h"

#include <limits>
#include <string>

#include "common/channels.h"
#include "frontend/calc/plotwindow.h"
#include "frontend/calc/viewstate.h"
#include "frontend/dlg_plotoptions.h"
#include "frontend/viewdlg.h"
#include "frontend/winfile.h"
#include "platform/app.h"
#include "platform/window.h"

namespace tarvex {

int32_t NPIC = 0;
PaddedName PICNAME;

namespace {

using platform::Dialog;

// The "Plot :" radios: code of IPLOT, radio, legend title (nullptr keeps
// it; the vectors take the title of their colouring), and what each enables:
// index field, colour-by group, Find, "show BC".
const std::vector<PlotChoice>& domain_choices() {
    static const std::vector<PlotChoice> choices = {
        {0, 1015, nullptr, false, false, false, false},
        {1, 1012, nullptr, true, false, false, true},
        {2, 1013, "Temperature C", true, false, true, false},
        {3, 1014, "Concentration g/Kg", true, false, true, false},
        {4, 1019, "Speed m/s", true, false, true, false},
        {5, 1020, "Speed m/s", true, false, true, false},
        {6, 1022, "Speed m/s", true, false, true, false},
        {7, 1018, "Pressure Pa", true, false, true, false},
        {8, 1021, "Speed m/s", true, false, true, false},
        {9, 1023, nullptr, true, true, true, false},
        {10, 1016, "Concentration2 g/Kg", true, false, true, false},
        {11, 1017, "Concentration2 %RH", true, false, true, false},
    };
    return choices;
}

}  // namespace

const PlotViewer& domain_viewer() {
    static const PlotViewer viewer = {
        PlotMember::domain,
        IDD_VIEWDOMAIN,
        &viewdlg.VIEWDOMOPEN,
        &viewdlg.VIEWDOMBUSY,
        domain_choices(),
        true,
        true,
        VIEWDOMAIN_CALLBACK,
        SNAPPIC_CALLBACK,
        [] { VIEWOPTIONSPROC(); },
    };
    return viewer;
}

void VIEWDOMAINPROC(bool) { open_plot_viewer(domain_viewer()); }

void VIEWDOMAIN_CALLBACK(Dialog& dialog, int control_id, platform::CallbackKind kind) {
    if (kind != platform::CallbackKind::changed) return;
    handle_plot_control(domain_viewer(), dialog, control_id);
}

void SNAPPIC_CALLBACK(Dialog&, int, platform::CallbackKind) {
    if (NPIC < std::numeric_limits<int32_t>::max()) ++NPIC;
    PICNAME.assign(picture_name(NPIC));
    if (PICOPENDLG(PICNAME) != 0) return;
    // The plot window itself, whichever window a run has made active since.
    const std::string file = PICNAME.trimmed();
    if (platform::Window(CH_VIEW).save_image(file, 0, 0, viewctl.NXPIX, viewctl.NYPIX) == 0) return;
    platform::MessageBox box;
    box.text = "The picture could not be written to\r" + file;
    box.caption = "Save Image";
    box.icon = platform::Icon::Error;
    platform::message_box(box);
}

void UPDATEVIEWDOMAIN() { refresh_plot_viewer(domain_viewer()); }

void KILL_VIEWDOMAIN() {
    platform::close_window(CH_VIEW);
    platform::Window(CH_CONSOLE).focus();
}

void MAKE_VIEWDOMAIN() { make_plot_window(PlotMember::domain); }
void QUERY_VIEWDOMAIN() { query_plot_window(); }
void UPDATE_VIEWDOMAIN(Dialog& dialog) { update_plot_window(PlotMember::domain, dialog); }

}  // namespace tarvex
