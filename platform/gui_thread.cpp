#include "platform/gui_thread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <atomic>

namespace tarvex::platform {

namespace {

// Lives on the GUI thread; queued invocations on it run in posting order.
QObject* g_gui_object = nullptr;
std::atomic<QThread*> g_gui_thread{nullptr};

}  // namespace

void init_gui_thread() {
    g_gui_thread.store(QThread::currentThread());
    if (!g_gui_object) g_gui_object = new QObject(QCoreApplication::instance());
}

bool is_gui_thread() { return QThread::currentThread() == g_gui_thread.load(); }

void post(std::function<void()> fn) {
    QMetaObject::invokeMethod(g_gui_object, std::move(fn), Qt::QueuedConnection);
}

void call_blocking(const std::function<void()>& fn) {
    if (is_gui_thread()) {
        fn();
        return;
    }
    QMetaObject::invokeMethod(g_gui_object, [&fn] { fn(); }, Qt::BlockingQueuedConnection);
}

}  // namespace tarvex::platform
