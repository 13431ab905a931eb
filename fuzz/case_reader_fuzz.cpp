// Fuzz target: any bytes as a case file, read by INPUT0.
//
// The input is written to a file of its own and read the way a user's case
// is. Beyond the sanitizers, each run checks that the file was closed and
// that the tables stayed within their limits.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/channels.h"
#include "engine/data.h"
#include "engine/engine.h"
#include "engine/instage_internal.h"
#include "engine/limits.h"

namespace {

class NullSink : public tarvex::LineSink {
public:
    void write_line(std::string_view) override {}
};

NullSink g_sink;
std::string g_path;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    tarvex::set_channel_sink(tarvex::CH_CONSOLE, &g_sink);
    tarvex::set_channel_sink(tarvex::CH_DEFAULT, &g_sink);
    const char* dir = std::getenv("TMPDIR");
    g_path = std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/tarvex_fuzz_" +
             std::to_string(::getpid()) + ".case";
    tarvex::filenames.INFILE.assign(g_path);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::FILE* f = std::fopen(g_path.c_str(), "wb");
    if (f == nullptr) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);

    const int status = tarvex::INPUT0();
    if (status != 0 && status != -1) std::abort();
    if (tarvex::casereader::case_file != nullptr) std::abort();   // the file must be closed
    if (tarvex::pbtable.NPB < 0 || tarvex::pbtable.NPB > tarvex::NPBMAX) std::abort();
    if (tarvex::pbtable.PBON != (tarvex::pbtable.NPB > 0 ? 1 : 0)) std::abort();
    if (status == 0) {
        const int n = (tarvex::griddim.NX + 1) * (tarvex::griddim.NY + 1) * (tarvex::griddim.NZ + 1);
        if (n >= tarvex::NCELLMAX) std::abort();
        tarvex::INIVAL();   // new fields over whatever grid was read
    }
    return 0;
}
