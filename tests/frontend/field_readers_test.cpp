// Every reader of the fields on the GUI thread goes through the field lock
// and never waits for it (engine/data.h): the plot viewers' redraws
// (UPDATE_VIEWDOMAIN, UPDATE_VIEWGRID), the Data Viewer and the Region Viewer.
// While a run holds the lock, what they were asked for is shown by the run's
// next pause, and their dialogs show the fields of before meanwhile. Then
// the viewers in use while a real run goes on, run under ThreadSanitizer in
// CI: a read that bypassed the lock would be reported there as a race with
// the solver.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <functional>
#include <map>
#include <string>

#include "plotviewer_fixture.h"
#include "common/channels.h"
#include "common/textfmt.h"
#include "engine/data.h"
#include "frontend/calc/celldata.h"
#include "frontend/calc/regionsums.h"
#include "frontend/dlg_plotwindow.h"
#include "frontend/dlg_viewdata.h"
#include "frontend/dlg_viewdomain.h"
#include "frontend/dlg_viewgrid.h"
#include "frontend/dlg_viewregion.h"
#include "frontend/fieldaccess.h"
#include "frontend/runstate.h"
#include "frontend/viewdlg.h"
#include "frontend/winmain.h"
#include "platform/dialog.h"
#include "platform/dialog_qt.h"

