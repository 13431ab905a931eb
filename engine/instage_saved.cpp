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
// target only once it is complete and on disk, so a failed save keeps the
// previous file. A symbolic link is written through (the file it leads to is
// replaced, the link stays). The temporary's name tells what it is,
// "<name>.tarvex-tmp.<pid>.<n>": one that a save killed part-way left behind
// is removed by a later save of the same target once its owner is gone, so
// that programs saving one file never take each other's. Reading goes into
// scratch storage, and the fields change only once blocks 1 to 7 have been
// read whole and found sound.

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "common/channels.h"
#include "common/textfmt.h"
#include "engine/engine.h"
#include "engine/instage_files.h"

namespace tarvex {

namespace {

constexpr int VALUE_WIDTH = 13;     // E13.7
constexpr int VALUES_PER_LINE = 6;
constexpr int GRID_WIDTH = 4;       // 3I4

void console(const std::string& line) { write_line(CH_CONSOLE, line); }

using files::reason;

// ---- writing -------------------------------------------------------------

// Collects the file's text and hands it to the descriptor in large pieces.
class SavedWriter {
public:
    // The buffer grows with the text up to a chunk (and keeps its size from
    // then on), so that a small file takes no large allocation.
    explicit SavedWriter(int fd) : fd_(fd) {}

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

// ---- the target and its temporaries ----------------------------------------

// The file a save writes: the name given, or where its chain of symbolic
// links leads (a link to a file not there yet names the file to create).
// False with the error number when the chain cannot be followed.
bool resolve_links(const std::string& given, std::string& path, int& err) {
    path = given;
    for (int hops = 0;; ++hops) {
        struct stat ls {};
        if (::lstat(path.c_str(), &ls) != 0) {
            if (errno == ENOENT) return true;   // a new file
            err = errno;
            return false;
        }
        if (!S_ISLNK(ls.st_mode)) return true;
        if (hops == 40) {
            err = ELOOP;
            return false;
        }
        std::string link(static_cast<std::size_t>(ls.st_size > 0 ? ls.st_size : 255) + 1, '\0');
        for (;;) {
            const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
            if (n < 0) {
                err = errno;
                return false;
            }
            if (static_cast<std::size_t>(n) < link.size()) {
                link.resize(static_cast<std::size_t>(n));
                break;
            }
            link.resize(link.size() * 2);
        }
        if (link.empty()) {
            err = ENOENT;
            return false;
        }
        const std::size_t slash = path.rfind('/');
        if (link[0] == '/' || slash == std::string::npos)
            path = link;
        else
            path = path.substr(0, slash + 1) + link;
    }
}

// The folder part of a path ("" for a name in the current folder, "/" kept)
// and the name in it.
struct PathParts {
    std::string folder_prefix;   // "" or up to and including the last slash
    std::string name;
    std::string folder() const { return folder_prefix.empty() ? std::string(".") : folder_prefix; }
};

PathParts split_path(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {"", path};
    return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

constexpr std::string_view TEMP_MARK = ".tarvex-tmp.";

// A short stand-in for a name too long to take a suffix (FNV-1a, 64 bits).
std::string name_hash(const std::string& name) {
    std::uint64_t h = 14695981039346656037ull;
    for (unsigned char c : name) {
        h ^= c;
        h *= 1099511628211ull;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
    return text;
}

// The two prefixes a temporary of this target may have: the target's name
// with the mark, or (for a name too long for that) the mark with the name's
// hash, as a hidden file.
std::string long_prefix(const std::string& name) { return name + std::string(TEMP_MARK); }
std::string short_prefix(const std::string& name) {
    return std::string(TEMP_MARK) + name_hash(name) + ".";
}

// The temporary's name in the target's folder: a prefix, the process id and
// a counter of this process.
std::string temporary_name(const std::string& name, bool short_form) {
    static std::atomic<unsigned> counter{0};
    return (short_form ? short_prefix(name) : long_prefix(name)) + std::to_string(::getpid()) + "." +
           std::to_string(counter++);
}

// The process id of "<digits>.<digits>", what follows a prefix in a
// temporary's name; 0 when the text is not of that form or the number is no
// process id.
pid_t owner_of(std::string_view rest) {
    const std::size_t dot = rest.find('.');
    if (dot == std::string_view::npos || dot == 0 || dot + 1 == rest.size()) return 0;
    for (std::size_t i = 0; i < rest.size(); ++i)
        if (i != dot && (rest[i] < '0' || rest[i] > '9')) return 0;
    if (dot > 9) return 0;   // beyond any process id
    long pid = 0;
    for (std::size_t i = 0; i < dot; ++i) pid = pid * 10 + (rest[i] - '0');
    return static_cast<pid_t>(pid);
}

// Whether the process that made a temporary is provably gone: no process has
// its id any more. A temporary of this very process is not in use by any
// save when it can be locked (every save holds the lock from the moment it
// owns the file, and gives a file up whose lock it could not get at once), so
// it counts as gone too. A process of that id that runs, of whatever program,
// keeps the file.
bool owner_gone(pid_t pid) {
    if (pid <= 0) return false;
    if (pid == ::getpid()) return true;
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

bool same_file(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Removes the temporaries of this target that a save killed part-way left
// behind: those whose owner is gone (see owner_gone) and that no save holds
// locked. A save holds a lock on its temporary for as long as it writes it;
// the lock also guards against a process id that means another process here
// (a folder shared with another machine or container).
void remove_leftovers(const PathParts& target) {
    DIR* dir = ::opendir(target.folder().c_str());
    if (dir == nullptr) return;
    const std::string prefixes[2] = {long_prefix(target.name), short_prefix(target.name)};
    std::vector<std::string> found;
    while (const struct dirent* e = ::readdir(dir)) {
        const std::string_view entry(e->d_name);
        for (const std::string& prefix : prefixes)
            if (entry.size() > prefix.size() && entry.compare(0, prefix.size(), prefix) == 0 &&
                owner_gone(owner_of(entry.substr(prefix.size()))))
                found.emplace_back(entry);
    }
    ::closedir(dir);
    for (const std::string& entry : found) {
        const std::string path = target.folder_prefix + entry;
        const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat opened {}, named {};
        if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::lstat(path.c_str(), &named) == 0 && same_file(opened, named))
            ::unlink(path.c_str());
        ::close(fd);
    }
}

// A temporary that this save created but could not lock at once: another
// save's clean-up held it then. It is removed once that lock is gone, if the
// name still leads to it; otherwise a later save removes it.
struct GivenUp {
    std::string path;
    int fd;
};

void remove_given_up(std::vector<GivenUp>& given_up) {
    for (const GivenUp& g : given_up) {
        struct stat opened {}, named {};
        if (::flock(g.fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(g.fd, &opened) == 0 &&
            ::lstat(g.path.c_str(), &named) == 0 && same_file(opened, named))
            ::unlink(g.path.c_str());
        ::close(g.fd);
    }
    given_up.clear();
}

// Makes the folder's entry for a renamed file durable: after a power cut the
// folder may otherwise still show the earlier file. File systems that cannot
// sync a folder say so with EINVAL; that is no failure of the save.
int sync_folder(const PathParts& target) {
    const int fd = ::open(target.folder().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    int err = 0;
    if (::fsync(fd) != 0 && errno != EINVAL && errno != ENOTSUP) err = errno;
    ::close(fd);
    return err;
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
    const std::string given = name.trimmed();
    if (given.empty()) {
        console(free_line("file open error", "(no file name)"));
        return -1;
    }
    auto open_error = [&given](const std::string& why) {
        console(free_line("file open error", given, why));
        return -1;
    };

    std::string target;
    int err = 0;
    if (!resolve_links(given, target, err)) return open_error(reason(err));
    struct stat st {};
    const bool replacing = ::stat(target.c_str(), &st) == 0;
    if (replacing) {
        if (S_ISDIR(st.st_mode)) return open_error(reason(EISDIR));
        // A device or a pipe is not replaced by a file.
        if (!S_ISREG(st.st_mode)) return open_error("(not a regular file)");
        // The rename would replace a file that the user may not write.
        if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) return open_error(reason(errno));
    }
    const PathParts parts = split_path(target);
    remove_leftovers(parts);

    // The temporary, locked while it is written (see remove_leftovers). A
    // file is this save's only once it holds the lock and the name still
    // leads to it: another save's clean-up may have opened it between its
    // creation and the lock, and may remove it. Then the next name is taken.
    std::string temp;
    int fd = -1;
    bool short_form = false;
    std::vector<GivenUp> given_up;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = parts.folder_prefix + temporary_name(parts.name, short_form);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == ENAMETOOLONG && !short_form) {
                short_form = true;
            } else if (errno != EEXIST) {
                break;
            }
            continue;
        }
        int lock_status;
        do {
            lock_status = ::flock(fd, LOCK_EX | LOCK_NB);
        } while (lock_status != 0 && errno == EINTR);
        // (A file system without locks gives another error: there the save
        // goes on unguarded, as it must.)
        if (lock_status != 0 && errno == EWOULDBLOCK) {
            given_up.push_back({temp, fd});
            fd = -1;
            errno = EEXIST;
            continue;
        }
        struct stat opened {}, named {};
        if (::fstat(fd, &opened) != 0 || ::lstat(temp.c_str(), &named) != 0 || !same_file(opened, named)) {
            ::close(fd);
            fd = -1;
            errno = EEXIST;
        }
    }
    // Whatever the save's outcome, the temporaries it gave up go.
    struct GivenUpRemover {
        std::vector<GivenUp>& list;
        ~GivenUpRemover() { remove_given_up(list); }
    } remover{given_up};
    if (fd < 0) return open_error(reason(errno));

    if (replacing) (void)::fchmod(fd, st.st_mode & 07777);   // the new file keeps the old one's permissions

    SavedWriter writer(fd);
    write_blocks(writer);
    bool ok = writer.finish();
    err = writer.error();
    if (ok && ::fsync(fd) != 0) {
        ok = false;
        err = errno;
    }
    // Renamed while still locked, so that no clean-up takes it first.
    if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        ::close(fd);
        console(free_line("data write error", given, reason(err)));
        return -1;
    }
    const bool closed = ::close(fd) == 0;
    err = closed ? sync_folder(parts) : errno;
    if (err != 0) {
        console(free_line("data write error", given, reason(err)));
        return -1;
    }
    return 0;
}

int INDSK(const PaddedName& name) {
    console(free_line("reading restart data from disc"));
    const std::string file = name.trimmed();

    // Only a regular file is read: a pipe would keep the reader waiting.
    std::string why;
    const int fd = files::open_regular(file, why);
    if (fd < 0) {
        console(file.empty() ? free_line("restart file open error", why)
                             : free_line("restart file open error", file, why));
        return -1;
    }
    why.clear();

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
    const bool grid_ok = read_fields(line, 3, GRID_WIDTH, why, [&](int f, std::string_view field) {
        long long v = 0;
        if (!read_fixed_int(field, GRID_WIDTH, v)) return false;
        dims[f] = v;
        return true;
    });
    if (!grid_ok) {
        read_error(file, lineno, "the first line must hold the grid's three cell counts (" + why + ")");
        return -1;
    }
    if (dims[0] < 1 || dims[1] < 1 || dims[2] < 1) {
        read_error(file, lineno,
                   "invalid grid " + std::to_string(dims[0]) + " " + std::to_string(dims[1]) + " " +
                       std::to_string(dims[2]) + ": every cell count must be at least 1");
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
    // Whether the s-th cell of the file's order (I outermost, K fastest) is
    // open in the loaded case.
    auto open_cell = [&](std::size_t cell) {
        const std::size_t plane = static_cast<std::size_t>(ny) * nz;
        const int i = static_cast<int>(cell / plane) + 1;
        const int j = static_cast<int>(cell % plane / nz) + 1;
        const int k = static_cast<int>(cell % nz) + 1;
        return fields.CPR[ARIDX(i, j, k)] != 0.0;
    };
    for (const Block& b : blocks) {
        double* out = b.values->data();
        const std::size_t count = b.values->size();
        const bool pairs_pt = b.values == &pt;
        for (std::size_t done = 0; done < count;) {
            const int n = static_cast<int>(std::min<std::size_t>(VALUES_PER_LINE, count - done));
            if (!next_line(b.what)) return -1;
            std::string bad_temperature;
            const bool ok = read_fields(line, n, VALUE_WIDTH, why, [&](int f, std::string_view field) {
                double x = 0.0;
                if (!read_fixed_real(field, x) || !std::isfinite(x)) return false;
                const std::size_t at = done + static_cast<std::size_t>(f);
                // A temperature of an open cell must be above 0 K (and far
                // enough above it for the air density to be a number). A
                // blocked cell's is not used: the program saves 0 there.
                if (pairs_pt && at % 2 == 1 && bad_temperature.empty() && open_cell(at / 2) &&
                    !(x > 0.0 && std::isfinite(AIRDEN / x)))
                    bad_temperature = "value " + std::to_string(f + 1) + " on the line, the temperature " +
                                      std::string(trim_right(field.substr(field.find_first_not_of(' ')))) +
                                      " K of an open cell, is not above 0 K";
                out[at] = x;
                return true;
            });
            if (!ok) {
                read_error(file, lineno, why + " (" + b.what + " data)");
                return -1;
            }
            if (!bad_temperature.empty()) {
                read_error(file, lineno, bad_temperature + " (" + b.what + " data)");
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

    runflags.FIELDSOK = true;

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
