// Helpers for the case-reader tests: a small case built from its sections,
// written to a temporary file and read with INPUT0 while the console and the
// default output are captured.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/channels.h"
#include "common/textfmt.h"
#include "engine/data.h"
#include "engine/engine.h"

namespace tarvex::testing {

using Lines = std::vector<std::string>;

inline int at(int i, int j, int k) { return ARIDX(i, j, k); }

// The two lines a section writes when it assigned values to blocked cells.
inline const Lines WARNING = {" Warning.. values assigned to blocked cells",
                              "           check totals against expected"};

inline const char* const SECTION_NAMES[18] = {
    "in monitor location",   "in gravity vector",      "in external conditions",
    "in fluid parameters",   "in initial conditions",  "in X grid dimensions",
    "in Y grid dimensions",  "in Z grid dimensions",   "in cell blockage",
    "in face blockages",     "in inflow section",      "in outflow section",
    "in pressure bounds section", "in heat gains section", "in Temp/Uval section",
    "in contaminant section", "in water contaminant section", "in buoyant region section",
};

// The console line that shows a section name (blank-padded to 50).
inline std::string section_line(const std::string& name) {
    std::string s = name;
    s.resize(50, ' ');
    return " " + s;
}

// The console line that echoes a data line (blank-padded to 132).
inline std::string echo_line(const std::string& line) {
    std::string s = line.substr(0, std::min<size_t>(line.size(), 132));
    s.resize(132, ' ');
    return " " + s;
}

// A case of 4 x 3 x 2 cells on a non-uniform grid:
//   x widths 0.5 0.5 1 1   (X = 0 0.5 1 2 3)
//   y widths 1 1 1         (Y = 0 1 2 3)
//   z widths 1.25 1.25     (Z = 0 1.25 2.5)
// with empty lists. Each section holds its data lines (terminator included);
// `markers[n]` is the marker line of section n+1.
struct CaseText {
    std::vector<std::string> header = {"small test case", ""};
    std::string domain = "4 3 2";
    std::array<std::string, 18> data = {
        "1 1 1",
        "0 0 -9.81",
        "20 0 0",
        "1.2 1.8e-5",
        "20 0 0",
        "2 3 0.5\n4 5 1.0\n0 0 0",
        "2 4 1.0\n0 0 0",
        "2 3 1.25\n0 0 0",
        "0 0 0 0 0 0 0",
        "0 0 0 0 0 0 0 0 0",
        "0 0 0 0 0 0 0 0 0 0",
        "0 0 0 0 0 0 0",
        "0 0 0 0 0 0",
        "0 0 0 0 0 0 0 0 0 0",
        "0 0 0 0 0 0 0 0 0",
        "0 0 0 0 0 0 0 0 0 0",
        "0 0 0 0 0 0 0 0 0 0",
        "0 0 0 0 0 0 0",
    };
    std::array<std::string, 18> markers;
    int sections = 18;   // the file stops after this many sections
    std::string eol = "\n";

    CaseText() {
        for (int n = 0; n < 18; ++n) markers[n] = std::string("--- ") + SECTION_NAMES[n];
    }

    // Line number of the first data line of section n (1-based), counting
    // every line as written.
    std::string text() const {
        std::string out;
        auto add = [&](const std::string& block) {
            size_t start = 0;
            for (;;) {
                const size_t nl = block.find('\n', start);
                out += block.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
                out += eol;
                if (nl == std::string::npos) break;
                start = nl + 1;
            }
        };
        for (const auto& h : header) add(h);
        add("--- end of header");
        add(domain);
        for (int n = 0; n < sections; ++n) {
            add(markers[n]);
            add(data[n]);
        }
        return out;
    }
};

// Lines of the file before the marker of section n (1-based): where messages
// about that section's lines are counted from.
inline int marker_line(const CaseText& c, int n) {
    int line = static_cast<int>(c.header.size()) + 2;   // header, its end, domain
    for (int s = 0; s < n - 1; ++s) line += 1 + static_cast<int>(std::count(c.data[s].begin(), c.data[s].end(), '\n')) + 1;
    return line + 1;
}

struct LoadResult {
    int status = 0;
    std::vector<std::string> console;
    std::vector<std::string> defaults;

    // True when `expected` appears as consecutive console lines.
    bool has(const std::vector<std::string>& expected) const {
        if (expected.empty()) return true;
        for (size_t i = 0; i + expected.size() <= console.size(); ++i)
            if (std::equal(expected.begin(), expected.end(), console.begin() + i)) return true;
        return false;
    }
    bool has(const std::string& line) const { return has(std::vector<std::string>{line}); }
    std::string dump() const {
        std::string s;
        for (const auto& l : console) s += "|" + l + "|\n";
        return s;
    }
};

// A scratch directory of this test process, removed when the process ends.
inline std::filesystem::path temp_dir() {
    struct Scratch {
        std::filesystem::path path;
        Scratch() : path(std::filesystem::temp_directory_path() / ("tarvex_case_test_" + std::to_string(::getpid()))) {
            std::filesystem::create_directories(path);
        }
        ~Scratch() {
            std::error_code ec;
            std::filesystem::remove_all(path, ec);
        }
    };
    static const Scratch scratch;
    return scratch.path;
}

inline std::string write_file(const std::string& name, const std::string& bytes) {
    const auto path = temp_dir() / name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    return path.string();
}

// Reads the file at path with INPUT0.
inline LoadResult load_path(const std::string& path) {
    CaptureSink console;
    CaptureSink defaults;
    LoadResult r;
    {
        ScopedChannelSink c(CH_CONSOLE, &console);
        ScopedChannelSink d(CH_DEFAULT, &defaults);
        filenames.INFILE.assign(path);
        r.status = INPUT0();
    }
    r.console = console.lines();
    r.defaults = defaults.lines();
    return r;
}

inline LoadResult load_text(const std::string& bytes, const std::string& name = "case.txt") {
    return load_path(write_file(name, bytes));
}

inline LoadResult load_case(const CaseText& c) { return load_text(c.text()); }

inline double uval(int i, int j, int k, int face) { return uvaltab.UVAL[uvidx(ARIDX(i, j, k), face)]; }
inline double uvalt(int i, int j, int k, int face) { return uvaltab.UVALT[uvidx(ARIDX(i, j, k), face)]; }

}  // namespace tarvex::testing
