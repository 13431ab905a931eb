// The saved-data file: the solution fields of a case, written at the save
// points of a run and read back to start a later run from them.
//
// Layout: line 1 holds NX, NY, NZ (3I4); then blocks of E13.7 values, six to a
// line, each block starting on a new line, loops with I outermost and K
// fastest: U, V, W, pairs of P and T, C and C2 in g/kg, the grid lines X, Y,
// Z, and the open fractions CPR, CPRU, CPRV, CPRW. Only the first seven
// blocks are read back.
//
// Writing goes to a temporary file beside the target, which replaces the
// target only once it is complete, so a failed save keeps the previous file.
// Reading goes into scratch storage, and the fields change only once blocks 1
// to 7 have been read whole and found sound.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "common/channels.h"
#include "common/textfmt.h"
#include "engine/engine.h"

namespace tarvex {

namespace {

constexpr int VALUE_WIDTH = 13;     // E13.7
constexpr int VALUES_PER_LINE = 6;
constexpr int GRID_WIDTH = 4;       // 3I4

void console(const std::string& line) { write_line(CH_CONSOLE, line); }

std::string reason(int err) { return std::string("(") + std::strerror(err) + ")"; }

// ---- writing -------------------------------------------------------------

// Collects the file's text and hands it to the descriptor in large pieces.
class SavedWriter {
public:
    explicit SavedWriter(int fd) : fd_(fd) { buf_.reserve(CHUNK + 256); }

    void text(std::string_view s) {
        buf_.append(s);
        flush_if_full();
    }

    void value(double v) {
        append_e(buf_, v, VALUE_WIDTH, 7);
        block_has_values_ = true;
        if (++on_line_ == VALUES_PER_LINE) {
            buf_ += '\n';
            on_line_ = 0;
            flush_if_full();
        }
    }

    // Ends the block's last line. A block without values is one empty line.
    void end_block() {
        if (on_line_ > 0 || !block_has_values_) buf_ += '\n';
        on_line_ = 0;
        block_has_values_ = false;
        flush_if_full();
    }

    // Writes what is left; false (with the error number kept) on failure.
    bool finish() {
        flush();
        return !failed_;
    }
    int error() const { return err_; }

private:
    static constexpr std::size_t CHUNK = 1 << 20;

    void flush_if_full() {
        if (buf_.size() >= CHUNK) flush();
    }

    void flush() {
        const char* p = buf_.data();
        std::size_t left = buf_.size();
        while (left > 0 && !failed_) {
            const ssize_t n = ::write(fd_, p, left);
            if (n < 0) {
                if (errno == EINTR) continue;
                failed_ = true;
                err_ = errno;
            } else {
                p += n;
                left -= static_cast<std::size_t>(n);
            }
        }
        buf_.clear();
    }

    int fd_;
    std::string buf_;
    int on_line_ = 0;
    bool block_has_values_ = false;
    bool failed_ = false;
    int err_ = 0;
};

void write_blocks(SavedWriter& w) {
    const int nx = griddim.NX, ny = griddim.NY, nz = griddim.NZ;
    w.text(fmt_i(nx, GRID_WIDTH) + fmt_i(ny, GRID_WIDTH) + fmt_i(nz, GRID_WIDTH) + "\n");

    // One block over I = 1..ni, J = 1..nj, K = 1..nk, K fastest.
    auto cells = [&w](int ni, int nj, int nk, auto&& put) {
        for (int i = 1; i <= ni; ++i)
            for (int j = 1; j <= nj; ++j)
                for (int k = 1; k <= nk; ++k) put(ARIDX(i, j, k));
        w.end_block();
    };
    cells(nx, ny, nz, [&](int p) { w.value(fields.U[p]); });
    cells(nx, ny, nz, [&](int p) { w.value(fields.V[p]); });
    cells(nx, ny, nz, [&](int p) { w.value(fields.W[p]); });
    cells(nx, ny, nz, [&](int p) {
        w.value(fields.P[p]);
        w.value(fields.T[p]);
    });
    cells(nx, ny, nz, [&](int p) { w.value(fields.C[p] * 1000.0); });
    cells(nx, ny, nz, [&](int p) { w.value(c2eq.C2[p] * 1000.0); });

    auto lines = [&w](const double* pos, int n) {
        for (int i = 0; i <= n; ++i) w.value(pos[i]);
        w.end_block();
    };
    lines(gridline.X, nx);
    lines(gridline.Y, ny);
    lines(gridline.Z, nz);

    cells(nx, ny, nz, [&](int p) { w.value(fields.CPR[p]); });
    cells(nx + 1, ny, nz, [&](int p) { w.value(fields.CPRU[p]); });
    cells(nx, ny + 1, nz, [&](int p) { w.value(fields.CPRV[p]); });
    cells(nx, ny, nz + 1, [&](int p) { w.value(fields.CPRW[p]); });
}

// A name for the temporary file beside the target, unique in this process:
// the target's name with a suffix, or (when that would be too long a name) a
// short name in the target's directory.
std::string temporary_name(const std::string& target, bool short_form) {
    static std::atomic<unsigned> counter{0};
    const std::string suffix = ".tmp" + std::to_string(::getpid()) + "." + std::to_string(counter++);
    if (!short_form) return target + suffix;
    const std::size_t slash = target.rfind('/');
    return (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) + ".tarvex-save" + suffix;
}

// ---- reading -------------------------------------------------------------

// Reads a file line by line through a fixed buffer; a line longer than the
// limit is refused without being kept, so no content can make it grow.
class LineReader {
public:
    enum Result { LINE, END, TOO_LONG, FAILED };

