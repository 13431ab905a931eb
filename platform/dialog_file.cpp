#include "platform/dialog_file.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "platform/dialog.h"
#include "platform/dialog_qt.h"
#include "platform/gui_thread.h"

namespace tarvex::platform {

namespace {

QString qs(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// The system's chooser: Qt's file dialog.
class SystemChooser : public FileChooser {
public:
    bool choose(const FileRequest& request, std::string& name) override {
        QFileDialog dialog(dialog_owner_window(), qs(request.title));
        dialog.setAcceptMode(request.mode == FileDialogMode::open ? QFileDialog::AcceptOpen
                                                                  : QFileDialog::AcceptSave);
        // A file that does not exist yet may be named in both modes; the
        // folder is checked afterwards.
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
        QStringList filters;
        for (const FileFilter& f : request.filters) filters << qs(filter_text(f));
        dialog.setNameFilters(filters);
        if (request.filter_index >= 1 && request.filter_index <= filters.size())
            dialog.selectNameFilter(filters[request.filter_index - 1]);
        dialog.setDirectory(QDir::current());
        if (!name.empty()) dialog.selectFile(qs(name));
        if (dialog.exec() != QDialog::Accepted) return false;
        const QStringList chosen = dialog.selectedFiles();
        if (chosen.isEmpty()) return false;
        name = chosen.first().toStdString();
        return true;
    }

    void refuse(const FileRequest& request, const std::string& message) override {
        ModalScope modal;
        QMessageBox::warning(dialog_owner_window(), request.title.empty() ? QStringLiteral("File") : qs(request.title),
                             qs(message));
    }
};

SystemChooser g_system_chooser;
FileChooser* g_chooser = nullptr;

bool run_on_gui(const FileRequest& request, std::string& path) {
    FileChooser& chooser = g_chooser ? *g_chooser : g_system_chooser;
    ModalScope modal;
    std::string name = request.initial_name;
    for (;;) {
        if (!chooser.choose(request, name)) return false;
        if (name.empty()) return false;
        QFileInfo info(QDir::cleanPath(QFileInfo(qs(name)).absoluteFilePath()));
        QString full = info.filePath();
        if (!request.default_extension.empty() && info.suffix().isEmpty() && !info.exists() &&
            !info.fileName().endsWith(QLatin1Char('.'))) {
            full += QLatin1Char('.') + qs(request.default_extension);
            info = QFileInfo(full);
        }
        const std::string chosen = full.toStdString();
        std::string refusal;
        if (!info.dir().exists()) refusal = missing_folder_message(chosen);
        else if (info.isDir()) refusal = chosen + "\nis a folder, not a file.";
        else if (static_cast<long long>(chosen.size()) > request.max_length)
            refusal = too_long_message(chosen, request.max_length);
        if (refusal.empty()) {
            path = chosen;
            return true;
        }
        chooser.refuse(request, refusal);
        name = chosen;
    }
}

}  // namespace

void set_file_chooser(FileChooser* chooser) {
    on_gui([&] { g_chooser = chooser; });
}

bool run_file_dialog(const FileRequest& request, std::string& path) {
    std::string chosen;
    const bool ok = on_gui([&] { return run_on_gui(request, chosen); });
    if (ok) path = chosen;
    return ok;
}

std::string filter_text(const FileFilter& filter) {
    // "*.*" means every file here, also those without an extension.
    std::string pattern = filter.pattern == "*.*" ? "*" : filter.pattern;
    return filter.description + " (" + pattern + ")";
}

std::string missing_folder_message(std::string_view path) {
    return std::string(path) + "\nThe folder does not exist.";
}

std::string too_long_message(std::string_view path, int max_length) {
    return std::string(path) + "\nThis path is longer than " + std::to_string(max_length) +
           " characters. Please choose a shorter one.";
}

}  // namespace tarvex::platform
