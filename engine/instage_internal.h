// Shared state and helpers of the case-file reader (instage_case.cpp,
// instage_grid.cpp, instage_bc.cpp, instage_gains.cpp). Not part of the
// engine's interface.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "engine/data.h"

namespace tarvex::casereader {

inline constexpr int SECTION_LENGTH = 50;

// The case file being read (channel 21), or null outside INPUT0.
extern std::FILE* case_file;

// Name of the section being read, blank-padded.
extern char SECTION[SECTION_LENGTH];
void set_section(std::string_view name);
std::string_view section_text();   // all 50 characters

// Outcome of reading one line of the case file.
enum class LineRead { ok, end_of_file, error };

// Counts the line in NLINE and reads it into LINE (first 132 characters,
// blank-padded; a carriage return before the line end is dropped; the rest of
// a longer line is skipped). The read that meets the end of the file counts.
LineRead read_line();

// Looks for the marker of the current section. Returns 0 when found, 1 when
// the file ended and eof_ends_case is set (the remaining sections are
// absent), -1 after writing the message of any other outcome.
int find_marker(bool eof_ends_case);

// Item kinds of a record: 'i' whole number, 'r' real.
// Reads the next data line and its items in free form. The first `required`
// items must be present; items after them are optional trailing values.
// `count` receives the number of items read. Integers go to ints[] and reals
// to reals[] in record order. Returns 0, or -1 after writing the message.
int read_record(std::string_view kinds, int required, int* ints, double* reals, int& count);

// Parses LINE again (for a record read in two steps). Same results as
// read_record without reading a line.
int parse_record(std::string_view kinds, int required, int* ints, double* reals, int& count);

// Message forms.
void message_reading(const char* text);        // text; SECTION; " at line number " NLINE
void message_values(const char* text);         // text; SECTION; " at line number " NLINE; LINE
void message_located(const char* text);        // SECTION; text NLINE; LINE
std::string line_text();                       // LINE, all 132 characters

// Shared rules of the box sections (11-18).
// Checks a record box against the real cells (location message on failure)
// and puts each pair in ascending order. Returns 0 or -1.
int check_box(int* box);
void blocked_warning(bool flagged);

// Sections, each reading its marker and data. Return 0 or -1; the last
// sections may also return 1: the file ended before their marker.
int read_grid_sections();        // 6-8, grid check, defaults
int read_blockage_sections();    // 9-10, reconciliation, GEOM3D
int read_inflows();              // 11
int read_outflows();             // 12
int read_pressure_bounds();      // 13
int read_heat_gains();           // 14
int read_uvalues();              // 15
int read_contaminant_gains();    // 16
int read_water_gains();          // 17
int read_regions();              // 18

// Absolute zero in degrees C: temperatures at or below it are refused where
// a temperature is always a real one.
inline constexpr double ABSOLUTE_ZERO_C = -KELVIN_OFFSET;

}  // namespace tarvex::casereader
