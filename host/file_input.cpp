#include "file_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

int open_regular_file(const std::string& path, std::string& problem) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat info;
    if (fd < 0 || fstat(fd, &info) != 0) {
        problem = std::strerror(errno);
        if (fd >= 0) close(fd);
        return -1;
    }
    if (!S_ISREG(info.st_mode)) {
        problem = "not a regular file";
        close(fd);
        return -1;
    }
    return fd;
}

FileBytes read_regular_file(const std::string& path, size_t most) {
    FileBytes file;
    const int fd = open_regular_file(path, file.problem);
    if (fd < 0) return file;
    // As much as the file holds, up to what is asked and one byte past it,
    // which tells whether there is more: grown as it is read, so that a
    // file smaller than the limit never costs the limit's memory.
    struct stat info;
    const size_t expected = fstat(fd, &info) == 0 ? static_cast<size_t>(info.st_size) : 0;
    file.bytes.resize(std::min(expected, most) + 1);
    size_t done = 0;
    for (;;) {
        if (done == file.bytes.size()) {
            if (done > most) break;
            file.bytes.resize(std::min(2 * done, most + 1));
        }
        const ssize_t n = read(fd, file.bytes.data() + done, file.bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            file.problem = std::strerror(errno);
            close(fd);
            file.bytes.clear();
            return file;
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    close(fd);
    file.longer = done > most;
    file.bytes.resize(std::min(done, most));
    file.ok = true;
    return file;
}
