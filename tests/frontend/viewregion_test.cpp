// The Region Viewer driven as a user drives it: what it shows on opening,
// the number formats of its three pages, the plane rows that show values or
// "..." and are disabled, index entries that change nothing, corners in
// reverse order and the spin buttons; and that it opens only on a loaded
// case.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "common/textfmt.h"
#include "engine/data.h"
#include "engine/engine.h"
#include "engine/open_box_fixture.h"
#include "frontend/dlg_viewregion.h"
#include "frontend/runstate.h"
#include "frontend/viewdlg.h"
#include "platform/dialog.h"
#include "platform/dialog_qt.h"

namespace tarvex {
namespace {

using platform::Attr;
using platform::Dialog;
using platform::dialog_control;
using platform::dialog_widget;

// What the viewer shows: the text of every value field (and the volume),
// and whether it is enabled, by id.
struct Field {
    std::string text;
    bool enabled = true;
    bool operator==(const Field&) const = default;
};
using Shown = std::map<int, Field>;

constexpr int MEANS_IDS[] = {1013, 1016, 1020, 1015, 1022, 1023, 1014, 1024, 1021, 1028, 1029, 1030, 1019, 1031,
                             1032, 1017, 1033, 1034, 1018, 1035, 1036, 1040, 1044, 1045, 1046, 1047, 1048};
constexpr int FLOWS_IDS[] = {1091, 1092, 1095, 1096, 1098, 1099, 1101, 1102, 1104, 1105,
                             1089, 1093, 1097, 1106, 1107, 1100, 1108, 1109, 1103};
constexpr int ENERGY_IDS[] = {1116, 1117, 1118, 1119, 1121, 1122, 1124, 1125};

Field field(const Dialog& d, int id) {
    Field f;
    EXPECT_TRUE(d.get_text(id, f.text, 12)) << id;
    EXPECT_TRUE(d.get_logical(id, Attr::enabled, f.enabled)) << id;
    return f;
}

Shown look(const Dialog& main) {
    Shown s;
    s[1012] = field(main, 1012);
    for (int id : MEANS_IDS) s[id] = field(viewdlg.DLGMEANS, id);
    for (int id : FLOWS_IDS) s[id] = field(viewdlg.DLGFLOWS, id);
    for (int id : ENERGY_IDS) s[id] = field(viewdlg.DLGENERGY, id);
    return s;
}

std::string text(const Dialog& d, int id, int length = 12) {
    std::string s;
    d.get_text(id, s, length);
    return s;
}

// Replaces the text of an index field as typing does (one change per key).
void type(const Dialog& d, int id, const char* text) {
    auto* e = qobject_cast<QLineEdit*>(dialog_control(d, id));
    ASSERT_NE(e, nullptr) << id;
    e->selectAll();
    if (*text) QTest::keyClicks(e, text);
    else QTest::keyClick(e, Qt::Key_Backspace);
}

void click_spin(const Dialog& d, int id, const char* which) {
    QWidget* spin = dialog_control(d, id);
    ASSERT_NE(spin, nullptr);
    auto* button = spin->findChild<QToolButton*>(QString::fromLatin1(which));
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
}

// Opens the viewer; `script` runs once it is up, then OK closes it.
// Returns whether it was shown.
bool with_viewer(std::function<void(Dialog&)> script) {
    bool shown = false;
    platform::set_dialog_show_hook([&](Dialog& d) {
        if (d.template_id() != 104) return;
        shown = true;
        Dialog* dlg = &d;
        QTimer::singleShot(0, qApp, [dlg, &script] {
            script(*dlg);
            QTest::mouseClick(dialog_control(*dlg, 1), Qt::LeftButton);
        });
    });
    VIEWREGIONPROC();
    platform::set_dialog_show_hook(nullptr);
    return shown;
}

// A row of three cubes of 1 m at 20, 30 and 40 C, the two inner faces at
// 0.5 m/s with face density 1.2; an inflow of 0.6 kg/s at 20 C into cell
// 1, an outflow of 0.6 kg/s from cell 3, a pressure boundary bringing
// 1.2 kg/s at 10 C into cell 2, and a U-value face of 0.5 kW/K from cell
// 3 to 20 C outside.
class RegionViewer : public ::testing::Test {
protected:
    void SetUp() override {
        runstate.GEOMOK = true;
        runstate.IRUNNING = 0;
        for (int i = 1; i <= 3; ++i) {
            const int p = ARIDX(i, 1, 1);
            fields.T[p] = 283.15 + 10.0 * i;
            fields.DEN[p] = fields.DENU[p] = fields.DENV[p] = fields.DENW[p] = 1.2;
            c2eq.C2[p] = 0.008;
        }
        fields.U[ARIDX(2, 1, 1)] = fields.U[ARIDX(3, 1, 1)] = 0.5;
        fields.SMASS[ARIDX(1, 1, 1)] = 0.6;
        fields.SCT[ARIDX(1, 1, 1)] = 0.6 * 293.15;
        fields.SMASS[ARIDX(3, 1, 1)] = -0.6;
        const int p3 = ARIDX(3, 1, 1);
        uvaltab.UVAL[uvidx(p3, 2)] = 0.5;
        uvaltab.UVALT[uvidx(p3, 2)] = 0.5 * 293.15;
        uvaltab.UVALCELL[p3] = true;
        uvaltab.UVALSET = true;
        // Face 3 of cell 2 (1 m2), coefficient 0.5, 4 Pa above the cell, exponent 0.5.
        pbtable.NPB = 1;
        pbtable.PBON = 1;
        pbtable.PBI1[1] = pbtable.PBI2[1] = 2;
        pbtable.PBJ1[1] = pbtable.PBJ2[1] = pbtable.PBK1[1] = pbtable.PBK2[1] = 1;
        pbtable.PBFACE[1] = 3;
        pbtable.PBCOEF[1] = 0.5;
        pbtable.PBP[1] = 4.0;
        pbtable.PBEXP[1] = 0.5;
        pbtable.PBT[1] = 283.15;
        BUILD_PBCELLS();
        USRSUB2();
    }
    void TearDown() override { runstate.GEOMOK = false; }

