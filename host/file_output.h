// Writing a file whole or not at all. Every file Orlix writes (programs,
// pictures, settings) goes through here: the bytes go to a new file in the
// target's folder, which replaces the target only once every byte is on
// disk, so a full disk, a file-size limit, a signal or a crash leaves the old
// file as it was, and nothing that is not a regular file is ever removed or
// replaced.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "program_image.h"

// What a target may be besides a regular file (or a name not yet taken).
enum class Streams {
    refused,   // pictures, settings: a FIFO or a device is refused
    in_place,  // programs: a FIFO or a character device is written in place,
               // without blocking (a pipe that nobody reads is refused)
};

// Why `path` cannot be written as a file, before anything is written: a
// folder, a device or FIFO where streams are refused, a link that leads
// nowhere it can go, a folder that does not exist. Empty when it can be
// tried.
std::string unwritable_reason(const std::string& path, Streams streams);

// Writes `size` bytes as the whole of the file `path`. A symbolic link is
// followed: the file it leads to is the one replaced, with the old file's
// permissions (or the user's usual ones for a new file). The file is on disk
// (fsync) before it takes the name. Before writing, temporary files that an
// earlier save killed midway left in the folder (".orlix-" and six
// characters, the user's own, over a minute old) are removed.
FileResult write_whole_file(const std::string& path, const uint8_t* data, size_t size, Streams streams);

inline FileResult write_whole_file(const std::string& path, const std::vector<uint8_t>& bytes, Streams streams) {
    return write_whole_file(path, bytes.data(), bytes.size(), streams);
}

// A file written over time (a recording) and given its name only when it
// is complete: begin_whole_file opens it, nameless where the file system
// allows, in the target's folder (the checks and links as above, streams
// refused); the caller writes through `fd`; finish_whole_file puts it on
// disk and names it. A file that is never finished leaves nothing behind.
struct PendingFile {
    int fd = -1;
    std::string target, folder;
    std::string temporary;  // its name until it takes the target's; empty while nameless
    bool nameless = false;
    PendingFile() = default;
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    ~PendingFile();
};
FileResult begin_whole_file(const std::string& path, PendingFile& file);
FileResult finish_whole_file(PendingFile& file);

// The prefix of the temporary files, for tests and for the cleaning above.
constexpr const char* temporary_prefix = ".orlix-";
