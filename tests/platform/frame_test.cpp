#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "frame_fixture.h"
#include "platform/hooks.h"
#include "platform/internal.h"
#include "platform/menu.h"
#include "platform/threads.h"
#include "platform/window.h"

namespace tarvex::platform {
namespace {

using FrameTest = testing::FrameTest;

std::vector<std::string> menu_titles() {
    std::vector<std::string> out;
    MenuItemInfo info;
    for (int m = 1; m <= menu_count(); ++m)
        if (menu_item_info(m, 0, info)) out.push_back(info.text);
    return out;
}

TEST_F(FrameTest, DefaultMenusCanBeRebuiltIntoTheProgramsOwn) {
    EXPECT_EQ(menu_titles(),
              (std::vector<std::string>{"&File", "&Edit", "&View", "&State", "&Window", "&Help"}));
    EXPECT_EQ(menu_item_count(1), 3);
    // The fourth, third and second menus, then the File menu's items.
    ASSERT_TRUE(delete_menu_item(4, 0));
    ASSERT_TRUE(delete_menu_item(3, 0));
    ASSERT_TRUE(delete_menu_item(2, 0));
    for (int item = 3; item >= 1; --item) ASSERT_TRUE(delete_menu_item(1, item));
    EXPECT_EQ(menu_titles(), (std::vector<std::string>{"&File", "&Window", "&Help"}));
    EXPECT_EQ(menu_item_count(1), 0);

    std::vector<std::string> calls;
    auto routine = [&](const char* name) {
        return [&calls, name](bool checked) {
            EXPECT_TRUE(is_gui_thread());
            calls.push_back(std::string(name) + (checked ? "+" : "-"));
        };
    };
    ASSERT_TRUE(append_menu_item(1, MENU_ENABLED, "Load &Geometry   F5", routine("geometry")));
    ASSERT_TRUE(append_menu_item(1, MENU_SEPARATOR, "", {}));
    ASSERT_TRUE(append_menu_item(1, MENU_ENABLED, "E&xit", routine("exit")));
    ASSERT_TRUE(insert_menu_item(2, 0, MENU_ENABLED, "&View", {}));
    ASSERT_TRUE(insert_menu_item(2, 1, MENU_ENABLED, "D&omain data F9", routine("domain")));
    ASSERT_TRUE(insert_menu_item(2, 1, MENU_CHECKED, "&Data", routine("data")));
    EXPECT_EQ(menu_titles(), (std::vector<std::string>{"&File", "&View", "&Window", "&Help"}));
    EXPECT_FALSE(append_menu_item(9, MENU_ENABLED, "nowhere", {}));
    EXPECT_FALSE(insert_menu_item(2, 9, MENU_ENABLED, "too far", {}));

    MenuItemInfo info;
    ASSERT_TRUE(menu_item_info(1, 2, info));
    EXPECT_TRUE(info.separator);
    ASSERT_TRUE(menu_item_info(2, 2, info));
    EXPECT_EQ(info.text, "D&omain data F9");

    // Routines run with the item's check mark; Qt's own toggling is undone.
    EXPECT_TRUE(trigger_menu_item(2, 1));
    EXPECT_TRUE(trigger_menu_item(2, 1));
    ASSERT_TRUE(menu_item_info(2, 1, info));
    EXPECT_TRUE(info.checked);
    ASSERT_TRUE(modify_menu_flags(2, 1, MENU_UNCHECKED));
    EXPECT_TRUE(trigger_menu_item(2, 1));
    // Grayed items, and items of a grayed menu, do not run.
    ASSERT_TRUE(modify_menu_flags(1, 1, MENU_GRAYED));
    EXPECT_FALSE(trigger_menu_item(1, 1));
    ASSERT_TRUE(modify_menu_flags(1, 1, MENU_ENABLED));
    ASSERT_TRUE(modify_menu_flags(2, 0, MENU_GRAYED));
    EXPECT_FALSE(trigger_menu_item(2, 2));
    ASSERT_TRUE(menu_item_info(2, 0, info));
    EXPECT_FALSE(info.enabled);
    ASSERT_TRUE(modify_menu_flags(2, 0, MENU_ENABLED));
    EXPECT_TRUE(trigger_menu_item(2, 2));
    EXPECT_TRUE(trigger_menu_item(1, 1));
    EXPECT_FALSE(trigger_menu_item(1, 2));   // a separator
    EXPECT_EQ(calls, (std::vector<std::string>{"data+", "data+", "data-", "domain-", "geometry-"}));
}

TEST_F(FrameTest, MenuChangesFromAnotherThreadAreInPlaceWhenTheCallReturns) {
    std::atomic<bool> done{false};
    bool enabled_after = true;
    std::thread worker([&] {
        modify_menu_flags(1, 1, MENU_GRAYED);
        MenuItemInfo info;
        menu_item_info(1, 1, info);
        enabled_after = info.enabled;
        done = true;
    });
    while (!done) pump();
    worker.join();
    EXPECT_FALSE(enabled_after);
}

TEST_F(FrameTest, StatusTextIsAPermanentLabelThatHintsDoNotReplace) {
    set_status_text("idle");
    EXPECT_EQ(status_text(), "idle");
    auto* frame = qobject_cast<QMainWindow*>(internal::frame_widget());
    ASSERT_NE(frame, nullptr);
    frame->statusBar()->showMessage("Load a case file");   // what a menu hint does
    auto* label = frame->findChild<QLabel*>("tarvex_status");
    ASSERT_NE(label, nullptr);
    EXPECT_TRUE(label->isVisible());
    EXPECT_EQ(label->text().toStdString(), "idle");
    // The library's "Running" text, once replaced, shows as replaced.
    set_library_message(MSG_RUNNING, "");
    EXPECT_EQ(status_text(), "idle");
    std::thread worker([] { set_status_text("calculations running"); });
    worker.join();
    pump();
    EXPECT_EQ(status_text(), "calculations running");
}

TEST_F(FrameTest, FrameTitleAndAboutText) {
    set_window_text(window_handle(FRAME_CHANNEL), "Tarvex V1.4 b ");
    EXPECT_EQ(window_text(window_handle(FRAME_CHANNEL)), "Tarvex V1.4 b ");
    set_about_text(std::string(600, 'a'));
    EXPECT_EQ(about_text().size(), 512u);
}

// Answers the next modal box from inside its own event loop.
void answer_box_with(std::function<void(QMessageBox*)> act) {
    QTimer::singleShot(0, [act] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        act(box);
    });
}

TEST_F(FrameTest, MessageBoxBreaksLinesAtCarriageReturnsAndHonoursTheDefaultButton) {
    std::string seen_text, seen_title;
    bool owned_by_frame = false;
    answer_box_with([&](QMessageBox* box) {
        seen_text = box->text().toStdString();
        seen_title = box->windowTitle().toStdString();
        owned_by_frame = box->parentWidget() == internal::frame_widget();
        EXPECT_TRUE(modal_window_open());
        QTest::keyClick(box, Qt::Key_Return);   // the default button
    });
    MessageBox box;
    box.text = "Press OK to exit Tarvex";
    box.caption = "Confirm Exit";
    box.buttons = Buttons::OkCancel;
    box.default_button = 2;
    EXPECT_EQ(message_box(box), Answer::Cancel);
    EXPECT_EQ(seen_title, "Confirm Exit");
    EXPECT_TRUE(owned_by_frame);

    answer_box_with([](QMessageBox* b) { QTest::keyClick(b, Qt::Key_Escape); });
    box.default_button = 1;
    EXPECT_EQ(message_box(box), Answer::Cancel);

    MessageBox error;
    error.text = "Problem in initialisation\r please see screen";
    error.caption = "Error";
    error.icon = Icon::Error;
    answer_box_with([&](QMessageBox* b) {
        seen_text = b->text().toStdString();
        b->button(QMessageBox::Ok)->click();
    });
    EXPECT_EQ(message_box(error), Answer::Ok);
    EXPECT_EQ(seen_text, "Problem in initialisation\n please see screen");
    EXPECT_FALSE(modal_window_open());
}

TEST_F(FrameTest, MessageBoxFromAWorkerWaitsForTheAnswer) {
    set_message_box_responder([](const MessageBox& b) {
        EXPECT_TRUE(is_gui_thread());
        return b.caption == "Confirm Exit" ? Answer::Ok : Answer::Cancel;
    });
    std::atomic<int> answer{-1};
    std::thread worker([&] {
        MessageBox b;
        b.caption = "Confirm Exit";
        answer = static_cast<int>(message_box(b));
    });
    while (answer < 0) pump();
    worker.join();
    EXPECT_EQ(answer, static_cast<int>(Answer::Ok));
}

TEST_F(FrameTest, EndBehaviourAskKeepsTheProgramWhenTheAnswerIsNo) {
    std::vector<std::string> asked;
    set_message_box_responder([&](const MessageBox& b) {
        asked.push_back(b.text);
        return Answer::No;
    });
    EXPECT_EQ(end_behaviour(), EndBehaviour::Ask);
    stop_program();
    EXPECT_EQ(asked, (std::vector<std::string>{"Program terminated. Exit window?"}));
    EXPECT_FALSE(program_ending());
    set_end_behaviour(EndBehaviour::Stay);
    stop_program();
    EXPECT_EQ(asked.size(), 1u);
    EXPECT_FALSE(program_ending());
}

TEST_F(FrameTest, CloseFilterRefusesTheFrameAndChildWindowsUntilRemoved) {
    open_window(6, WindowKind::Text, "console");
    auto* frame = internal::frame_widget();
    auto* sub = internal::frame_mdi_area()->subWindowList().value(0);
    ASSERT_NE(sub, nullptr);
    int asked = 0;
    const HookHandle h = set_close_filter([&] {
        ++asked;
        return true;
    });
    ASSERT_NE(h, 0);
    EXPECT_FALSE(sub->close());
    EXPECT_FALSE(frame->close());
    EXPECT_EQ(asked, 2);
    EXPECT_TRUE(frame->isVisible());
    EXPECT_TRUE(Window(6).exists());
    // The program's own closing of a channel is not asked.
    close_window(6);
    EXPECT_FALSE(Window(6).exists());
    EXPECT_EQ(asked, 2);
    EXPECT_TRUE(remove_close_filter(h));
    EXPECT_FALSE(remove_close_filter(h));
    EXPECT_FALSE(close_command_refused());
}

TEST_F(FrameTest, FunctionKeysReachTheFilterOnReleaseOnly) {
    std::vector<int> keys;
    const HookHandle h = set_function_key_filter([&](int key) {
        keys.push_back(key);
        return key != 1;   // F1 passes on
    });
    ASSERT_NE(h, 0);
    QWidget* frame = internal::frame_widget();
    QTest::keyPress(frame, Qt::Key_F11);
    EXPECT_TRUE(keys.empty());
    QTest::keyRelease(frame, Qt::Key_F11);
    QTest::keyRelease(frame, Qt::Key_A);
    QKeyEvent repeat(QEvent::KeyRelease, Qt::Key_F12, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(frame, &repeat);
    open_window(7, WindowKind::Text, "Residuals display");
    QWidget* child = internal::frame_mdi_area()->subWindowList().value(0)->widget();
    QTest::keyRelease(child, Qt::Key_F1);    // passed on: offered once, not again by each parent
    QTest::keyRelease(child, Qt::Key_F12);
    EXPECT_EQ(keys, (std::vector<int>{11, 1, 12}));
    EXPECT_TRUE(remove_function_key_filter(h));
    QTest::keyRelease(frame, Qt::Key_F5);
    EXPECT_EQ(keys.size(), 3u);
}

TEST(Threads, SuspendedThreadRunsAfterResumeAndReportsItsExitCode) {
    std::atomic<bool> ran{false};
    std::atomic<bool> release{false};
    const ThreadHandle h = create_thread(
        [&] {
            ran = true;
            while (!release) sleep_ms(1);
            return 7;
        },
        ThreadPriority::BelowNormal, true);
    ASSERT_NE(h, 0);
    sleep_ms(20);
    EXPECT_FALSE(ran);
    int code = 0;
    ASSERT_TRUE(thread_exit_code(h, code));
    EXPECT_EQ(code, STILL_ACTIVE);
    ASSERT_TRUE(resume_thread(h));
    while (!ran) sleep_ms(1);
    EXPECT_TRUE(thread_still_active(h));
    release = true;
    while (thread_still_active(h)) sleep_ms(1);
    ASSERT_TRUE(thread_exit_code(h, code));
    EXPECT_EQ(code, 7);
    EXPECT_TRUE(close_thread_handle(h));
    EXPECT_FALSE(thread_exit_code(h, code));
    EXPECT_FALSE(close_thread_handle(h));
}

TEST(Threads, JoinWaitsAndAClosedRunningThreadFinishesAlone) {
    std::atomic<int> steps{0};
    const ThreadHandle a = create_thread([&] {
        sleep_ms(10);
        ++steps;
        return 0;
    });
    EXPECT_TRUE(join_thread(a));
    EXPECT_EQ(steps, 1);
    std::atomic<bool> release{false};
    const ThreadHandle b = create_thread([&] {
        while (!release) sleep_ms(1);
        ++steps;
        return 0;
    });
    EXPECT_TRUE(close_thread_handle(b));   // still running: it goes on by itself
    release = true;
    while (steps < 2) sleep_ms(1);
    EXPECT_NE(current_thread_id(), 0u);
}

}  // namespace
}  // namespace tarvex::platform
