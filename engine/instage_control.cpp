// The control file: the numerical settings of a run.
//
// A header of free lines closed by a "---" line, then nine sections of one
// data line each, every section but the first opened by a "---" line that
// must follow the previous data line directly. Values go into RUNCTL as they
// are read; a file that fails anywhere puts back every value as it was
// before the read, and a relaxation factor or time step the equations would
// divide by is refused.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "common/channels.h"
#include "common/textfmt.h"
#include "engine/engine.h"
#include "engine/instage_files.h"

namespace tarvex {

namespace {

constexpr int SECTION_LENGTH = 50;

std::string padded(std::string_view text, int width) {
    std::string out(text.substr(0, static_cast<size_t>(width)));
    out.resize(static_cast<size_t>(width), ' ');
    return out;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

enum class LineRead { ok, eof, error };
enum class Outcome { ok, missing, bad };

Outcome outcome_of(ReadStatus s) {
    switch (s) {
        case ReadStatus::ok: return Outcome::ok;
        case ReadStatus::missing: return Outcome::missing;
        default: return Outcome::bad;
    }
}

class ControlReader {
public:
    explicit ControlReader(std::FILE* f) : file_(f) { section_ = padded(" in header", SECTION_LENGTH); }

    void set_section(std::string_view text) { section_ = padded(text, SECTION_LENGTH); }

    // Reads the next line of the file: counts it in NLINE (also when the file
    // ends there), keeps its first LINE_LENGTH characters and drops a carriage
    // return that ends the line.
    LineRead next_line(std::string& text) {
        runflags.NLINE += 1;
        text.clear();
        size_t length = 0;          // characters before the line end
        bool last_cr = false;
        for (;;) {
            int c = std::getc(file_);
            if (c == EOF) {
                if (std::ferror(file_)) return LineRead::error;
                if (length == 0) return LineRead::eof;
                break;
            }
            if (c == '\n') break;
            ++length;
            last_cr = (c == '\r');
            if (text.size() <= static_cast<size_t>(LINE_LENGTH)) text.push_back(static_cast<char>(c));
        }
        if (last_cr) --length;      // a carriage return before the line end is not text
        text.resize(std::min(length, static_cast<size_t>(LINE_LENGTH)));
        return LineRead::ok;
    }

    static bool is_marker(const std::string& text) { return text.compare(0, 3, "---") == 0; }

    // Reads the next line as a marker line. False after writing the message.
    bool marker() {
        std::string text;
        switch (next_line(text)) {
            case LineRead::error: read_error(); return false;
            case LineRead::eof: end_of_file(); return false;
            case LineRead::ok: break;
        }
        if (!is_marker(text)) {
            write_line(CH_CONSOLE, free_line(" position flag not found in line number", runflags.NLINE));
            write_line(CH_CONSOLE, free_line(" expecting section start ", section_));
            return false;
        }
        return true;
    }

    // Reads the next line into LINE (blank-padded). False after the message.
    bool data_line() {
        std::string text;
        switch (next_line(text)) {
            case LineRead::error: read_error(); return false;
            case LineRead::eof: end_of_file(); return false;
            case LineRead::ok: break;
        }
        std::string line = padded(text, LINE_LENGTH);
        line.copy(runctl.LINE, LINE_LENGTH);
        return true;
    }

    std::string_view line() const { return std::string_view(runctl.LINE, LINE_LENGTH); }

    void read_error() const {
        write_line(CH_CONSOLE, free_line(" error reading input file"));
        write_line(CH_CONSOLE, free_line(section_));
        write_line(CH_CONSOLE, free_line(" at line number ", runflags.NLINE));
    }
    void end_of_file() const {
        write_line(CH_CONSOLE, free_line(" unexpected end of input file"));
        write_line(CH_CONSOLE, free_line(section_));
        write_line(CH_CONSOLE, free_line(" at line number ", runflags.NLINE));
    }
    void value_error(Outcome o) const {
        write_line(CH_CONSOLE, free_line(o == Outcome::missing ? " missing data in file," : " error reading values"));
        write_line(CH_CONSOLE, free_line(section_));
        write_line(CH_CONSOLE, free_line(" at line number ", runflags.NLINE));
        write_line(CH_CONSOLE, free_line(line()));
    }
    void model_error(int model) const {
        write_line(CH_CONSOLE, free_line(section_));
        write_line(CH_CONSOLE, free_line(" turbulence model not available : ", model));
        write_line(CH_CONSOLE, free_line(" at line number ", runflags.NLINE));
        write_line(CH_CONSOLE, free_line(line()));
    }

private:
    std::FILE* file_;
    std::string section_;
};

// Reads items of one data line in order, storing each as it is read; the
// first item that is missing or unreadable ends the reading.
class Items {
public:
    explicit Items(std::string_view line) : reader_(line) {}
    template <typename T>
    Items& operator()(T& target) {
        if (outcome_ != Outcome::ok) return *this;
        T value{};
        outcome_ = outcome_of(reader_.read(value));
        if (outcome_ == Outcome::ok) target = value;
        return *this;
    }
    Outcome outcome() const { return outcome_; }

private:
    FreeFormReader reader_;
    Outcome outcome_ = Outcome::ok;
};

// A relaxation factor or time step that the equations divide by.
bool usable_divisor(double v) { return std::isfinite(v) && v > 0.0; }

int read_sections(ControlReader& in) {
    // Header: free lines up to the first "---" line.
    for (;;) {
        std::string text;
        LineRead r = in.next_line(text);
        if (r == LineRead::error) { in.read_error(); return -1; }
        if (r == LineRead::eof) { in.end_of_file(); return -1; }
        if (ControlReader::is_marker(text)) break;
    }

    // 1. Turbulence model, factor, a third value that nothing uses.
    in.set_section(" in turbulence ");
    if (!in.data_line()) return -1;
    {
        double unused = 0.0;
        Items items(in.line());
        items(runctl.ITURB)(runctl.TURBP1)(unused);
        if (items.outcome() != Outcome::ok) { in.value_error(items.outcome()); return -1; }
        runctl.VISEFF = runctl.TURBP1 * runctl.VISC;
        if (!std::isfinite(runctl.VISEFF)) { in.value_error(Outcome::bad); return -1; }
        if (runctl.ITURB < 1 || runctl.ITURB > 3) { in.model_error(runctl.ITURB); return -1; }
        runctl.NEWDIST = true;
    }

    // 2. Convergence limits. Read once for five values without judging the
    // outcome, then again for the four required ones.
    in.set_section(" in convergence ");
    if (!in.marker() || !in.data_line()) return -1;
    {
        Items five(in.line());
        double c2 = 0.0;
        five(runctl.CONVU)(runctl.CONVM)(runctl.CONVT)(runctl.CONVC)(c2);
        bool have_c2 = five.outcome() == Outcome::ok;
        if (have_c2) runctl.CONVC2 = c2;

        Items four(in.line());
        four(runctl.CONVU)(runctl.CONVM)(runctl.CONVT)(runctl.CONVC);
        if (four.outcome() != Outcome::ok) { in.value_error(four.outcome()); return -1; }
        if (!have_c2 || !(c2 > 0.0)) runctl.CONVC2 = runctl.CONVC;
    }

    // 3. Velocity-pressure sweeps.
    in.set_section(" in uvwp passes ");
    if (!in.marker() || !in.data_line()) return -1;
    {
        Items items(in.line());
        items(runctl.NPASS);
        if (items.outcome() != Outcome::ok) { in.value_error(items.outcome()); return -1; }
    }

    // 4. Temperature switch and sweeps.
    in.set_section(" in temperature passes");
    if (!in.marker() || !in.data_line()) return -1;
    {
        Items items(in.line());
        items(runctl.ITEMP)(runctl.NPASST);
        if (items.outcome() != Outcome::ok) { in.value_error(items.outcome()); return -1; }
    }

    // 5. Concentration switch and sweeps.
    in.set_section(" in concentration passes");
    if (!in.marker() || !in.data_line()) return -1;
    {
        Items items(in.line());
        items(runctl.ICONC)(runctl.NPASSC);
        if (items.outcome() != Outcome::ok) { in.value_error(items.outcome()); return -1; }
    }

    // 6. Time-step switch and time step; in time-step mode the step divides
    // the time terms, so it must be positive and finite.
    in.set_section(" in timestep");
    if (!in.marker() || !in.data_line()) return -1;
    {
        FreeFormReader reader(in.line());
        int itrans = 0;
        Outcome o = outcome_of(reader.read(itrans));
        if (o == Outcome::ok) {
            runctl.ITRANS = itrans;
            double dt = 0.0;
            o = outcome_of(reader.read(dt));
            if (o == Outcome::ok && itrans == 1 && !usable_divisor(dt)) o = Outcome::bad;
            if (o == Outcome::ok) runctl.DT = dt;
        }
        if (o != Outcome::ok) { in.value_error(o); return -1; }
    }

    // 7. Relaxation factors: flow, temperature, pressure, contaminant, a
    // fifth value that must not be negative, and the pressure-level factor.
    // Too few values fail as a bad value (a missing fifth counts as
    // negative); a factor of 0 or below is refused and not stored.
    in.set_section(" in relaxation factors");
    if (!in.marker() || !in.data_line()) return -1;
    {
        FreeFormReader reader(in.line());
        double* factors[4] = {&runctl.RLXU, &runctl.RLXT, &runctl.RLXP, &runctl.RLXC};
        for (double* target : factors) {
            double v = 0.0;
            if (reader.read(v) != ReadStatus::ok || !usable_divisor(v)) {
                in.value_error(Outcome::bad);
                return -1;
            }
            *target = v;
        }
        double fifth = -1.0;
        if (reader.read(fifth) != ReadStatus::ok || fifth < 0.0) {
            in.value_error(Outcome::bad);
            return -1;
        }
        double adj = -1.0;
        ReadStatus s = reader.read(adj);
        if (s == ReadStatus::bad) { in.value_error(Outcome::bad); return -1; }
        runctl.RLXADJ = (s == ReadStatus::ok && adj >= 0.0) ? adj : 0.01;
        runctl.RLXV = runctl.RLXU;
        runctl.RLXW = runctl.RLXU;
        c2eq.RLXC2 = runctl.RLXC;
    }

    // 8. Print switch.
    in.set_section(" in print ");
    if (!in.marker() || !in.data_line()) return -1;
    {
        Items items(in.line());
        items(runctl.IPRINT);
        if (items.outcome() != Outcome::ok) { in.value_error(items.outcome()); return -1; }
    }

    // 9. End time.
    in.set_section(" in time at end");
    if (!in.marker() || !in.data_line()) return -1;
    {
        Items items(in.line());
        items(runctl.TEND);
        if (items.outcome() != Outcome::ok) { in.value_error(items.outcome()); return -1; }
    }
    return 0;
}

}  // namespace

int INPUT1() {
    const std::string name = filenames.CTLFILE.trimmed();
    // Only a regular file is read (a pipe would block the open or the reads).
    std::string why;
    const int fd = files::open_regular(name, why);
    FilePtr file(fd >= 0 ? ::fdopen(fd, "rb") : nullptr);
    if (!file) {
        if (fd >= 0) {
            why = files::reason(errno);
            ::close(fd);
        }
        write_line(CH_CONSOLE, free_line(" error opening control file"));
        write_line(CH_CONSOLE, free_line(filenames.CTLFILE.padded()));
        write_line(CH_CONSOLE, free_line(why));
        return -1;
    }
    runflags.NLINE = 0;
    // A file that fails part-way changes none of the settings: the values of
    // the sections before the fault would otherwise mix with those of the
    // control file loaded before.
    const RUNCTL before = runctl;
    const double rlxc2_before = c2eq.RLXC2;
    ControlReader reader(file.get());
    const int status = read_sections(reader);   // the file closes on every path
    if (status != 0) {
        runctl = before;
        c2eq.RLXC2 = rlxc2_before;
    }
    return status;
}

}  // namespace tarvex
