#include "program_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "zx81.h"

namespace {

// The system variables set after a load: FLAGS, PPC (line -2: no line
// running) and the two words at the top of RAM, in this order.
struct Poke {
    uint16_t address;
    uint8_t value;
};
constexpr Poke restart_pokes[] = {
    {0x4001, 0x80}, {0x4007, 0xFE}, {0x4008, 0xFF}, {0x7FFC, 0x76},
    {0x7FFD, 0x06}, {0x7FFE, 0x00}, {0x7FFF, 0x3E},
};
constexpr uint16_t restart_address = 0x005B;



const std::string not_a_program = "not a ZX81 program: ";

FileResult refused(std::string reason) {
    return {false, std::move(reason)};
}

FileResult system_error(int error) {
    return refused(std::strerror(error));
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

bool write_fully(int fd, const uint8_t* data, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = write(fd, data + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) errno = EIO;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

uint16_t word_at(const std::vector<uint8_t>& image, uint16_t address) {
    const size_t offset = address - program_start;
    return static_cast<uint16_t>(image[offset] | (image[offset + 1] << 8));
}

// The image's own system variables must describe it: the display file, the
// variables and the edit line in that order, the first two inside the image
// and the edit line no further than its end (a program saved by the ZX81
// ends just before it).
bool system_variables_match(const std::vector<uint8_t>& image, size_t file_length) {
    const size_t end = program_start + image.size();
    const size_t display = word_at(image, sysvar::d_file);
    const size_t variables = word_at(image, sysvar::vars);
    const size_t edit_line = word_at(image, sysvar::e_line);
    return display >= program_start && display <= variables && variables <= edit_line &&
           display < end && variables < end && edit_line <= end &&
           edit_line - program_start <= file_length;
}

// Writes the image to a new file in the target's folder, under a short name
// of its own (so that a target name of any length Linux allows fits), and
// renames it over the target once every byte is on disk.
FileResult save_through_temporary(const std::string& target, const uint8_t* data) {
    const size_t slash = target.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    std::string temporary = folder + (folder.back() == '/' ? "" : "/") + ".orlix-XXXXXX";
    Descriptor file{mkstemp(temporary.data())};
    if (file.fd < 0) return system_error(errno);
    // Keep the permissions of the file being replaced; a new file gets the
    // usual ones for the user's umask.
    struct stat existing;
    mode_t mode;
    if (stat(target.c_str(), &existing) == 0) {
        mode = existing.st_mode & 07777;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    fchmod(file.fd, mode);
    int error = 0;
    if (!write_fully(file.fd, data, program_size) || fsync(file.fd) != 0) error = errno;
    const int fd = file.fd;
    file.fd = -1;
    if (close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && std::rename(temporary.c_str(), target.c_str()) != 0) error = errno;
    if (error != 0) {
        unlink(temporary.c_str());
        return system_error(error);
    }
    return {};
}

// Pipes and character devices are written in place, never replaced, and
// opened without blocking: a pipe that nobody reads is refused at once.
FileResult save_in_place(const std::string& name, const uint8_t* data) {
    Descriptor file{open(name.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY)};
    if (file.fd < 0)
        return errno == ENXIO ? refused("no program is reading from the pipe")
                              : system_error(errno);
    if (!write_fully(file.fd, data, program_size))
        return errno == EAGAIN ? refused("the pipe is full") : system_error(errno);
    return {};
}

FileResult save_image(const std::string& name, const uint8_t* data) {
    struct stat info;
    if (stat(name.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) return system_error(EISDIR);
        if (S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode)) return save_in_place(name, data);
        if (!S_ISREG(info.st_mode)) return refused("not a regular file");
    }
    // Through a symbolic link, the file it points at is the one replaced.
    std::string target = name;
    if (char* real = realpath(name.c_str(), nullptr)) {
        target = real;
        std::free(real);
    }
    return save_through_temporary(target, data);
}

}  // namespace

bool program_file_name(const std::string& name) {
    if (name.size() <= 3) return false;
    std::string ending = name.substr(name.size() - 2);
    for (char& c : ending) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return ending == ".P" || ending == "81";
}

ProgramImage read_program_file(const std::string& name) {
    ProgramImage image;
    if (!program_file_name(name)) {
        image.result = refused("not a program file (.P or .81)");
        return image;
    }
    // Looked at before it is opened, so that no device is ever opened; the
    // open itself does not block either, should a pipe take the file's place.
    struct stat info;
    if (stat(name.c_str(), &info) != 0) {
        image.result = system_error(errno);
        return image;
    }
    if (!S_ISREG(info.st_mode)) {
        image.result = refused("not a regular file");
        return image;
    }
    Descriptor file{open(name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY)};
    if (file.fd < 0 || fstat(file.fd, &info) != 0) {
        image.result = system_error(errno);
        return image;
    }
    if (!S_ISREG(info.st_mode)) {
        image.result = refused("not a regular file");
        return image;
    }
    image.bytes.resize(program_size);
    const ssize_t length = read_fully(file.fd, image.bytes.data(), program_size);
    if (length < 0) {
        image.result = system_error(errno);
        image.bytes.clear();
        return image;
    }
    image.bytes.resize(static_cast<size_t>(length));
    const size_t file_length = std::max(static_cast<size_t>(info.st_size), image.bytes.size());
    if (image.bytes.size() < system_variables_size)
        image.result = refused(not_a_program + "too short");
    else if (!system_variables_match(image.bytes, file_length))
        image.result = refused(not_a_program + "the system variables do not match the file");
    if (!image.result.ok) image.bytes.clear();
    return image;
}

FileResult load_program(Zx81& machine, const std::string& name) {
    const ProgramImage image = read_program_file(name);
    if (image.result.ok) {
        std::memcpy(machine.memory.data() + program_start, image.bytes.data(), image.bytes.size());
        for (const Poke& p : restart_pokes) write_memory(machine.memory, p.address, p.value);
        // Whether SLOW mode runs is for the ROM to set up again on the
        // machine at hand (at 0x005B it checks for the NMI generator and
        // starts SLOW mode when the program asks for it); a file that says
        // it runs already, as one saved during SLOW mode does, would leave
        // the ROM waiting for NMIs that never come.
        machine.memory[sysvar::cdflag] &= static_cast<uint8_t>(~sysvar::slow_running);
        machine.cpu.PC.w = restart_address;
    }
    return image.result;
}

FileResult save_program(const Zx81& machine, const std::string& name) {
    return save_image(name, machine.memory.data() + program_start);
}
