// The command line, the run defaults and the signal handlers.

#include <signal.h>

#include <cstdint>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "common/channels.h"
#include "common/names.h"
#include "common/textfmt.h"
#include "engine/engine.h"

namespace tarvex {

namespace {

void say(std::string_view text) { write_line(CH_CONSOLE, free_line(text)); }

// The option letter of an argument, in lower case: an argument is recognised
// by a dash and a letter as its first two characters alone (-input is -i).
// 0 when the argument is not of that form.
char option_letter(std::string_view arg) {
    if (arg.size() < 2 || arg[0] != '-') return 0;
    const char c = arg[1];
    if (c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
    if (c >= 'a' && c <= 'z') return c;
    return 0;
}

PaddedName* name_of_option(char letter) {
    switch (letter) {
        case 'i': return &filenames.INFILE;
        case 'o': return &filenames.OUTFILE;
        case 'c': return &filenames.CTLFILE;
        case 'r': return &filenames.RESFILE;
        case 'd': return &filenames.WORKDIR;
        default: return nullptr;
    }
}

void install_handler(int signo, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signo, &action, nullptr);
}

}  // namespace

// The handlers only note that the signal came; nothing acts on the flags.
void ctrlc_handlr(int) { runflags.CTRLCFLAG = 1; }
void sigusr1_handlr(int) { runflags.USR1FLAG = 1; }

// Sets the run defaults and the file names, reads the command line, changes
// the working directory, installs the signal handlers and completes the run
// counts. Returns 0, or -1 after its messages when the command line holds an
// error. Every argument is examined, so all messages of one command line are
// written, except that an unreadable number ends the reading at once.
int PROG_INIT(int argc, const char* const* argv) {
    runctl.RESTART = NOT_SET;
    pbtable.NITER = NOT_SET;
    pbtable.NSAVE = NOT_SET;
    pbtable.NPRINT = NOT_SET;
    runflags.AUTORUN = false;
    runflags.CTRLCFLAG = 0;
    runflags.USR1FLAG = 0;
    runflags.GOFLAG = false;
    runflags.NEWFIELDS = true;
    runflags.FIELDSOK = false;
    filenames.INFILE.assign("INPUT");
    filenames.OUTFILE.assign("OUTPUT");
    filenames.RESFILE.assign("RESIDUALS");
    filenames.CTLFILE.assign("CONTROL");
    filenames.WORKDIR.assign(".");
    int errors = 0;

    for (int a = 1; a < argc; ++a) {
        const std::string_view arg = argv[a] ? argv[a] : "";
        const bool has_next = a + 1 < argc;
        const std::string_view next = has_next && argv[a + 1] ? argv[a + 1] : "";
        const char letter = option_letter(arg);

        switch (letter) {
            case 'h':
                break;

            case 'i':
            case 'o':
            case 'c':
            case 'r':
            case 'd': {
                if (!has_next || next.starts_with('-')) {
                    say("filename missing from command line");
                    ++errors;
                } else if (!name_of_option(letter)->assign(next)) {
                    // Cutting the name would name a different file.
                    write_line(CH_CONSOLE, free_line(" file name longer than", PaddedName::LENGTH,
                                                     "characters after option", arg.substr(0, 2)));
                    ++errors;
                }
                if (has_next) ++a;   // the value is used up either way
                break;
            }

            case 'f':
            case 'n':
            case 's':
            case 'p': {
                if (!has_next) {
                    say("value missing from command line");
                    ++errors;
                    break;
                }
                ++a;
                // -f reads the first character (I1), the counts the first ten (I10).
                long long value = 0;
                if (!read_fixed_int(next, letter == 'f' ? 1 : 10, value) || value < INT32_MIN ||
                    value > INT32_MAX) {
                    say("value missing from command line");
                    return -1;
                }
                const int32_t v = static_cast<int32_t>(value);
                if (letter == 'f') {
                    runctl.RESTART = v;
                    if (v < 0 || v > 2) {
                        say(" invalid restart option");
                        ++errors;
                    }
                    break;
                }
                int32_t& count = letter == 'n' ? pbtable.NITER : letter == 's' ? pbtable.NSAVE : pbtable.NPRINT;
                count = v;
                if (v <= 0) {
                    say(letter == 'n'   ? " invalid iteration number"
                        : letter == 's' ? " invalid save interval number"
                                        : " invalid print interval number");
                    count = NOT_SET;
                    ++errors;
                }
                break;
            }

            case 'g':
                runflags.GOFLAG = true;
                break;

            default:
                say(" unknown command line option");
                ++errors;
                break;
        }
    }

    // Relative file names used later resolve in the working directory.
    if (trim_right(filenames.WORKDIR.padded()) != ".") {
        std::error_code ec;
        std::filesystem::current_path(filenames.WORKDIR.trimmed(), ec);
        if (ec) {
            say("problem changing to working directory");
            ++errors;
        }
    }

    install_handler(SIGINT, ctrlc_handlr);
    install_handler(SIGUSR1, sigusr1_handlr);
    // A save past the file-size limit then fails with an error that the save
    // reports (keeping the earlier file), instead of killing the program.
    install_handler(SIGXFSZ, SIG_IGN);

    if (errors > 0) return -1;

    if (pbtable.NSAVE == NOT_SET && pbtable.NITER != NOT_SET) pbtable.NSAVE = pbtable.NITER;
    if (pbtable.NITER != NOT_SET && pbtable.NSAVE > pbtable.NITER) pbtable.NSAVE = pbtable.NITER;
    if (runflags.GOFLAG && runctl.RESTART == NOT_SET) runctl.RESTART = 0;
    if (runflags.GOFLAG && pbtable.NITER == NOT_SET) {
        // The start-at-once request is dropped; NPRINT stays unset so that a
        // later run records every iteration.
        say("iterations not set");
        runflags.GOFLAG = false;
        return 0;
    }
    if (pbtable.NPRINT == NOT_SET) pbtable.NPRINT = 10;
    if (runctl.RESTART != NOT_SET && pbtable.NSAVE != NOT_SET && pbtable.NITER != NOT_SET) runflags.AUTORUN = true;
    return 0;
}

}  // namespace tarvex
