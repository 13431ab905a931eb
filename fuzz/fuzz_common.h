// What the reader fuzz targets share: a sink for the console, a scratch file
// per process, a small valid case to read the other files against, and a
// check that no file is left open.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "common/channels.h"
#include "engine/data.h"
#include "engine/engine.h"

namespace tarvex::fuzzing {

class NullSink : public LineSink {
public:
    void write_line(std::string_view) override {}
};

inline NullSink& null_sink() {
    static NullSink sink;
    return sink;
}

// Console and default output go nowhere.
inline void silence() {
    set_channel_sink(CH_CONSOLE, &null_sink());
    set_channel_sink(CH_DEFAULT, &null_sink());
}

// A file name of this process in the scratch folder (TMPDIR).
inline std::string scratch_path(const char* suffix) {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/tarvex_fuzz_" + std::to_string(::getpid()) +
           suffix;
}

inline void write_bytes(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
    if (std::fclose(f) != 0) std::abort();
}

// A case of 3 x 2 x 2 cells with a blocked cell, a half-open cell, an
// inflow, an outflow, a pressure boundary and gains of every kind.
inline const char* const SMALL_CASE =
    "small case for the fuzz targets\n"
    "---\n"
    "3 2 2\n"
    "--- monitor\n1 1 1\n"
    "--- gravity\n0 0 -9.81\n"
    "--- external\n20 0 50\n"
    "--- fluid\n1.2 1.8e-5\n"
    "--- initial\n18 0 40\n"
    "--- x grid\n4 2 0.5\n0 0 0\n"
    "--- y grid\n2 3 1\n0 0 0\n"
    "--- z grid\n2 3 1\n0 0 0\n"
    "--- cell blockage\n2 2 2 2 2 2 0.0\n3 3 2 2 1 1 0.5\n0 0 0 0 0 0 0\n"
    "--- face blockages\n0 0 0 0 0 0 0 0 0\n"
    "--- inflows\n1 1 1 1 1 1 0.01 0.1 0 0 16 0 40\n0 0 0 0 0 0 0 0 0 0\n"
    "--- outflows\n3 3 1 1 1 1 -0.01\n0 0 0 0 0 0 0\n"
    "--- pressure bounds\n1 1 2 2 1 1 1 0.6 0 0.5 -5\n0 0 0 0 0 0\n"
    "--- heat gains\n1 3 1 2 1 2 1 1 1 0\n0 0 0 0 0 0 0 0 0 0\n"
    "--- U-values\n3 3 1 1 1 1 1 0.001 -300\n0 0 0 0 0 0 0 0 0\n"
    "--- contaminant gains\n1 1 1 1 1 1 1 0 1 2\n0 0 0 0 0 0 0 0 0 0\n"
    "--- water gains\n0 0 0 0 0 0 0 0 0 0\n"
    "--- buoyant regions\n0 0 0 0 0 0 0\n";

// Reads the small case (and aborts when it cannot: the targets need it).
inline void load_small_case() {
    const std::string path = scratch_path(".case");
    write_bytes(path, reinterpret_cast<const uint8_t*>(SMALL_CASE), std::strlen(SMALL_CASE));
    if (!filenames.INFILE.assign(path) || INPUT0() != 0) {
        std::fprintf(stderr, "fuzz: the small case cannot be read\n");
        std::abort();
    }
    std::remove(path.c_str());
}

// The lowest free file descriptor: it changes when a reader leaves a file open.
inline int lowest_free_descriptor() {
    const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (fd < 0) std::abort();
    ::close(fd);
    return fd;
}

// Values as bits, so that a NaN or a -0.0 compares too.
inline void add_bits(std::vector<uint64_t>& out, double v) {
    uint64_t b = 0;
    std::memcpy(&b, &v, sizeof b);
    out.push_back(b);
}

}  // namespace tarvex::fuzzing
