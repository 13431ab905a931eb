// The Data Viewer, answered by a scripted user through the dialog module's
// show hook with real key presses: the cell shown at opening, what typing
// an index does, indices that change nothing, the spin buttons, and the
// View menu's item.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/data.h"
#include "engine/open_box_fixture.h"
#include "frontend/calc/celldata.h"
#include "frontend/dlg_viewdata.h"
#include "frontend/runstate.h"
#include "frontend/winmenu.h"
#include "frontend/winscreenio.h"
#include "platform/dialog.h"
#include "platform/dialog_qt.h"
#include "platform/frame_fixture.h"
#include "platform/menu.h"

namespace tarvex {
namespace {

using platform::Dialog;
using platform::dialog_control;

constexpr int IDD = 101;

// What the dialog shows: the three index fields and the sixteen values.
struct Shown {
    std::string i, j, k;
    std::map<int, std::string> values;
};

Shown look(Dialog& d) {
    Shown s;
    auto edit = [&](int id) { return qobject_cast<QLineEdit*>(dialog_control(d, id))->text().toStdString(); };
    s.i = edit(1000);
    s.j = edit(1001);
    s.k = edit(1002);
    for (int id = 1006; id <= 1022; ++id) {
        std::string text;
        if (d.get_text(id, text, 12)) s.values[id] = text;
    }
    return s;
}

std::map<int, std::string> cell(int i, int j, int k) {
    std::map<int, std::string> m;
    for (const CellText& t : cell_texts(i, j, k)) m[t.control] = t.text;
    return m;
}

// One step of the user: an action in the dialog, then a look at it.
using Step = std::function<void(Dialog&)>;

class ScriptedUser {
public:
    explicit ScriptedUser(std::vector<Step> steps) : steps_(std::move(steps)) {
        platform::set_dialog_show_hook([this](Dialog& d) {
            if (d.template_id() != IDD) return;
            ++showings;
            seen.push_back(look(d));
            QTimer::singleShot(0, qApp, [this, &d] {
                for (const Step& step : steps_) {
                    step(d);
                    seen.push_back(look(d));
                }
                QTest::mouseClick(dialog_control(d, 1), Qt::LeftButton);
            });
        });
    }
    ~ScriptedUser() { platform::set_dialog_show_hook(nullptr); }

    int showings = 0;
    std::vector<Shown> seen;   // at opening, then after each step

private:
    std::vector<Step> steps_;
};

QLineEdit* edit(Dialog& d, int id) { return qobject_cast<QLineEdit*>(dialog_control(d, id)); }

Step type(int id, const char* text) {
    return [id, text](Dialog& d) {
        QLineEdit* e = edit(d, id);
        e->setFocus();
        e->selectAll();
        if (*text) QTest::keyClicks(e, text);
        else QTest::keyClick(e, Qt::Key_Backspace);
    };
}

Step key(int id, Qt::Key k) {
    return [id, k](Dialog& d) { QTest::keyClick(edit(d, id), k); };
}

Step click_spin(int id, const char* button) {
    return [id, button](Dialog& d) {
        QWidget* spin = dialog_control(d, id);
        QWidget* b = spin->findChild<QWidget*>(button);
        ASSERT_NE(b, nullptr);
        QTest::mouseClick(b, Qt::LeftButton);
    };
}

class DataViewer : public platform::testing::FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        runstate.GEOMOK = true;
        // Values that tell the cells apart.
        for (int k = 1; k <= 2; ++k)
            for (int j = 1; j <= 2; ++j)
                for (int i = 1; i <= 3; ++i) {
                    const int32_t p = ARIDX(i, j, k);
                    fields.T[p] = 290.0 + i + 10 * j + 100 * k;
                    fields.U[p] = 0.1 * i;
                    fields.P[p] = -1.0 * (i + j + k);
                    c2eq.C2[p] = 0.001 * i;
                }
        fields.U[ARIDX(3, 1, 1) + 1] = 5.0;   // the east wall face of the last cell
    }
    void TearDown() override {
        runstate.GEOMOK = false;
        FrameTest::TearDown();
    }
    // x lines 0, 0.5, 2, 3.5; y 0, 1, 2; z 0, 1.25, 2.5.
    openbox::OpenBoxGrid box{{0.5, 1.5, 1.5}, {1.0, 1.0}, {1.25, 1.25}};
};

