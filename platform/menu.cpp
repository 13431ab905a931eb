// The menu bar of the frame, addressed by menu and item numbers.
#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

#include <vector>

#include "platform/gui_thread.h"
#include "platform/internal.h"
#include "platform/menu.h"

namespace tarvex::platform {

namespace {

QMenuBar* bar() {
    auto* frame = qobject_cast<QMainWindow*>(internal::frame_widget());
    return frame ? frame->menuBar() : nullptr;
}

// The menus of the bar, in order (a maximised child window may add widgets
// to the bar; only menus count).
std::vector<QAction*> menu_actions() {
    std::vector<QAction*> out;
    if (QMenuBar* b = bar())
        for (QAction* a : b->actions())
            if (a->menu()) out.push_back(a);
    return out;
}

QMenu* menu_at(int menu) {
    auto menus = menu_actions();
    if (menu < 1 || menu > static_cast<int>(menus.size())) return nullptr;
    return menus[menu - 1]->menu();
}

QAction* item_at(int menu, int item) {
    QMenu* m = menu_at(menu);
    if (!m) return nullptr;
    if (item == 0) return m->menuAction();
    const auto actions = m->actions();
    if (item < 1 || item > actions.size()) return nullptr;
    return actions[item - 1];
}

void apply_flags(QAction* a, unsigned flags) {
    a->setEnabled((flags & (MENU_GRAYED | MENU_DISABLED)) == 0);
    const bool checked = (flags & MENU_CHECKED) != 0;
    if (checked) a->setCheckable(true);
    if (a->isCheckable()) a->setChecked(checked);
}

QString qt_text(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// A new item: a separator, or an action whose routine gets the check mark
// the item had when it was chosen (Qt's own toggling is undone).
QAction* make_item(QMenu* parent, unsigned flags, std::string_view text, MenuRoutine routine) {
    auto* a = new QAction(qt_text(text), parent);
    if (flags & MENU_SEPARATOR) {
        a->setSeparator(true);
        return a;
    }
    apply_flags(a, flags);
    QObject::connect(a, &QAction::triggered, a, [a, routine](bool now_checked) {
        bool checked = now_checked;
        if (a->isCheckable()) {
            checked = !now_checked;
            a->setChecked(checked);
        }
        if (routine) routine(checked);
    });
    return a;
}

template <typename F>
auto on_gui(F fn) {
    using R = decltype(fn());
    return call_blocking_result<R>(std::function<R()>(std::move(fn)));
}

}  // namespace

bool append_menu_item(int menu, unsigned flags, std::string_view text, MenuRoutine routine) {
    std::string copy(text);
    return on_gui([&] {
        QMenu* m = menu_at(menu);
        if (!m) return false;
        m->addAction(make_item(m, flags, copy, routine));
        return true;
    });
}

bool insert_menu_item(int menu, int item, unsigned flags, std::string_view text, MenuRoutine routine) {
    std::string copy(text);
    return on_gui([&] {
        QMenuBar* b = bar();
        if (!b) return false;
        if (item == 0) {
            auto menus = menu_actions();
            if (menu < 1 || menu > static_cast<int>(menus.size()) + 1) return false;
            auto* m = new QMenu(qt_text(copy), b);
            if (menu <= static_cast<int>(menus.size()))
                b->insertMenu(menus[menu - 1], m);
            else
                b->addMenu(m);
            m->menuAction()->setEnabled((flags & (MENU_GRAYED | MENU_DISABLED)) == 0);
            return true;
        }
        QMenu* m = menu_at(menu);
        if (!m) return false;
        const auto actions = m->actions();
        if (item < 1 || item > actions.size() + 1) return false;
        QAction* a = make_item(m, flags, copy, routine);
        if (item <= actions.size())
            m->insertAction(actions[item - 1], a);
        else
            m->addAction(a);
        return true;
    });
}

bool delete_menu_item(int menu, int item) {
    return on_gui([&] {
        QMenu* m = menu_at(menu);
        if (!m) return false;
        if (item == 0) {
            bar()->removeAction(m->menuAction());
            m->deleteLater();
            return true;
        }
        QAction* a = item_at(menu, item);
        if (!a) return false;
        m->removeAction(a);
        a->deleteLater();
        return true;
    });
}

bool modify_menu_flags(int menu, int item, unsigned flags) {
    return on_gui([&] {
        QAction* a = item_at(menu, item);
        if (!a) return false;
        if (item == 0) {
            a->setEnabled((flags & (MENU_GRAYED | MENU_DISABLED)) == 0);
            return true;
        }
        if (flags & MENU_SEPARATOR) {
            a->setSeparator(true);
            return true;
        }
        apply_flags(a, flags);
        return true;
    });
}

int menu_count() {
    return on_gui([] { return static_cast<int>(menu_actions().size()); });
}

int menu_item_count(int menu) {
    return on_gui([&] {
        QMenu* m = menu_at(menu);
        return m ? static_cast<int>(m->actions().size()) : -1;
    });
}

bool menu_item_info(int menu, int item, MenuItemInfo& info) {
    return on_gui([&] {
        QAction* a = item_at(menu, item);
        if (!a) return false;
        info.text = (item == 0 ? a->menu()->title() : a->text()).toStdString();
        info.enabled = a->isEnabled();
        info.checked = a->isChecked();
        info.separator = a->isSeparator();
        return true;
    });
}

bool trigger_menu_item(int menu, int item) {
    return on_gui([&] {
        QMenu* m = menu_at(menu);
        QAction* a = item_at(menu, item);
        if (!m || !a || item == 0 || a->isSeparator()) return false;
        if (!m->menuAction()->isEnabled() || !a->isEnabled()) return false;
        a->trigger();
        return true;
    });
}

}  // namespace tarvex::platform
