#include "platform/window_resize.h"

#include <QEvent>
#include <QObject>
#include <QTimer>
#include <QWidget>

#include <utility>

#include "platform/gui_thread.h"
#include "platform/internal.h"

namespace tarvex::platform {

namespace {

constexpr const char* NOTICE_NAME = "tarvex_resize_notice";

// Watches one window's view; a child of the view, so it goes with the window.
class ResizeNotice : public QObject {
public:
    explicit ResizeNotice(QWidget* view) : QObject(view) {
        setObjectName(QString::fromLatin1(NOTICE_NAME));
        view->installEventFilter(this);
    }
    std::function<void()> notice;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize && watched == parent() && !queued_) {
            // Told once the view has laid out its drawing area at the new
            // size, after the changes that come with this one.
            queued_ = true;
            QTimer::singleShot(0, this, [this] {
                queued_ = false;
                if (std::function<void()> fn = notice) fn();
            });
        }
        return false;
    }

private:
    bool queued_ = false;
};

}  // namespace

void set_resize_notice(int channel, std::function<void()> notice) {
    dispatch([channel, notice = std::move(notice)]() mutable {
        QWidget* view = internal::channel_view(channel);
        if (!view) return;
        auto* watcher = dynamic_cast<ResizeNotice*>(
            view->findChild<QObject*>(QString::fromLatin1(NOTICE_NAME), Qt::FindDirectChildrenOnly));
        if (!notice) {
            delete watcher;
            return;
        }
        if (!watcher) watcher = new ResizeNotice(view);
        watcher->notice = std::move(notice);
    });
}

}  // namespace tarvex::platform
