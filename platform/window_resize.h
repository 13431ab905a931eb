// A notice when a child window's drawing area changes size.
#pragma once

#include <functional>

namespace tarvex::platform {

// Calls notice on the GUI thread after the drawing area of the channel's
// window has changed size (the window resized, maximised or restored, or the
// frame resized with it), once the window has settled: a burst of changes is
// reported once. The notice belongs to the window open on the channel now:
// closing the channel ends it, and a later window on the channel has none
// until it is given one. A second call replaces the notice; an empty one
// removes it. Nothing when no window is open on the channel. Any thread.
void set_resize_notice(int channel, std::function<void()> notice);

}  // namespace tarvex::platform