    explicit LineReader(int fd) : fd_(fd), buf_(1 << 16) {}

    Result next(std::string& line, std::size_t limit) {
        line.clear();
        for (;;) {
            if (pos_ == len_) {
                if (eof_) return line.empty() ? END : LINE;   // a last line may lack its line end
                const ssize_t n = ::read(fd_, buf_.data(), buf_.size());
                if (n < 0) {
                    if (errno == EINTR) continue;
                    err_ = errno;
                    return FAILED;
                }
                pos_ = 0;
                len_ = static_cast<std::size_t>(n);
                if (n == 0) eof_ = true;
                continue;
            }
            const char* start = buf_.data() + pos_;
            const void* nl = std::memchr(start, '\n', len_ - pos_);
            const std::size_t take =
                nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - start) : len_ - pos_;
            if (line.size() + take > limit) return TOO_LONG;
            line.append(start, take);
            pos_ += take;
            if (nl) {
                ++pos_;
                return LINE;
            }
        }
    }

    int error() const { return err_; }

private:
    int fd_;
    std::vector<char> buf_;
    std::size_t pos_ = 0, len_ = 0;
    bool eof_ = false;
    int err_ = 0;
};

bool all_blank(std::string_view s) {
    for (char c : s)
        if (c != ' ') return false;
    return true;
}

// Reads n fixed fields of width w from a line (its CR already removed). Every
// field must be there in full (a cut line would otherwise give a cut value)
// and readable, and only blanks may follow the last one.
template <typename ReadField>
bool read_fields(std::string_view line, int n, int w, std::string& why, ReadField&& read_field) {
    if (line.size() < static_cast<std::size_t>(n) * w) {
        why = "too few values on the line";
        return false;
    }
    for (int f = 0; f < n; ++f) {
        const std::string_view field = line.substr(static_cast<std::size_t>(f) * w, w);
        if (all_blank(field)) {
            why = "too few values on the line";
            return false;
        }
        if (!read_field(f, field)) {
            why = "value " + std::to_string(f + 1) + " on the line is not a number";
            return false;
        }
    }
    const std::size_t end = static_cast<std::size_t>(n) * w;
    if (line.size() > end && !all_blank(line.substr(end))) {
        why = "more values on the line than the block holds";
        return false;
    }
    return true;
}

void read_error(const std::string& name, long line, const std::string& why) {
    console(free_line("restart data error in file", name, "line", std::to_string(line) + ":", why));
}

}  // namespace

int OUTDSK(const PaddedName& name) {
    const std::string target = name.trimmed();
    if (target.empty()) {
        console(free_line("file open error", "(no file name)"));
        return -1;
    }
    struct stat st {};
    const bool replacing = ::stat(target.c_str(), &st) == 0;
    if (replacing && S_ISDIR(st.st_mode)) {
        console(free_line("file open error", target, reason(EISDIR)));
        return -1;
    }

    std::string temp;
    int fd = -1;
    bool short_form = false;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = temporary_name(target, short_form);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) break;
        if (errno == ENAMETOOLONG && !short_form) {
            short_form = true;
        } else if (errno != EEXIST) {
            break;
        }
    }
    if (fd < 0) {
        console(free_line("file open error", target, reason(errno)));
        return -1;
    }

    if (replacing) (void)::fchmod(fd, st.st_mode & 07777);   // the new file keeps the old one's permissions

    SavedWriter writer(fd);
    write_blocks(writer);
    bool ok = writer.finish();
    int err = writer.error();
    if (ok && ::fsync(fd) != 0) {
        ok = false;
        err = errno;
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        console(free_line("data write error", target, reason(err)));
        return -1;
    }
    return 0;
}

