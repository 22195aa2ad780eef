// Reading a file: the one way every file Orlix reads (programs, tapes,
// listings, settings, the ROM) is read. Only a regular file is read: it is
// opened without blocking and looked at once open, whatever took the name
// since it was checked, so that no FIFO or device ever holds the program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct FileBytes {
    bool ok = false;
    std::vector<uint8_t> bytes;  // at most the `most` asked for
    bool longer = false;         // the file holds more than that
    std::string problem;         // why it cannot be read (errno's text, "not a regular file")
};

// Reads at most `most` bytes of the regular file `path`.
FileBytes read_regular_file(const std::string& path, size_t most);

// Opens the regular file `path` for a reader of its own (a sound file's):
// its descriptor, which the caller closes, or -1 with the reason.
int open_regular_file(const std::string& path, std::string& problem);
