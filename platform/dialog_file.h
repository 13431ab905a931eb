// File dialogs: the user chooses a file to open or a name to save under.
//
// run_file_dialog() shows the chooser (the system's file dialog, or one set
// with set_file_chooser(), which is how tests answer it), then applies the
// rules every caller relies on:
// - a name without an extension gets the default extension unless a file of
//   that name exists (so INPUT, CONTROL, OUTPUT stay as they are);
// - the folder must exist;
// - the full path must fit the caller's length: a longer one is refused with
//   a message rather than cut.
// A refused choice is explained and the chooser comes back. The process's
// current directory is never changed, whatever folders the user visits.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarvex::platform {

enum class FileDialogMode { open, save };

struct FileFilter {
    std::string description;   // "All Files"
    std::string pattern;       // "*.*": every file, with or without an extension
};

struct FileRequest {
    FileDialogMode mode = FileDialogMode::open;
    std::vector<FileFilter> filters;
    int filter_index = 1;              // the filter selected at first, from 1
    std::string default_extension;     // without the point; empty for none
    std::string initial_name;          // proposed name or path; empty for none
    std::string title;                 // empty: the dialog's own
    int max_length = 255;              // longest path the caller can keep
};

// The part that talks to the user.
class FileChooser {
public:
    virtual ~FileChooser() = default;
    // Shows the chooser with `name` proposed; false when the user cancels.
    // On true, name holds what the user chose or typed (relative names are
    // taken from the current directory).
    virtual bool choose(const FileRequest& request, std::string& name) = 0;
    // Tells the user why the choice cannot be used.
    virtual void refuse(const FileRequest& request, const std::string& message) = 0;
};

// Replaces the system's chooser (nullptr: back to it). The chooser must
// outlive its use.
void set_file_chooser(FileChooser* chooser);

// True with the chosen full path; false when cancelled. Counts as a modal
// dialog while it is open (modal_dialog_open()). Runs on the GUI thread.
bool run_file_dialog(const FileRequest& request, std::string& path);

// The filter as the dialog lists it: "All Files (*)", "Data Files (*.txt)".
std::string filter_text(const FileFilter& filter);

// The messages of a refused choice.
std::string missing_folder_message(std::string_view path);
std::string too_long_message(std::string_view path, int max_length);

}  // namespace tarvex::platform
