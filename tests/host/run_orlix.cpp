#include "run_orlix.h"

#include <fcntl.h>
#include <png.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sstream>

namespace {

std::string read_all(int fd) {
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
    close(fd);
    return text;
}

}  // namespace

Finished run_orlix(const std::vector<std::string>& args, const std::filesystem::path& folder, long file_size_limit,
                   const std::string& input, long memory_limit) {
    int out[2], err[2];
    if (pipe(out) != 0 || pipe(err) != 0) return {};
    const pid_t child = fork();
    if (child == 0) {
        dup2(out[1], 1);
        dup2(err[1], 2);
        close(out[0]);
        close(err[0]);
        if (chdir(folder.c_str()) != 0) _exit(99);
        const int in = open(input.empty() ? "/dev/null" : input.c_str(), O_RDONLY);
        if (in < 0) _exit(97);
        dup2(in, 0);
        if (file_size_limit >= 0) {
            const rlimit limit{static_cast<rlim_t>(file_size_limit), static_cast<rlim_t>(file_size_limit)};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
#if defined(__SANITIZE_ADDRESS__)
        // AddressSanitizer reserves terabytes of shadow address space at
        // start, so an address-space limit would stop the program before
        // main; the optimised build checks the memory bound.
        memory_limit = -1;
#endif
        if (memory_limit >= 0) {
            const rlimit limit{static_cast<rlim_t>(memory_limit), static_cast<rlim_t>(memory_limit)};
            setrlimit(RLIMIT_AS, &limit);
        }
        unsetenv("DISPLAY");
        std::vector<char*> argv = {const_cast<char*>(ORLIX_PROGRAM)};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(ORLIX_PROGRAM, argv.data());
        _exit(98);
    }
    close(out[1]);
    close(err[1]);
    Finished done;
    done.out = read_all(out[0]);
    done.err = read_all(err[0]);
    int status = 0;
    waitpid(child, &status, 0);
    done.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return done;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

Png read_png(const std::string& path) {
    Png png;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return png;
    image.format = PNG_FORMAT_RGB;
    png.rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, png.rgb.data(), 0, nullptr)) return png;
    png.width = static_cast<int>(image.width);
    png.height = static_cast<int>(image.height);
    return png;
}