    openbox::OpenBoxGrid grid{{1.0, 1.0, 1.0}, {1.0}, {1.0}};
};

TEST_F(RegionViewer, OpensOnTheWholeGridWithItsThreePages) {
    Shown s;
    ASSERT_TRUE(with_viewer([&](Dialog& d) {
        EXPECT_EQ(text(d, 1025, 3), "1  ");
        EXPECT_EQ(text(d, 1026, 3), "1  ");
        EXPECT_EQ(text(d, 1027, 3), "1  ");
        EXPECT_EQ(text(d, 1041, 3), "3  ");
        EXPECT_EQ(text(d, 1042, 3), "1  ");
        EXPECT_EQ(text(d, 1043, 3), "1  ");
        struct Spin {
            int id;
            long long lo, hi, pos;
        };
        for (const Spin& sp : {Spin{1037, 1, 3, 1}, Spin{1038, 1, 1, 1}, Spin{1039, 1, 1, 1}, Spin{1007, 1, 3, 3},
                               Spin{1009, 1, 1, 1}, Spin{1011, 1, 1, 1}}) {
            long long lo = 0, hi = 0, pos = 0;
            EXPECT_TRUE(d.get_int(sp.id, Attr::range_min, lo));
            EXPECT_TRUE(d.get_int(sp.id, Attr::range_max, hi));
            EXPECT_TRUE(d.get_int(sp.id, Attr::position, pos));
            EXPECT_EQ(lo, sp.lo) << sp.id;
            EXPECT_EQ(hi, sp.hi) << sp.id;
            EXPECT_EQ(pos, sp.pos) << sp.id;
        }
        long long pages = 0, selected = 0;
        EXPECT_TRUE(d.get_int(1074, Attr::page_count, pages));
        EXPECT_TRUE(d.get_int(1074, Attr::state, selected));
        EXPECT_EQ(pages, 3);
        EXPECT_EQ(selected, 1);
        const char* titles[] = {"Means ", "Flows ", "Energy"};
        for (int n = 1; n <= 3; ++n) {
            std::string title;
            EXPECT_TRUE(d.get_text(1074, Attr::page_title, title, 6, n));
            EXPECT_EQ(title, titles[n - 1]);
        }
        EXPECT_TRUE(dialog_widget(viewdlg.DLGMEANS)->isVisible());
        EXPECT_FALSE(dialog_widget(viewdlg.DLGFLOWS)->isVisible());
        s = look(d);
    }));

    // Volume in E12.5, means and extremes in F12.3 and the two
    // concentrations in E12.5 (g/kg); the v and w means have no open face
    // to weigh them.
    const std::pair<int, const char*> expected[] = {
        {1012, " 0.30000E+01"},
        {1013, "       0.500"}, {1016, "       0.000"}, {1020, "       0.500"},
        {1015, "         ..."}, {1022, "       0.000"}, {1023, "       0.000"},
        {1014, "         ..."}, {1024, "       0.000"}, {1021, "       0.000"},
        {1028, "       0.333"}, {1029, "       0.000"}, {1030, "       0.500"},
        {1019, "      30.000"}, {1031, "      20.000"}, {1032, "      40.000"},
        {1017, "       0.000"}, {1033, "       0.000"}, {1034, "       0.000"},
        {1018, " 0.00000E+00"}, {1035, " 0.00000E+00"}, {1036, " 0.00000E+00"},
        {1040, " 0.80000E+01"}, {1044, " 0.80000E+01"}, {1045, " 0.80000E+01"},
        // Flows: the sources and the boundary; no side of the grid carries air.
        {1091, "       1.800"}, {1092, "      -0.600"}, {1095, "       1.200"}, {1096, "       0.000"},
        // One cell thick in K and in J: the IJ and IK rows, not the JK row.
        {1098, "       0.000"}, {1099, "       0.000"}, {1101, "         ..."}, {1102, "         ..."},
        {1104, "       0.000"}, {1105, "       0.000"},
        // Energy: the inflow's heat; the boundary's heat is the boundary's,
        // not the sources'; the U-value face loses 10 kW.
        {1116, "     175.890"}, {1117, "       0.000"}, {1118, "     339.780"}, {1119, "       0.000"},
        {1121, "       0.000"}, {1122, "     -10.000"}, {1124, "       0.000"}, {1125, "       0.000"},
    };
    for (const auto& [id, want] : expected) EXPECT_EQ(s[id].text, want) << id;
    // Relative humidity in F12.3.
    EXPECT_EQ(s[1047].text, fmt_f(WC2RH(0.008, 313.15 - KELVIN_OFFSET), 12, 3));
    for (int id : {1097, 1098, 1099, 1089, 1093, 1103, 1104, 1105, 1108, 1109}) EXPECT_TRUE(s[id].enabled) << id;
    for (int id : {1100, 1101, 1102, 1106, 1107}) EXPECT_FALSE(s[id].enabled) << id;
    for (int id : {1091, 1092, 1116, 1013}) EXPECT_TRUE(s[id].enabled) << id;
}

// The To fields open on NX, NY and NZ, and the user sees those numbers: the
// bare number, whole within the narrow field, for grids of 1, 16, 100 and
// 999 cells along an axis.
TEST(RegionViewerOpening, ToFieldsShowTheGridSizeWhole) {
    struct Case {
        int nx, ny, nz;
    };
    for (const Case& c : {Case{1, 1, 1}, Case{16, 12, 10}, Case{100, 1, 16}, Case{999, 1, 1}, Case{1, 999, 1},
                          Case{1, 1, 999}}) {
        openbox::OpenBoxGrid grid{std::vector<double>(c.nx, 0.1), std::vector<double>(c.ny, 0.1),
                                  std::vector<double>(c.nz, 0.1)};
        grid.finish();
        runstate.GEOMOK = true;
        runstate.IRUNNING = 0;
        const int n[3] = {c.nx, c.ny, c.nz};
        ASSERT_TRUE(with_viewer([&](Dialog& d) {
            for (int a = 0; a < 3; ++a) {
                auto* from = qobject_cast<QLineEdit*>(dialog_control(d, 1025 + a));
                auto* to = qobject_cast<QLineEdit*>(dialog_control(d, 1041 + a));
                ASSERT_NE(from, nullptr);
                ASSERT_NE(to, nullptr);
                EXPECT_EQ(from->displayText().toStdString(), "1");
                EXPECT_EQ(to->displayText().toStdString(), std::to_string(n[a])) << c.nx << "x" << c.ny << "x" << c.nz;
                // Whole inside the field (Qt keeps two pixels of margin at each side).
                EXPECT_LE(to->fontMetrics().horizontalAdvance(to->displayText()), to->contentsRect().width() - 4)
                    << n[a];
            }
        }));
        runstate.GEOMOK = false;
    }
}

TEST_F(RegionViewer, OneCellShowsAllThreePlanesAndItsSideFlows) {
    Shown s;
    ASSERT_TRUE(with_viewer([&](Dialog& d) {
        type(d, 1025, "2");
        type(d, 1041, "2");
        s = look(d);
    }));
    const std::pair<int, const char*> expected[] = {
        {1012, " 0.10000E+01"},
        // In: the boundary's 1.2 and 0.6 through the west side; out through the east side.
        {1091, "       1.800"}, {1092, "      -0.600"}, {1095, "       1.200"},
        {1098, "       0.000"}, {1099, "       0.000"}, {1101, "       0.600"}, {1102, "       0.000"},
        {1104, "       0.000"}, {1105, "       0.000"},
        // Air carries in the west cell's 20 C and out the cell's own 30 C.
        {1124, "     175.890"}, {1125, "    -181.890"},
        {1116, "       0.000"}, {1117, "       0.000"}, {1118, "     339.780"},
        {1121, "       0.000"}, {1122, "       0.000"},
        {1019, "      30.000"}, {1013, "       0.500"},
    };
    for (const auto& [id, want] : expected) EXPECT_EQ(s[id].text, want) << id;
    for (int id : {1097, 1098, 1099, 1089, 1093, 1100, 1101, 1102, 1106, 1107, 1103, 1104, 1105, 1108, 1109})
        EXPECT_TRUE(s[id].enabled) << id;
}

// Replaces the whole text of an index field in one edit, as pasting does:
// the callback sees the entry alone, not the texts on the way to it.
void paste(const Dialog& d, int id, const std::string& text) {
    auto* e = qobject_cast<QLineEdit*>(dialog_control(d, id));
    ASSERT_NE(e, nullptr) << id;
    e->selectAll();
    e->insert(QString::fromStdString(text));
}

TEST_F(RegionViewer, EntriesThatCannotBeReadOrLieOutsideChangeNothing) {
    ASSERT_TRUE(with_viewer([&](Dialog& d) {
        const Shown whole = look(d);
        type(d, 1025, "3");
        const Shown last = look(d);   // From I 3: the box of cell 3
        ASSERT_NE(last, whole);
        // Each entry goes in whole over a field that shows a box other than
        // the one a misreading would give: "x1" or "1.5" read as 1 would show
        // the whole row, "2x" read as 2 the box of cells 2 and 3.
        struct Entry {
            int id;
            const char* start;   // From I before the entry
            std::string entry;
        };
        const Entry entries[] = {
            {1025, "1", "0"},   {1025, "1", "4"},   {1025, "3", "x1"}, {1025, "1", "2x"},
            {1025, "3", "1.5"}, {1025, "3", "-2"},  {1041, "3", "99999999999"},
            {1042, "1", "2"},   {1043, "1", "10"},  {1043, "1", " "},
        };
        for (const Entry& e : entries) {
            for (auto [f, t] : {std::pair{1042, "1"}, {1043, "1"}, {1041, "3"}}) type(d, f, t);
            type(d, 1025, e.start);
            const Shown before = look(d);
            ASSERT_EQ(before, std::string(e.start) == "1" ? whole : last);
            paste(d, e.id, e.entry);
            std::string kept = e.entry;
            kept.resize(12, ' ');
            ASSERT_EQ(text(d, e.id), kept);   // the field keeps what was typed
            EXPECT_EQ(look(d), before) << e.id << " '" << e.entry << "'";
        }
        for (auto [f, t] : {std::pair{1025, "1"}, {1042, "1"}, {1043, "1"}, {1041, "3"}}) type(d, f, t);
        ASSERT_EQ(look(d), whole);
        // An emptied field changes nothing either.
        type(d, 1043, "1");
        type(d, 1025, "2");
        const Shown box = look(d);
        EXPECT_NE(box, whole);
        type(d, 1025, "");
        EXPECT_EQ(look(d), box);
        // The first whole number of an entry is what counts.
        type(d, 1025, " 1 9");
        EXPECT_EQ(look(d), whole);
    }));
}

TEST_F(RegionViewer, CornersInReverseOrderShowTheSameBox) {
    Shown forward, reversed;
    ASSERT_TRUE(with_viewer([&](Dialog& d) {
        type(d, 1025, "2");
        forward = look(d);
        type(d, 1025, "3");
        type(d, 1041, "2");
        reversed = look(d);
        // The fields keep the order typed.
        EXPECT_EQ(text(d, 1025, 1), "3");
        EXPECT_EQ(text(d, 1041, 1), "2");
    }));
    EXPECT_EQ(forward, reversed);
    EXPECT_EQ(forward[1012].text, " 0.20000E+01");
    EXPECT_EQ(forward[1124].text, "     175.890");
    EXPECT_EQ(forward[1125].text, "       0.000");
    EXPECT_EQ(forward[1101].text, "         ...");
}

TEST_F(RegionViewer, SpinButtonsWrapAndShowTheirBox) {
    ASSERT_TRUE(with_viewer([&](Dialog& d) {
        // To I at NX steps up to 1: the box is cell 1 alone.
        click_spin(d, 1007, "up");
        EXPECT_EQ(text(d, 1041, 2), "1 ");
        Shown s = look(d);
        EXPECT_EQ(s[1012].text, " 0.10000E+01");
        EXPECT_TRUE(s[1101].enabled);
        EXPECT_EQ(s[1101].text, "       0.300");   // half the east face's flow
        EXPECT_EQ(s[1102].text, "       0.000");
        // From I at 1 steps down to 3: From 3, To 1, the whole row again.
        click_spin(d, 1037, "down");
        EXPECT_EQ(text(d, 1025, 2), "3 ");
        s = look(d);
        EXPECT_EQ(s[1012].text, " 0.30000E+01");
        EXPECT_FALSE(s[1101].enabled);
    }));
}

TEST_F(RegionViewer, BoxWithNoOpenCellShowsNoMeansNoExtremesAndNoPlanes) {
    grid.block(2, 1, 1);
    grid.finish();
    Shown s;
    ASSERT_TRUE(with_viewer([&](Dialog& d) {
        type(d, 1025, "2");
        type(d, 1041, "2");
        s = look(d);
    }));
    EXPECT_EQ(s[1012].text, " 0.00000E+00");
    for (int id : MEANS_IDS) EXPECT_EQ(s[id].text, "         ...") << id;
    for (int id : {1091, 1092, 1095, 1096, 1116, 1117, 1118, 1119, 1121, 1122, 1124, 1125})
        EXPECT_EQ(s[id].text, "       0.000") << id;
    for (int id : {1098, 1099, 1101, 1102, 1104, 1105}) {
        EXPECT_EQ(s[id].text, "         ...") << id;
        EXPECT_FALSE(s[id].enabled) << id;
    }
}

TEST_F(RegionViewer, OpensOnlyOnALoadedCaseAndOutsideARun) {
    runstate.GEOMOK = false;
    EXPECT_FALSE(with_viewer([](Dialog&) {}));
    runstate.GEOMOK = true;
    runstate.IRUNNING = 1;
    EXPECT_FALSE(with_viewer([](Dialog&) {}));
    runstate.IRUNNING = 0;
    EXPECT_TRUE(with_viewer([](Dialog&) {}));
    // Closing released the main dialog and its pages.
    EXPECT_FALSE(viewdlg.DLGMEANS.initialised());
    EXPECT_FALSE(viewdlg.DLGFLOWS.initialised());
    EXPECT_FALSE(viewdlg.DLGENERGY.initialised());
}

}  // namespace
}  // namespace tarvex
