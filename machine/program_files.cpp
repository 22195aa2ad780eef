#include "program_files.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "zx81.h"

namespace {

// F3 restarts a program through ROM address 0x005B, the end of the ROM's
// error handling: it takes the stack from ERR_SP, checks SLOW/FAST and
// returns through the stack's bottom word to the line after the last one
// run, which the loaded NXTLIN names. These are what that route needs: FLAGS,
// PPC (line -2: no line running) and the two words that the ROM puts at the
// top of the stack after NEW.
constexpr uint16_t restart_address = 0x005B;
constexpr uint16_t statement_return = 0x0676;  // the ROM's next-line routine
constexpr uint16_t stack_end_mark = 0x3E00;    // below it the GOSUB stack ends

void write_byte(Zx81& machine, uint16_t address, uint8_t value) {
    write_memory(machine.memory, machine.address_map, address, value);
}

// RAMTOP as the ROM's memory check leaves it at power-up; it never looks
// above 0x7FFF.
uint16_t ramtop_at_power_up(int ram_kb) {
    return static_cast<uint16_t>(std::min<uint32_t>(ram_end(ram_kb), 0x8000));
}

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

uint16_t image_word(const std::vector<uint8_t>& image, uint16_t address) {
    const size_t offset = address - program_start;
    return static_cast<uint16_t>(image[offset] | (image[offset + 1] << 8));
}

std::string hex_address(uint32_t address) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", address);
    return text;
}

// Why a program ending at `edit_line` does not fit the machine; empty when
// it does.
std::string program_misfit(uint32_t edit_line, int ram_kb) {
    if (edit_line < program_start + smallest_program || edit_line > ram_end(ram_sizes_kb.back()))
        return not_a_program + "its end (E_LINE " + hex_address(edit_line) + ") lies outside RAM";
    if (edit_line <= ram_end(ram_kb)) return {};
    int needed = ram_sizes_kb.back();
    for (int kb : ram_sizes_kb)
        if (edit_line <= ram_end(kb)) {
            needed = kb;
            break;
        }
    return "the program needs " + std::to_string(needed) + " KB of RAM; this ZX81 has " +
           std::to_string(ram_kb) + " KB";
}

// The signals that would end the program, and the one a file-size limit
// sends, held back while a save could leave a file half made. A write past
// the limit then fails with EFBIG instead, and its signal is dropped: the
// save reports the failure. The others come once the save is over.
struct SignalsHeld {
    sigset_t before;
    SignalsHeld() {
        sigset_t held;
        sigemptyset(&held);
        for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGXFSZ}) sigaddset(&held, signal);
        pthread_sigmask(SIG_BLOCK, &held, &before);
    }
    ~SignalsHeld() {
        sigset_t file_size;
        sigemptyset(&file_size);
        sigaddset(&file_size, SIGXFSZ);
        const timespec now{0, 0};
        while (sigtimedwait(&file_size, nullptr, &now) == SIGXFSZ) {
        }
        pthread_sigmask(SIG_SETMASK, &before, nullptr);
    }
};

