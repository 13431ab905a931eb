// Opening the files the engine reads.

#include "engine/instage_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tarvex::files {

namespace {

std::string kind_of(mode_t mode) {
    if (S_ISDIR(mode)) return "a directory";
    if (S_ISFIFO(mode)) return "a named pipe";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a plain file";
}

std::string not_regular(mode_t mode) { return "(not a regular file: " + kind_of(mode) + ")"; }

}  // namespace

std::string reason(int err) { return std::string("(") + std::strerror(err) + ")"; }

int open_regular(const std::string& name, std::string& why) {
    if (name.empty()) {
        why = "(no file name)";
        return -1;
    }
    // Looked at before the open, so that opening a device has no effect ...
    struct stat st {};
    if (::stat(name.c_str(), &st) != 0) {
        why = reason(errno);
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        why = not_regular(st.st_mode);
        return -1;
    }
    // ... and again on what was opened, which may have been replaced since:
    // without O_NONBLOCK the open of a pipe would wait for a writer.
    const int fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        why = reason(errno);
        return -1;
    }
    struct stat opened {};
    if (::fstat(fd, &opened) != 0) {
        why = reason(errno);
        ::close(fd);
        return -1;
    }
    if (!S_ISREG(opened.st_mode)) {
        why = not_regular(opened.st_mode);
        ::close(fd);
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) (void)::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

}  // namespace tarvex::files
