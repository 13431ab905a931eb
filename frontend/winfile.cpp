#include "frontend/winfile.h"

#include <filesystem>
#include <mutex>
#include <string>
#include <system_error>

#include "platform/app.h"
#include "platform/dialog_file.h"

namespace tarvex {

namespace {

using platform::FileDialogMode;
using platform::FileRequest;

std::mutex g_names_mutex;
std::string g_open_name;   // last chosen in the open dialog
std::string g_save_name;   // last chosen in the save dialog

FileRequest request(FileDialogMode mode, platform::FileFilter first, platform::FileFilter second,
                    const char* extension, std::string initial) {
    FileRequest r;
    r.mode = mode;
    r.filters = {std::move(first), std::move(second)};
    r.filter_index = 1;
    r.default_extension = extension;
    r.initial_name = std::move(initial);
    r.max_length = PaddedName::LENGTH;
    return r;
}

int run(const FileRequest& r, PaddedName& name, std::string* remember) {
    std::string path;
    if (!platform::run_file_dialog(r, path)) return -1;
    // The dialog refuses paths longer than a name can hold, so this holds.
    if (!name.assign(path)) return -1;
    if (remember) {
        std::lock_guard lock(g_names_mutex);
        *remember = path;
    }
    return 0;
}

// Asks before a picture replaces a file; true for Yes.
bool confirm_replace(const std::string& path) {
    platform::MessageBox box;
    box.text = path + " already exists.\rDo you want to replace it?";
    box.caption = "Save Image";
    box.buttons = platform::Buttons::YesNo;
    box.icon = platform::Icon::Question;
    box.default_button = 2;
    return platform::message_box(box) == platform::Answer::Yes;
}

std::string remembered(const std::string& name) {
    std::lock_guard lock(g_names_mutex);
    return name;
}

}  // namespace

int FILEOPENDLG(PaddedName& name) {
    return run(request(FileDialogMode::open, {"All Files", "*.*"}, {"Data Files", "*.txt"}, "dat",
                       remembered(g_open_name)),
               name, &g_open_name);
}

int FILESAVEDLG(PaddedName& name) {
    return run(request(FileDialogMode::save, {"All Files", "*.*"}, {"Data Files", "*.dat"}, "dat",
                       remembered(g_save_name)),
               name, &g_save_name);
}

int PICOPENDLG(PaddedName& name) {
    FileRequest r = request(FileDialogMode::save, {"Bitmap Files", "*.bmp"}, {"All Files", "*.*"}, "bmp",
                            name.trimmed());
    for (;;) {
        std::string path;
        if (!platform::run_file_dialog(r, path)) return -1;
        std::error_code ec;
        if (!std::filesystem::exists(path, ec) || confirm_replace(path)) return name.assign(path) ? 0 : -1;
        // Not replaced: the dialog comes back with the name chosen.
        r.initial_name = path;
    }
}

void reset_file_dialog_names() {
    std::lock_guard lock(g_names_mutex);
    g_open_name.clear();
    g_save_name.clear();
}

}  // namespace tarvex