TEST_F(DataViewer, OpensOnTheFirstCellAndFollowsTheIndices) {
    ScriptedUser user({
        type(1000, "2"),     // 1: cell 2, 1, 1
        type(1000, "0"),     // 2: below the grid: no change
        type(1000, "4"),     // 3: above NX: no change
        type(1000, "2"),     // 4: cell 2, 1, 1 again
        type(1001, ""),      // 5: J cleared: no change
        type(1001, "2"),     // 6: cell 2, 2, 1
        type(1000, "3 7"),   // 7: the first number: cell 3, 2, 1
        type(1002, "x"),     // 8: K unreadable: no change
        type(1002, "2"),     // 9: cell 3, 2, 2
        type(1000, ".5"),    // 10: not an integer: no change
    });
    VIEWDATAPROC();
    ASSERT_EQ(user.showings, 1);
    ASSERT_EQ(user.seen.size(), 11u);
    const auto& s = user.seen;
    EXPECT_EQ(s[0].i, "1");
    EXPECT_EQ(s[0].j, "1");
    EXPECT_EQ(s[0].k, "1");
    EXPECT_EQ(s[0].values, cell(1, 1, 1));
    EXPECT_EQ(s[0].values.at(1006), " 0.25000E+00");
    EXPECT_EQ(s[0].values.at(1019), "     127.850");   // 401 K
    const int expected[][3] = {{1, 1, 1}, {2, 1, 1}, {2, 1, 1}, {2, 1, 1}, {2, 1, 1}, {2, 1, 1},
                               {2, 2, 1}, {3, 2, 1}, {3, 2, 1}, {3, 2, 2}, {3, 2, 2}};
    for (size_t n = 0; n < s.size(); ++n) {
        const int* c = expected[n];
        EXPECT_EQ(s[n].values, cell(c[0], c[1], c[2])) << "after step " << n;
    }
    EXPECT_EQ(s[1].values.at(1006), " 0.12500E+01");
    // The cells the steps land on are told apart by their values.
    EXPECT_NE(cell(2, 2, 1), cell(2, 1, 1));
    EXPECT_NE(cell(3, 2, 1), cell(2, 2, 1));
    EXPECT_NE(cell(3, 2, 2), cell(3, 2, 1));
}

TEST_F(DataViewer, LastCellAlongXShowsItsWestFace) {
    ScriptedUser user({type(1000, "3")});
    VIEWDATAPROC();
    ASSERT_EQ(user.seen.size(), 2u);
    EXPECT_EQ(user.seen[1].values.at(1013), "       0.300");   // not (0.3 + 5) / 2
}

// The spin buttons step from what the field holds, within 1..NX, NY, NZ,
// and wrap at both ends; the arrow keys step them too.
TEST_F(DataViewer, SpinButtonsStepAndWrap) {
    ScriptedUser user({
        click_spin(1003, "up"),     // I 1 -> 2
        click_spin(1005, "up"),     // K 1 -> 2
        click_spin(1005, "up"),     // K 2 -> 1 (wraps)
        click_spin(1004, "down"),   // J 1 -> 2 (wraps)
        key(1000, Qt::Key_Up),      // I 2 -> 3
        key(1000, Qt::Key_Up),      // I 3 -> 1
    });
    VIEWDATAPROC();
    ASSERT_EQ(user.seen.size(), 7u);
    const auto& s = user.seen;
    EXPECT_EQ(s[1].i, "2");
    EXPECT_EQ(s[1].values, cell(2, 1, 1));
    EXPECT_EQ(s[2].k, "2");
    EXPECT_EQ(s[2].values, cell(2, 1, 2));
    EXPECT_EQ(s[3].k, "1");
    EXPECT_EQ(s[3].values, cell(2, 1, 1));
    EXPECT_EQ(s[4].j, "2");
    EXPECT_EQ(s[4].values, cell(2, 2, 1));
    EXPECT_EQ(s[5].i, "3");
    EXPECT_EQ(s[5].values, cell(3, 2, 1));
    EXPECT_EQ(s[6].i, "1");
    EXPECT_EQ(s[6].values, cell(1, 2, 1));
}

TEST_F(DataViewer, NothingOpensWithoutACase) {
    runstate.GEOMOK = false;
    ScriptedUser user({});
    VIEWDATAPROC();
    EXPECT_EQ(user.showings, 0);
}

// Out of the grid, the update itself writes nothing either.
TEST_F(DataViewer, UpdateOutsideTheGridChangesNothing) {
    Dialog d;
    ASSERT_TRUE(d.init(IDD));
    UPDATE_VIEWDATA(d, 1, 2, 2);
    const Shown before = look(d);
    UPDATE_VIEWDATA(d, 0, 1, 1);
    UPDATE_VIEWDATA(d, 1, 3, 1);
    UPDATE_VIEWDATA(d, 1, 1, 3);
    EXPECT_EQ(look(d).values, before.values);
    EXPECT_EQ(before.values, cell(1, 2, 2));
    d.release();
}

// The View menu's first item is "&Data" and opens the viewer once a case is
// loaded.
TEST_F(DataViewer, ViewMenuItem) {
    ASSERT_EQ(SETUPSCREEN(), 0);
    ASSERT_EQ(SETUPMENUS(), 0);
    platform::MenuItemInfo info;
    ASSERT_TRUE(platform::menu_item_info(menu_pos::VIEW_MENU, 1, info));
    EXPECT_EQ(info.text, "&Data");
    ScriptedUser user({});
    EXPECT_FALSE(platform::trigger_menu_item(menu_pos::VIEW_MENU, 1));   // grayed until a case is loaded
    menus_case_loaded();
    EXPECT_TRUE(platform::trigger_menu_item(menu_pos::VIEW_MENU, 1));
    EXPECT_EQ(user.showings, 1);
}

}  // namespace
}  // namespace tarvex
