// The case file: INPUT0, GRDAT, the line reader, the marker search, the record
// parser, the message forms and the first five sections.

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "common/channels.h"
#include "common/names.h"
#include "common/textfmt.h"
#include "engine/data.h"
#include "engine/engine.h"
#include "engine/instage_files.h"
#include "engine/instage_internal.h"
#include "engine/limits.h"

namespace tarvex {

namespace casereader {

std::FILE* case_file = nullptr;
char SECTION[SECTION_LENGTH];

void set_section(std::string_view name) {
    std::memset(SECTION, ' ', SECTION_LENGTH);
    std::memcpy(SECTION, name.data(), std::min<size_t>(name.size(), SECTION_LENGTH));
}

std::string_view section_text() { return std::string_view(SECTION, SECTION_LENGTH); }

std::string line_text() { return std::string(runctl.LINE, LINE_LENGTH); }

namespace {

// Reads one line into LINE without counting it.
LineRead read_raw_line() {
    std::memset(runctl.LINE, ' ', LINE_LENGTH);
    if (case_file == nullptr) return LineRead::error;
    int c = std::getc(case_file);
    if (c == EOF) return std::ferror(case_file) ? LineRead::error : LineRead::end_of_file;
    long long length = 0;
    int last = 0;
    while (c != EOF && c != '\n') {
        if (length < LINE_LENGTH) runctl.LINE[length] = static_cast<char>(c);
        ++length;
        last = c;
        c = std::getc(case_file);
    }
    if (c == EOF && std::ferror(case_file)) return LineRead::error;
    // A line written with a carriage return before its line end.
    if (last == '\r' && length <= LINE_LENGTH) runctl.LINE[length - 1] = ' ';
    return LineRead::ok;
}

void count_line() {
    if (runflags.NLINE < INT32_MAX) ++runflags.NLINE;
}

void console(const std::string& line) { write_line(CH_CONSOLE, line); }

}  // namespace

LineRead read_line() {
    count_line();
    return read_raw_line();
}

void message_reading(const char* text) {
    console(free_line(text));
    console(free_line(section_text()));
    console(free_line(" at line number ", runflags.NLINE));
}

void message_values(const char* text) {
    message_reading(text);
    console(free_line(line_text()));
}

void message_located(const char* text) {
    console(free_line(section_text()));
    console(free_line(text, runflags.NLINE));
    console(free_line(line_text()));
}

int find_marker(bool eof_ends_case) {
    for (;;) {
        const LineRead r = read_line();
        if (r == LineRead::end_of_file) {
            if (eof_ends_case) return 1;
            message_reading(" unexpected end of input file");
            return -1;
        }
        if (r == LineRead::error) {
            message_reading(" error in reading datafile");
            return -1;
        }
        const char* line = runctl.LINE;
        if (line[2] == ' ') continue;   // blank third character: skipped
        if (line[0] == '-' && line[1] == '-' && line[2] == '-') return 0;
        console(free_line(" position flag not found in line number", runflags.NLINE));
        console(free_line(" expecting section start ", section_text()));
        return -1;
    }
}

int parse_record(std::string_view kinds, int required, int* ints, double* reals, int& count) {
    FreeFormReader reader(std::string_view(runctl.LINE, LINE_LENGTH));
    count = 0;
    int ni = 0;
    int nr = 0;
    for (const char kind : kinds) {
        ReadStatus st;
        if (kind == 'i') {
            int value = 0;
            st = reader.read(value);
            if (st == ReadStatus::ok) ints[ni++] = value;
        } else {
            double value = 0.0;
            st = reader.read(value);
            if (st == ReadStatus::ok) reals[nr++] = value;
        }
        if (st == ReadStatus::missing) break;
        if (st == ReadStatus::bad) {
            message_values(" error reading values");
            return -1;
        }
        ++count;
    }
    if (count < required) {
        message_values(" missing data in file,");
        return -1;
    }
    return 0;
}

int read_record(std::string_view kinds, int required, int* ints, double* reals, int& count) {
    count = 0;
    const LineRead r = read_line();
    if (r == LineRead::end_of_file) {
        message_reading(" unexpected end of input file");
        return -1;
    }
    if (r == LineRead::error) {
        message_reading(" error in reading datafile");
        return -1;
    }
    return parse_record(kinds, required, ints, reals, count);
}

namespace {

// Sections 1 to 5: one data line each.

int read_monitor() {
    set_section("in monitor location");
    if (find_marker(false) != 0) return -1;
    int iv[3];
    int count;
    if (read_record("iii", 3, iv, nullptr, count) != 0) return -1;
    runctl.MONI = iv[0];
    runctl.MONJ = iv[1];
    runctl.MONK = iv[2];
    if (iv[0] < 1 || iv[0] > griddim.NX || iv[1] < 1 || iv[1] > griddim.NY || iv[2] < 1 ||
        iv[2] > griddim.NZ) {
        console(free_line(" monitor location outside of grid"));
        return -1;
    }
    console(free_line("monitor location", runctl.MONI, runctl.MONJ, runctl.MONK));
    return 0;
}

int read_gravity() {
    set_section("in gravity vector");
    if (find_marker(false) != 0) return -1;
    double rv[3];
    int count;
    if (read_record("rrr", 3, nullptr, rv, count) != 0) return -1;
    runctl.GX = rv[0];
    runctl.GY = rv[1];
    runctl.GZ = rv[2];
    return 0;
}

int read_external() {
    set_section("in external conditions");
    if (find_marker(false) != 0) return -1;
    double rv[3] = {0.0, 0.0, 0.0};
    int count;
    if (read_record("rrr", 2, nullptr, rv, count) != 0) return -1;
    const double t = rv[0];
    const double c = rv[1];
    const double rh = count >= 3 ? rv[2] : 0.0;
    if (t <= ABSOLUTE_ZERO_C) {   // would give a zero or negative density
        message_values(" error reading values");
        return -1;
    }
    runctl.C2EXT = RH2WC(rh, t);
    runctl.TEXT = t + KELVIN_OFFSET;
    runctl.CEXT = c / 1000.0;
    return 0;
}

int read_fluid() {
    set_section("in fluid parameters");
    if (find_marker(false) != 0) return -1;
    double rv[2];
    int count;
    if (read_record("rr", 2, nullptr, rv, count) != 0) return -1;
    runctl.DENS = rv[0];
    runctl.VISC = rv[1];
    return 0;
}

int read_initial() {
    set_section("in initial conditions");
    if (find_marker(false) != 0) return -1;
    double rv[3] = {0.0, 0.0, 0.0};
    int count;
    if (read_record("rrr", 0, nullptr, rv, count) != 0) return -1;
    const double t = count >= 1 ? rv[0] : 10.0;
    const double c = count >= 2 ? rv[1] : 0.0;
    const double rh = count >= 3 ? rv[2] : 0.0;
    if (t <= ABSOLUTE_ZERO_C) {
        message_values(" error reading values");
        return -1;
    }
    runctl.C2INIT = RH2WC(rh, t);
    runctl.TINIT = t + KELVIN_OFFSET;
    runctl.CINIT = c / 1000.0;
    return 0;
}

// The description header; 0 when its end line was found.
int read_header(const std::string& name) {
    set_section("in description header");
    for (int n = 1; n <= 24; ++n) {
        const LineRead r = read_line();
        if (r == LineRead::error) {
            message_reading(" error in reading datafile");
            return -1;
        }
        if (r == LineRead::end_of_file) break;
        if (std::strncmp(runctl.LINE, "---", 3) == 0) return 0;
        console(std::string(trim_right(std::string_view(runctl.LINE, LINE_LENGTH))));
    }
    console(free_line(" error reading data file :"));
    console(free_line(name));
    return -1;
}

// The domain size: three whole numbers, over as many lines as they take,
// counted as one line.
int read_domain_size(int counts[3]) {
    set_section("in domain size");
    count_line();
    int got = 0;
    while (got < 3) {
        if (read_raw_line() != LineRead::ok) {
            message_reading(" error in reading datafile");
            return -1;
        }
        FreeFormReader reader(std::string_view(runctl.LINE, LINE_LENGTH));
        while (got < 3) {
            const ReadStatus st = reader.read(counts[got]);
            if (st == ReadStatus::missing) break;
            if (st == ReadStatus::bad) {
                message_reading(" error in reading datafile");
                return -1;
            }
            ++got;
        }
    }
    return 0;
}

struct CaseFile {
    explicit CaseFile(std::FILE* f) { case_file = f; }
    ~CaseFile() {
        if (case_file != nullptr) std::fclose(case_file);
        case_file = nullptr;
    }
    CaseFile(const CaseFile&) = delete;
    CaseFile& operator=(const CaseFile&) = delete;
};

}  // namespace

}  // namespace casereader

using namespace casereader;

int INPUT0() {
    runflags.NLINE = 0;
    write_line(CH_CONSOLE, "");
    write_line(CH_CONSOLE, "");
    write_line(CH_CONSOLE, free_line(std::string(37, '-')));

    const std::string name = filenames.INFILE.trimmed();
    // Only a regular file is read: a directory cannot be, and a device or a
    // pipe may block the open or never end.
    std::string why;
    const int fd = files::open_regular(name, why);
    std::FILE* f = fd >= 0 ? ::fdopen(fd, "rb") : nullptr;
    if (f == nullptr) {
        if (fd >= 0) {
            why = files::reason(errno);
            ::close(fd);
        }
        write_line(CH_CONSOLE, free_line(" error opening data file :"));
        write_line(CH_CONSOLE, free_line(name));
        write_line(CH_CONSOLE, free_line(why));
        return -1;
    }
    CaseFile file(f);   // closed whichever way this routine ends
    write_line(CH_CONSOLE, free_line(" reading input file..."));

    if (read_header(name) != 0) return -1;

    int counts[3] = {0, 0, 0};
    if (read_domain_size(counts) != 0) return -1;
    for (int& n : counts) n = std::max(n, 1);
    write_line(CH_CONSOLE, free_line(" setting up grid dimensions...", counts[0], counts[1], counts[2]));

    if (SETUP_ARRAY(counts[0], counts[1], counts[2]) != 0) {
        write_line(CH_CONSOLE, free_line(" sorry, not enough memory available", " in this version"));
        write_line(CH_CONSOLE, free_line(" maximum number of cells available: ", NCELLMAX));
        return -1;
    }
    const long long padded = static_cast<long long>(griddim.NX + 1) * (griddim.NY + 1) * (griddim.NZ + 1);
    write_line(CH_CONSOLE, " memory usage: " + fmt_i(padded, 8) + " cells  of " + fmt_i(NCELLMAX, 8) +
                               " cells available");
    runflags.NEWFIELDS = true;

    int status = 0;
    GRDAT(status);

    if (status == 0) {
        runctl.BUOYX = runctl.GX * AIRDEN;
        runctl.BUOYY = runctl.GY * AIRDEN;
        runctl.BUOYZ = runctl.GZ * AIRDEN;
        runctl.RTREF0 = 1.0 / runctl.TINIT;
    }
    return status;
}

void GRDAT(int& status) {
    status = 0;
    pbtable.NPB = 0;
    pbtable.PBON = 0;
    BUILD_PBCELLS();

    int (*const sections[])() = {
        read_monitor, read_gravity, read_external, read_fluid, read_initial,
        read_grid_sections, read_blockage_sections,
        read_inflows, read_outflows, read_pressure_bounds,
        read_heat_gains, read_uvalues, read_contaminant_gains, read_water_gains, read_regions,
    };
    for (auto* section : sections) {
        const int r = section();
        if (r < 0) {
            status = -1;
            return;
        }
        if (r > 0) break;   // the file ended before the marker of one of the last sections
    }
    status = 0;
}

}  // namespace tarvex
