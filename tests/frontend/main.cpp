// Test main for the Qt-backed tests: an application object on this thread,
// which is then the GUI thread.
#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>
#include <cstring>

#include "platform/gui_thread.h"

#if defined(__SANITIZE_THREAD__)
// Qt is not built with ThreadSanitizer: accesses made by Qt's own code (its
// image conversions run on Qt's thread pool, synchronised by its own futex
// semaphore) are invisible to it and reported as races. Only those are left
// out; every access by our code is still checked, also when Qt's event
// dispatch calls it.
extern "C" const char* __tsan_default_options() { return "ignore_noninstrumented_modules=1"; }
#endif

namespace tarvex {
int program_probe(int argc, char** argv);
int program_probe_answering_boxes(int argc, char** argv);
int program_probe_pausing(int argc, char** argv);
}

int main(int argc, char** argv) {
    // The end-to-end test runs this program again as the whole program.
    if (argc > 1 && std::strcmp(argv[1], "--tarvex-program-probe") == 0) {
        argv[1] = argv[0];
        return tarvex::program_probe(argc - 1, argv + 1);
    }
    if (argc > 1 && std::strcmp(argv[1], "--tarvex-program-pausing") == 0) {
        argv[1] = argv[0];
        return tarvex::program_probe_pausing(argc - 1, argv + 1);
    }
    if (argc > 1 && std::strcmp(argv[1], "--tarvex-program-boxes") == 0) {
        argv[1] = argv[0];
        return tarvex::program_probe_answering_boxes(argc - 1, argv + 1);
    }
    ::testing::InitGoogleTest(&argc, argv);
    // Headless unless a test run asks for a real display.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    tarvex::platform::init_gui_thread();
    return RUN_ALL_TESTS();
}