// The permissions of the file being replaced, or the usual ones for the
// user's umask for a new one.
mode_t mode_for(const std::string& target) {
    struct stat existing;
    if (stat(target.c_str(), &existing) == 0) return existing.st_mode & 07777;
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// Writes the image and puts it on disk; 0 or the error.
int write_image(int fd, const uint8_t* data, size_t size) {
    if (!write_fully(fd, data, size) || fsync(fd) != 0) return errno;
    return 0;
}

// Writes the image to a new file in the target's folder and renames it over
// the target once every byte is on disk, so that a failed save leaves the
// old file as it was. The new file has no name while it is written (an
// O_TMPFILE), so a full disk, a file-size limit or a signal leaves nothing
// behind; it gets a short name of its own (so that a target name of any
// length Linux allows fits) only for the rename. Where the file system
// cannot make nameless files, it is named from the start and removed on
// failure.
FileResult save_through_temporary(const std::string& target, const uint8_t* data, size_t size) {
    const size_t slash = target.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    std::string temporary = folder + (folder.back() == '/' ? "" : "/") + ".orlix-XXXXXX";
    const mode_t mode = mode_for(target);
    SignalsHeld held;
    int error = 0;
    Descriptor nameless{open(folder.c_str(), O_TMPFILE | O_WRONLY, mode)};
    if (nameless.fd >= 0) {
        fchmod(nameless.fd, mode);  // exactly the old file's, whatever the umask
        if ((error = write_image(nameless.fd, data, size)) != 0) return system_error(error);
        // A name for it, then the rename: the name is chosen by mkstemp and
        // given up again, as linkat cannot replace a file.
        Descriptor reserved{mkstemp(temporary.data())};
        if (reserved.fd < 0) return system_error(errno);
        unlink(temporary.c_str());
        const std::string own = "/proc/self/fd/" + std::to_string(nameless.fd);
        if (linkat(AT_FDCWD, own.c_str(), AT_FDCWD, temporary.c_str(), AT_SYMLINK_FOLLOW) != 0)
            return system_error(errno);
    } else {
        Descriptor file{mkstemp(temporary.data())};
        if (file.fd < 0) return system_error(errno);
        fchmod(file.fd, mode);
        error = write_image(file.fd, data, size);
        const int fd = file.fd;
        file.fd = -1;
        if (close(fd) != 0 && error == 0) error = errno;
    }
    if (error == 0 && std::rename(temporary.c_str(), target.c_str()) != 0) error = errno;
    if (error != 0) {
        unlink(temporary.c_str());
        return system_error(error);
    }
    return {};
}

// Pipes and character devices are written in place, never replaced, and
// opened without blocking: a pipe that nobody reads is refused at once.
FileResult save_in_place(const std::string& name, const uint8_t* data, size_t size) {
    Descriptor file{open(name.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY)};
    if (file.fd < 0)
        return errno == ENXIO ? refused("no program is reading from the pipe")
                              : system_error(errno);
    if (!write_fully(file.fd, data, size))
        return errno == EAGAIN ? refused("the pipe is full") : system_error(errno);
    return {};
}

FileResult save_image(const std::string& name, const uint8_t* data, size_t size) {
    struct stat info;
    if (stat(name.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) return system_error(EISDIR);
        if (S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode)) return save_in_place(name, data, size);
        if (!S_ISREG(info.st_mode)) return refused("not a regular file");
    }
    // Through a symbolic link, the file it points at is the one replaced.
    std::string target = name;
    if (char* real = realpath(name.c_str(), nullptr)) {
        target = real;
        std::free(real);
    }
    return save_through_temporary(target, data, size);
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
    ProgramImage image;
    if (!program_file_name(name)) {
        image.result = refused("not a program file (.P, .81 or .P81)");
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
    image.bytes.resize(largest_program);
    const ssize_t length = read_fully(file.fd, image.bytes.data(), largest_program);
    if (length < 0) {
        image.result = system_error(errno);
        image.bytes.clear();
        return image;
    }
    image.bytes.resize(static_cast<size_t>(length));
    if (image.bytes.size() < smallest_program) {
        image.result = refused(not_a_program + "too short");
    } else {
        const uint16_t edit_line = image_word(image.bytes, sysvar::e_line);
        const std::string misfit = program_misfit(edit_line, ram_kb);
        if (!misfit.empty())
            image.result = refused(misfit);
        else if (static_cast<size_t>(edit_line - program_start) > image.bytes.size())
            image.result = refused(not_a_program + "the file ends before E_LINE " + hex_address(edit_line));
        else
            image.bytes.resize(edit_line - program_start);
    }
    if (!image.result.ok) image.bytes.clear();
    return image;
}

void put_program(Zx81& machine, const ProgramImage& image) {
    std::memcpy(machine.memory.data() + program_start, image.bytes.data(), image.bytes.size());
    // The ROM's LOAD runs in FAST mode and leaves the display hardware so:
    // the NMI generator off and interrupts disabled. Whether SLOW mode runs
    // is for the ROM's SLOW/FAST check to set up again on the machine at
    // hand; a file that says it runs already, as one saved during SLOW mode
    // may, would leave the ROM waiting for NMIs that never come.
    machine.memory[sysvar::cdflag] &= static_cast<uint8_t>(~sysvar::slow_running);
    stop_nmi_generator(machine.ula);
    machine.cpu.IFF &= static_cast<uint8_t>(~(IFF1 | IFF2 | IFF_HALTED));
    machine.tape.command = {};
}

FileResult load_program(Zx81& machine, const std::string& name) {
    const ProgramImage image = read_program_file(name, machine.ram_kb);
    if (!image.result.ok) return image.result;
    put_program(machine, image);
    write_byte(machine, 0x4001, 0x80);  // FLAGS
    write_byte(machine, 0x4007, 0xFE);  // PPC = 0xFFFE
    write_byte(machine, 0x4008, 0xFF);
    // The stack the ROM returns through, just below RAMTOP; a RAMTOP that
    // cannot be one is what the ROM's memory check would find. Where the
    // program itself fills those addresses, its own bytes stay.
    const uint32_t end = program_start + image.bytes.size();
    uint16_t ramtop = word_at(machine.memory, sysvar::ramtop);
    if (ramtop <= program_start + smallest_program || ramtop > ram_end(machine.ram_kb))
        ramtop = ramtop_at_power_up(machine.ram_kb);
    const uint16_t bottom = static_cast<uint16_t>(ramtop - 4);
    write_byte(machine, sysvar::err_sp, static_cast<uint8_t>(bottom));
    write_byte(machine, sysvar::err_sp + 1, static_cast<uint8_t>(bottom >> 8));
    const uint16_t words[] = {statement_return, stack_end_mark};
    for (int i = 0; i < 4; ++i) {
        const uint16_t address = static_cast<uint16_t>(bottom + i);
        if (address >= end) write_byte(machine, address, static_cast<uint8_t>(words[i / 2] >> (8 * (i % 2))));
    }
    machine.cpu.PC.w = restart_address;
    return {};
}

FileResult save_program(const Zx81& machine, const std::string& name) {
    const uint16_t edit_line = word_at(machine.memory, sysvar::e_line);
    const std::string misfit = program_misfit(edit_line, machine.ram_kb);
    if (!misfit.empty()) return refused("no program in memory: E_LINE " + hex_address(edit_line) + " lies outside RAM");
    return save_image(name, machine.memory.data() + program_start, edit_line - program_start);
}
