#include "file_output.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>

namespace {

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

std::string folder_of(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string in_folder(const std::string& folder, const std::string& name) {
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

// Where a write to `path` lands: symbolic links followed to their end (a
// link to a name not yet taken gives that name). Empty, with errno set, for
// a loop or a link that cannot be read.
std::string final_target(const std::string& path) {
    std::string target = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info;
        if (lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return target;
        std::string link(4096, '\0');
        const ssize_t n = readlink(target.c_str(), link.data(), link.size());
        if (n < 0) return {};
        link.resize(static_cast<size_t>(n));
        target = link.starts_with('/') ? link : in_folder(folder_of(target), link);
    }
    errno = ELOOP;
    return {};
}

// The permissions of the file being replaced, or the usual ones for the
// user's umask for a new one.
mode_t mode_for(const std::string& target) {
    struct stat existing;
    if (stat(target.c_str(), &existing) == 0) return existing.st_mode & 07777;
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

bool is_temporary_name(const char* name) {
    const size_t prefix = std::strlen(temporary_prefix);
    return std::strncmp(name, temporary_prefix, prefix) == 0 && std::strlen(name) == prefix + 6;
}

// Removes what a save killed midway (SIGKILL, a power cut) left in `folder`:
// temporary files of ours that no save still running can own.
void remove_stale_temporaries(const std::string& folder) {
    constexpr time_t stale_after = 60;
    DIR* listing = opendir(folder.c_str());
    if (!listing) return;
    const time_t now = std::time(nullptr);
    while (const dirent* entry = readdir(listing)) {
        if (!is_temporary_name(entry->d_name)) continue;
        struct stat info;
        if (fstatat(dirfd(listing), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISREG(info.st_mode) && info.st_uid == geteuid() && info.st_mtime < now - stale_after)
            unlinkat(dirfd(listing), entry->d_name, 0);
    }
    closedir(listing);
}

// A name for a temporary file in `folder` that no file has now.
std::string unused_temporary_name(const std::string& folder) {
    static constexpr char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    static std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<size_t> pick(0, sizeof letters - 2);
    for (;;) {
        std::string name = temporary_prefix;
        for (int i = 0; i < 6; ++i) name += letters[pick(random)];
        const std::string path = in_folder(folder, name);
        struct stat info;
        if (lstat(path.c_str(), &info) != 0 && errno == ENOENT) return path;
    }
}

// The folder's entries on disk too, so that after a crash the name leads to
// the old file or the new one.
void sync_folder(const std::string& folder) {
    Descriptor dir{open(folder.c_str(), O_RDONLY | O_DIRECTORY)};
    if (dir.fd >= 0) fsync(dir.fd);
}

// Opens the new file for `target`: with no name at all (an O_TMPFILE), so
// that a full disk, a file-size limit or even SIGKILL while it is written
// leaves nothing behind; where the file system cannot make nameless files,
// named from the start (".orlix-" and six characters) and removed on
// failure.
FileResult open_new_file(const std::string& target, PendingFile& file) {
    file.target = target;
    file.folder = folder_of(target);
    const mode_t mode = mode_for(target);
    remove_stale_temporaries(file.folder);
    file.fd = open(file.folder.c_str(), O_TMPFILE | O_WRONLY, mode);
    file.nameless = file.fd >= 0;
    if (!file.nameless) {
        file.temporary = in_folder(file.folder, std::string(temporary_prefix) + "XXXXXX");
        file.fd = mkstemp(file.temporary.data());
        if (file.fd < 0) {
            file.temporary.clear();
            return system_error(errno);
        }
    }
    fchmod(file.fd, mode);  // exactly the old file's, whatever the umask
    return {};
}

// Complete, on disk, the file takes the target's name: directly when the
// target is new; through a name of its own for the instant between link and
// rename when it replaces an old file, which is the one moment a kill can
// leave a temporary file (the next save removes it).
FileResult name_new_file(PendingFile& file) {
    SignalsHeld held;
    if (fsync(file.fd) != 0) return system_error(errno);
    if (file.nameless) {
        const std::string own = "/proc/self/fd/" + std::to_string(file.fd);
        if (linkat(AT_FDCWD, own.c_str(), AT_FDCWD, file.target.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            sync_folder(file.folder);
            return {};
        }
        if (errno != EEXIST) return system_error(errno);
        for (;;) {
            file.temporary = unused_temporary_name(file.folder);
            if (linkat(AT_FDCWD, own.c_str(), AT_FDCWD, file.temporary.c_str(), AT_SYMLINK_FOLLOW) == 0) break;
            if (errno != EEXIST) {
                file.temporary.clear();
                return system_error(errno);
            }
        }
    }
    const int fd = file.fd;
    file.fd = -1;
    if (close(fd) != 0) return system_error(errno);
    if (std::rename(file.temporary.c_str(), file.target.c_str()) != 0) return system_error(errno);
    file.temporary.clear();
    sync_folder(file.folder);
    return {};
}

FileResult save_through_temporary(const std::string& target, const uint8_t* data, size_t size) {
    SignalsHeld held;
    PendingFile file;
    const FileResult opened = open_new_file(target, file);
    if (!opened.ok) return opened;
    if (!write_fully(file.fd, data, size)) return system_error(errno);
    return name_new_file(file);
}

// Pipes and character devices are written in place, never replaced, and
// opened without blocking: a pipe that nobody reads is refused at once.
FileResult save_in_place(const std::string& name, const uint8_t* data, size_t size) {
    Descriptor file{open(name.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY)};
    if (file.fd < 0)
        return errno == ENXIO ? refused("no program is reading from the pipe") : system_error(errno);
    if (!write_fully(file.fd, data, size))
        return errno == EAGAIN ? refused("the pipe is full") : system_error(errno);
    return {};
}

// What is at `path`, followed through links: a stat, or the error.
struct Found {
    int error = 0;  // 0, ENOENT for nothing there, or why it cannot be told
    struct stat info {};
};

Found look_at(const std::string& path) {
    Found found;
    if (stat(path.c_str(), &found.info) != 0) found.error = errno;
    return found;
}

std::string kind_refused(const struct stat& info, Streams streams) {
    if (S_ISDIR(info.st_mode)) return "it is a folder";
    if (S_ISREG(info.st_mode)) return {};
    if (streams == Streams::in_place && (S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode))) return {};
    if (S_ISFIFO(info.st_mode)) return "it is a FIFO, not a regular file";
    if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)) return "it is a device, not a regular file";
    return "not a regular file";
}

}  // namespace

std::string unwritable_reason(const std::string& path, Streams streams) {
    if (path.empty()) return "no file name";
    const Found found = look_at(path);
    if (found.error == 0) return kind_refused(found.info, streams);
    if (found.error != ENOENT) return std::strerror(found.error);
    // Nothing there yet (or a link to a name not taken): its folder must be.
    const std::string target = final_target(path);
    if (target.empty()) return std::strerror(errno);
    const Found folder = look_at(folder_of(target));
    if (folder.error != 0) return std::strerror(folder.error);
    if (!S_ISDIR(folder.info.st_mode)) return std::strerror(ENOTDIR);
    return {};
}

FileResult write_whole_file(const std::string& path, const uint8_t* data, size_t size, Streams streams) {
    const std::string problem = unwritable_reason(path, streams);
    if (!problem.empty()) return refused(problem);
    const Found found = look_at(path);
    if (found.error == 0 && !S_ISREG(found.info.st_mode)) return save_in_place(path, data, size);
    const std::string target = final_target(path);
    if (target.empty()) return system_error(errno);
    return save_through_temporary(target, data, size);
}

PendingFile::~PendingFile() {
    if (fd >= 0) close(fd);
    if (!temporary.empty()) unlink(temporary.c_str());
}

FileResult begin_whole_file(const std::string& path, PendingFile& file) {
    const std::string problem = unwritable_reason(path, Streams::refused);
    if (!problem.empty()) return refused(problem);
    const std::string target = final_target(path);
    if (target.empty()) return system_error(errno);
    return open_new_file(target, file);
}

FileResult finish_whole_file(PendingFile& file) {
    if (file.fd < 0) return refused("the file was not begun");
    return name_new_file(file);
}