int INDSK(const PaddedName& name) {
    console(free_line("reading restart data from disc"));
    const std::string file = name.trimmed();

    const int fd = file.empty() ? -1 : ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        console(free_line("restart file open error", file.empty() ? "(no file name)" : file,
                          reason(file.empty() ? ENOENT : errno)));
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        console(free_line("restart file open error", file, reason(EISDIR)));
        return -1;
    }

    // Closes the file on every way out.
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};

    LineReader reader(fd);
    std::string line;
    long lineno = 0;
    constexpr std::size_t LINE_LIMIT = 1024;

    // Next line of the file, CR removed; false after writing the message.
    auto next_line = [&](const char* what) -> bool {
        ++lineno;
        switch (reader.next(line, LINE_LIMIT)) {
            case LineReader::LINE: {
                const std::string_view s = strip_cr(line);
                line.resize(s.size());
                return true;
            }
            case LineReader::END:
                read_error(file, lineno, std::string("the file ends before the ") + what + " data is complete");
                return false;
            case LineReader::TOO_LONG:
                read_error(file, lineno, "the line is too long");
                return false;
            case LineReader::FAILED:
            default:
                read_error(file, lineno, "read failure " + reason(reader.error()));
                return false;
        }
    };

    // Block 1: the grid, into locals.
    if (!next_line("grid")) return -1;
    long long dims[3] = {0, 0, 0};
    std::string why;
    const bool grid_ok = read_fields(line, 3, GRID_WIDTH, why, [&](int f, std::string_view field) {
        long long v = 0;
        if (!read_fixed_int(field, GRID_WIDTH, v) || v < 1) return false;
        dims[f] = v;
        return true;
    });
    if (!grid_ok) {
        read_error(file, lineno, "the first line must hold the grid's three cell counts (" + why + ")");
        return -1;
    }
    const int nx = griddim.NX, ny = griddim.NY, nz = griddim.NZ;
    if (dims[0] != nx || dims[1] != ny || dims[2] != nz) {
        console(free_line("restart file", file, "has the grid", dims[0], dims[1], dims[2],
                          "but the loaded case has", nx, ny, nz));
        return -1;
    }

    // Blocks 2 to 7 into scratch storage, in file order.
    const std::size_t ncell = static_cast<std::size_t>(nx) * ny * nz;
    std::vector<double> u(ncell), v(ncell), w(ncell), pt(2 * ncell), c(ncell), c2(ncell);
    struct Block {
        const char* what;
        std::vector<double>* values;
    };
    const Block blocks[] = {{"U", &u}, {"V", &v}, {"W", &w}, {"P and T", &pt}, {"C", &c}, {"C2", &c2}};
    for (const Block& b : blocks) {
        double* out = b.values->data();
        const std::size_t count = b.values->size();
        for (std::size_t done = 0; done < count;) {
            const int n = static_cast<int>(std::min<std::size_t>(VALUES_PER_LINE, count - done));
            if (!next_line(b.what)) return -1;
            const bool ok = read_fields(line, n, VALUE_WIDTH, why, [&](int f, std::string_view field) {
                double x = 0.0;
                if (!read_fixed_real(field, x) || !std::isfinite(x)) return false;
                out[done + f] = x;
                return true;
            });
            if (!ok) {
                read_error(file, lineno, why + " (" + b.what + " data)");
                return -1;
            }
            done += static_cast<std::size_t>(n);
        }
    }

    // The whole of blocks 1 to 7 was read: now the fields change.
    std::size_t s = 0;
    for (int i = 1; i <= nx; ++i) {
        for (int j = 1; j <= ny; ++j) {
            for (int k = 1; k <= nz; ++k, ++s) {
                const int p = ARIDX(i, j, k);
                if (fields.CPR[p] == 0.0) {
                    // The blockage of the loaded case decides, not the file's.
                    fields.U[p] = fields.V[p] = fields.W[p] = 0.0;
                    fields.P[p] = fields.T[p] = fields.C[p] = c2eq.C2[p] = 0.0;
                    continue;
                }
                fields.U[p] = u[s];
                fields.V[p] = v[s];
                fields.W[p] = w[s];
                fields.P[p] = pt[2 * s];
                fields.T[p] = pt[2 * s + 1];
                fields.C[p] = c[s] / 1000.0;
                c2eq.C2[p] = c2[s] / 1000.0;
            }
        }
    }

    DENSIT();
    USRSUB2();
    SUMMARYEND();
    return 0;
}

void OUTSCR() {
    console(free_line("i, j, k, u, v, w, p, t"));
    for (int i = 1; i <= griddim.NX; ++i)
        for (int j = 1; j <= griddim.NY; ++j)
            for (int k = 1; k <= griddim.NZ; ++k) {
                const int p = ARIDX(i, j, k);
                console(free_line(i, j, k, fields.U[p], fields.V[p], fields.W[p], fields.P[p], fields.T[p]));
            }
}

}  // namespace tarvex