namespace tarvex {
namespace {

using namespace plot_ctl;
using platform::Dialog;
using testing::FieldLockHolder;
using testing::POISON;

constexpr int IDD_VIEWDATA = 101;
constexpr int IDD_VIEWREGION = 104;
constexpr int REGION_VOLUME = 1012;     // main dialog
constexpr int REGION_MEAN_T = 1019;     // Means page
constexpr int REGION_TO_I = 1041;

std::map<int, std::string> shown_cell(const Dialog& d) {
    std::map<int, std::string> m;
    for (const CellText& t : cell_texts(1, 1, 1)) {
        std::string text;
        d.get_text(t.control, text, 12);
        m[t.control] = text;
    }
    return m;
}

std::map<int, std::string> cell_now(int i, int j, int k) {
    std::map<int, std::string> m;
    for (const CellText& t : cell_texts(i, j, k)) m[t.control] = t.text;
    return m;
}

std::string text_of(const Dialog& d, int id) {
    std::string text;
    d.get_text(id, text, 12);
    return text;
}

void set_all_temperatures(double kelvin) {
    for (int k = 1; k <= griddim.NZ; ++k)
        for (int j = 1; j <= griddim.NY; ++j)
            for (int i = 1; i <= griddim.NX; ++i) fields.T[ARIDX(i, j, k)] = kelvin;
}

class FieldReadersTest : public testing::PlotViewerTest {
protected:
    FieldReadersTest() {
        view_items_ = {{"&Data", [] { VIEWDATAPROC(); }, 0},
                       {"&Region      F10", [] { VIEWREGIONPROC(); }, 10},
                       {"Re&siduals", [] { VIEWGRIDPROC(); }, 0},
                       {"D&omain data F9", [] { VIEWDOMAINPROC(); }, 9}};
    }
    void TearDown() override {
        platform::set_dialog_show_hook(nullptr);
        PlotViewerTest::TearDown();
    }
};

// With the lock held by "the run": each reader returns at once, shows what
// it showed before, and leaves its read; the run's next pause (its refresh,
// from another thread) or its end performs it with the new values.
TEST_F(FieldReadersTest, ReadersNeverWaitAndCatchUpAtTheRunsNextPause) {
    for (const bool at_end : {false, true}) {
        SCOPED_TRACE(at_end ? "caught up at the run's end" : "caught up by the next refresh");
        const auto pause = [at_end] {
            PlotViewerTest::from_other_thread(at_end ? PLOT_VIEWER_CATCH_UP : PLOT_VIEWER_REFRESH);
        };

        // The Data Viewer.
        set_all_temperatures(300.0);
        Dialog data;
        ASSERT_TRUE(data.init(IDD_VIEWDATA));
        UPDATE_VIEWDATA(data, 1, 1, 1);
        const auto before = cell_now(1, 1, 1);
        ASSERT_EQ(shown_cell(data), before);
        set_all_temperatures(310.0);
        {
            FieldLockHolder run;
            UPDATE_VIEWDATA(data, 1, 1, 1);
            EXPECT_EQ(shown_cell(data), before);
            EXPECT_TRUE(field_reads_pending());
        }
        pause();
        EXPECT_FALSE(field_reads_pending());
        EXPECT_EQ(shown_cell(data), cell_now(1, 1, 1));
        EXPECT_NE(shown_cell(data), before);

        // The Region Viewer, on the whole grid.
        set_all_temperatures(300.0);
        Dialog region;
        ASSERT_TRUE(region.init(IDD_VIEWREGION));
        ASSERT_TRUE(viewdlg.DLGMEANS.init(110));
        ASSERT_TRUE(viewdlg.DLGFLOWS.init(111));
        ASSERT_TRUE(viewdlg.DLGENERGY.init(112));
        int i1 = 1, j1 = 1, k1 = 1, i2 = griddim.NX, j2 = griddim.NY, k2 = griddim.NZ;
        UPDATE_VIEWREGION(region, i1, j1, k1, i2, j2, k2);
        EXPECT_EQ(text_of(viewdlg.DLGMEANS, REGION_MEAN_T), "      26.850");
        set_all_temperatures(310.0);
        {
            FieldLockHolder run;
            UPDATE_VIEWREGION(region, i1, j1, k1, i2, j2, k2);
            EXPECT_EQ(text_of(viewdlg.DLGMEANS, REGION_MEAN_T), "      26.850");
            EXPECT_TRUE(field_reads_pending());
        }
        pause();
        EXPECT_FALSE(field_reads_pending());
        EXPECT_EQ(text_of(viewdlg.DLGMEANS, REGION_MEAN_T), "      36.850");
        EXPECT_FALSE(text_of(region, REGION_VOLUME).empty());

        // A dialog that goes leaves nothing behind.
        {
            FieldLockHolder run;
            UPDATE_VIEWDATA(data, 1, 1, 1);
            EXPECT_TRUE(field_reads_pending());
            forget_field_reads(&data);
            EXPECT_FALSE(field_reads_pending());
        }
        data.release();
        region.release();
        for (Dialog* page : {&viewdlg.DLGMEANS, &viewdlg.DLGFLOWS, &viewdlg.DLGENERGY}) page->release();

        // The plot viewers' redraws, called as the routines they are.
        for (const bool domain : {true, false}) {
            SCOPED_TRACE(domain ? "UPDATE_VIEWDOMAIN" : "UPDATE_VIEWGRID");
            if (domain) VIEWDOMAINPROC();
            else VIEWGRIDPROC();
            ASSERT_TRUE(domain ? viewdlg.VIEWDOMOPEN.load() : viewdlg.VIEWGRIDOPEN.load());
            poison();
            {
                FieldLockHolder run;
                if (domain) UPDATE_VIEWDOMAIN(viewdlg.DLGVIEW);
                else UPDATE_VIEWGRID(viewdlg.DLGVIEW);
                EXPECT_EQ(pixel(300, 300), POISON);
                EXPECT_TRUE(plot_viewer_work_pending());
            }
            pause();
            EXPECT_FALSE(plot_viewer_work_pending());
            EXPECT_NE(pixel(300, 300), POISON);
            // Outside a run the lock is free: drawn at once.
            poison();
            if (domain) UPDATE_VIEWDOMAIN(viewdlg.DLGVIEW);
            else UPDATE_VIEWGRID(viewdlg.DLGVIEW);
            EXPECT_NE(pixel(300, 300), POISON);
            press(CLOSE);
        }
    }
}

// Neither modal viewer opens during a run (the View menu is grayed too).
TEST_F(FieldReadersTest, ModalViewersDoNotOpenDuringARun) {
    int shown = 0;
    platform::set_dialog_show_hook([&](Dialog& d) {
        ++shown;
        Dialog* dlg = &d;
        QTimer::singleShot(0, qApp, [dlg] { dlg->exit(1); });
    });
    runstate.IRUNNING = 1;   // a run as far as the viewers can tell
    VIEWDATAPROC();
    VIEWREGIONPROC();
    EXPECT_EQ(shown, 0);
    runstate.IRUNNING = 0;
    VIEWDATAPROC();
    EXPECT_EQ(shown, 1);
}

// A run started while a modal viewer is open (as a run started at once from
// the command line may begin): the user goes on typing indices during the
// run; each entry shows its cell or box from one finished iteration, and the
// last, typed after the run, the final fields. Under ThreadSanitizer any read
// past the lock is a reported race with the solver.
TEST_F(FieldReadersTest, ModalViewersInUseWhileARunGoesOn) {
    struct Case {
        const char* viewer;
        int template_id;
        int entry;                // the field typed into
        void (*open)();
    };
    const Case cases[] = {
        {"Data Viewer", IDD_VIEWDATA, 1000, [] { VIEWDATAPROC(); }},
        {"Region Viewer", IDD_VIEWREGION, REGION_TO_I, [] { VIEWREGIONPROC(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.viewer);
        int typed_during_run = 0, typed = 0;
        bool started = false, final_checked = false;
        std::map<int, std::string> final_shown, final_expected;
        std::string final_mean, final_mean_expected;
        platform::set_dialog_show_hook([&](Dialog& d) {
            if (d.template_id() != c.template_id) return;
            Dialog* dlg = &d;
            auto* poke = new QTimer(qApp);
            poke->setInterval(0);
            QObject::connect(poke, &QTimer::timeout, [&, dlg, poke] {
                if (!started) {
                    started = true;
                    runflags.AUTORUN = true;
                    runctl.RESTART = 0;
                    pbtable.NITER = 400;
                    pbtable.NSAVE = 400;
                    pbtable.NPRINT = 100;
                    STARTWORKPROC();
                    return;
                }
                auto* edit = qobject_cast<QLineEdit*>(platform::dialog_control(*dlg, c.entry));
                const bool running = runstate.IRUNNING.load() != 0;
                edit->selectAll();
                QTest::keyClicks(edit, typed % 2 ? "2" : "1");   // each entry reads the fields
                ++typed;
                if (running) {
                    ++typed_during_run;
                    return;
                }
                // The run has ended (its end caught up with every read):
                // one entry more, shown at once from the final fields.
                poke->stop();
                poke->deleteLater();
                edit->selectAll();
                QTest::keyClicks(edit, "1");
                if (c.template_id == IDD_VIEWDATA) {
                    final_shown = shown_cell(*dlg);
                    final_expected = cell_now(1, 1, 1);
                } else {
                    final_mean = text_of(viewdlg.DLGMEANS, REGION_MEAN_T);
                    RegionBox box{1, 1, 1, 1, griddim.NY, griddim.NZ};
                    const RegionSums r = region_sums(box);
                    final_mean_expected = fmt_f(region_display_value(RQ_T, r.stat[RQ_T].mean), 12, 3);
                }
                final_checked = true;
                dlg->exit(1);
            });
            poke->start();
        });
        c.open();
        finish_run();
        platform::set_dialog_show_hook(nullptr);
        ASSERT_TRUE(started);
        ASSERT_TRUE(final_checked);
        EXPECT_EQ(last_run_report().ending, RunEnding::Finished);
        EXPECT_GT(typed_during_run, 3);
        EXPECT_FALSE(field_reads_pending());
        if (c.template_id == IDD_VIEWDATA) {
            EXPECT_EQ(final_shown, final_expected);
        } else {
            EXPECT_EQ(final_mean, final_mean_expected);
        }
    }
}

// The domain viewer's redraw called straight from the GUI thread during a
// real run, between and during the solver's iterations.
TEST_F(FieldReadersTest, PlotRedrawsCalledDuringARun) {
    viewctl.IPLOT = 2;
    VIEWDOMAINPROC();
    int calls = 0;
    QTimer poke;
    poke.setInterval(3);
    QObject::connect(&poke, &QTimer::timeout, [&] {
        if (runstate.IRUNNING.load() == 0) return;
        ++calls;
        if (calls % 2) UPDATE_VIEWDOMAIN(viewdlg.DLGVIEW);
        else UPDATE_VIEWGRID(viewdlg.DLGVIEW);
    });
    poke.start();
    const RunReport report = run(0, 8, 100);
    poke.stop();
    EXPECT_EQ(report.ending, RunEnding::Finished);
    EXPECT_GT(calls, 8);
    EXPECT_FALSE(plot_viewer_work_pending());
}

}  // namespace
}  // namespace tarvex
