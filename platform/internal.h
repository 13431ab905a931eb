// Inside the platform layer only: what the dialog module and the window code
// share with the frame. Front-end code never includes this header.
#pragma once

class QWidget;
class QMdiArea;

namespace tarvex::platform::internal {

// The frame's top-level widget, the owner of dialogs and message boxes;
// nullptr when there is no frame. GUI thread only.
QWidget* frame_widget();
QMdiArea* frame_mdi_area();

// The dialog module reports whether one of its modal dialogs is open (beyond
// what Qt itself knows as modal), for the function-key filter.
void set_modal_dialog_query(bool (*query)());

// Child windows, for the frame: removes every child window (destroy_frame).
void close_all_windows();

// The widget that shows a channel's window (its drawing area is the widget's
// viewport), or nullptr when none is open. GUI thread only.
QWidget* channel_view(int channel);

}  // namespace tarvex::platform::internal
