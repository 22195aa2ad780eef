#include "program_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "display.h"
#include "memory_bus.h"
#include "reporters.h"

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

bool loadable_name(const std::string& name) {
    if (name.size() <= 3) return false;
    std::string ending = name.substr(name.size() - 2);
    for (char& c : ending) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return ending == ".P" || ending == "81";
}

// Writes the whole image to an open file and closes it; false if any write,
// the flush or the close failed.
bool write_and_close(FILE* file, const uint8_t* data, bool sync) {
    bool ok = std::fwrite(data, 1, program_size, file) == program_size;
    ok = std::fflush(file) == 0 && ok;
    if (sync && ok) ok = fsync(fileno(file)) == 0;
    ok = std::fclose(file) == 0 && ok;
    return ok;
}

bool save_through_temporary(const std::string& target, const uint8_t* data) {
    std::string temporary = target + ".XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0) return false;
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
    fchmod(fd, mode);
    FILE* file = fdopen(fd, "wb");
    if (!file) {
        close(fd);
        unlink(temporary.c_str());
        return false;
    }
    if (!write_and_close(file, data, true) || std::rename(temporary.c_str(), target.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

bool save_image(const std::string& name, const uint8_t* data) {
    struct stat info;
    if (stat(name.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        // A device or a pipe: written in place, never replaced.
        FILE* file = std::fopen(name.c_str(), "wb");
        return file && write_and_close(file, data, false);
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

void load_program(const std::string& name) {
    if (loadable_name(name)) {
        std::array<uint8_t, program_size> image;
        size_t length = 0;
        bool ok = false;
        if (FILE* file = std::fopen(name.c_str(), "rb")) {
            length = std::fread(image.data(), 1, image.size(), file);
            ok = !std::ferror(file);  // a directory opens but cannot be read
            std::fclose(file);
        }
        if (!ok) {
            warn("Cannot load " + name);
        } else {
            std::memcpy(memory.data() + program_start, image.data(), length);
            for (const Poke& p : restart_pokes) mem_write(p.address, p.value);
            cpu.PC.w = restart_address;
        }
    }
    redraw_frame();
}

void save_program(const std::string& name) {
    if (!save_image(name, memory.data() + program_start)) warn("Cannot save " + name);
    redraw_frame();
}
