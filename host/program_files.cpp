#include "program_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>

#include "file_output.h"
#include "zx81.h"

namespace {

ProgramImage refused(std::string reason) {
    return {{false, std::move(reason)}, {}};
}

// Closes a file descriptor when it goes out of scope.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) close(fd);
    }
};

// Reads up to `size` bytes; returns how many, or -1 on an error.
ssize_t read_fully(int fd, uint8_t* data, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = read(fd, data + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

}  // namespace

bool program_file_name(const std::string& name) {
    const std::string last = name.substr(name.find_last_of('/') + 1);
    const size_t dot = last.find_last_of('.');
    if (dot == std::string::npos || dot == 0) return false;
    std::string ending = last.substr(dot + 1);
    for (char& c : ending) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return ending == "P" || ending == "81" || ending == "P81";
}

ProgramImage read_program_file(const std::string& name, int ram_kb) {
    if (!program_file_name(name)) return refused("not a program file (.P, .81 or .P81)");
    // Looked at before it is opened, so that no device is ever opened; the
    // open itself does not block either, should a pipe take the file's place.
    struct stat info;
    if (stat(name.c_str(), &info) != 0) return refused(std::strerror(errno));
    if (!S_ISREG(info.st_mode)) return refused("not a regular file");
    Descriptor file{open(name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY)};
    if (file.fd < 0 || fstat(file.fd, &info) != 0) return refused(std::strerror(errno));
    if (!S_ISREG(info.st_mode)) return refused("not a regular file");
    std::vector<uint8_t> bytes(largest_program);
    const ssize_t length = read_fully(file.fd, bytes.data(), largest_program);
    if (length < 0) return refused(std::strerror(errno));
    bytes.resize(static_cast<size_t>(length));
    return check_program_image(std::move(bytes), ram_kb);
}

FileResult load_program(Zx81& machine, const std::string& name) {
    const ProgramImage image = read_program_file(name, machine.ram_kb);
    if (image.result.ok) start_program(machine, image);
    return image.result;
}

FileResult save_program(const Zx81& machine, const std::string& name) {
    const ProgramImage program = program_in_memory(machine);
    if (!program.result.ok) return program.result;
    return write_whole_file(name, program.bytes, Streams::in_place);
}
