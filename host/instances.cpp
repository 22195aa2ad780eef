#include "instances.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace {

std::string lock_folder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime == '/') return std::string(runtime) + "/orlix";
    return "/tmp/orlix-" + std::to_string(getuid());
}

}  // namespace

InstanceNumber::InstanceNumber() {
    const std::string folder = lock_folder();
    mkdir(folder.c_str(), 0700);
    // A lock dies with its holder, so a number comes free however the run
    // that held it ended.
    for (int n = 1; n <= 99; ++n) {
        const std::string path = folder + "/instance-" + std::to_string(n) + ".lock";
        const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) return;
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
            fd_ = fd;
            number_ = n;
            return;
        }
        close(fd);
    }
}

InstanceNumber::~InstanceNumber() {
    if (fd_ >= 0) close(fd_);
}
