#include "screenshot.h"

#include <png.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "file_output.h"

namespace {

// Where on the frame the picture starts, and its size in frame pixels.
struct Region {
    int x, y, width, height;
};

Region shown_region(const Layout& layout) {
    const int scale = std::max(1, layout.scale);
    const int x = std::clamp(layout.frame_x, 0, frame_width);
    const int y = std::clamp(layout.frame_y, 0, frame_height);
    return {x, y, std::min((layout.area_width + scale - 1) / scale, frame_width - x),
            std::min((layout.area_height + scale - 1) / scale, frame_height - y)};
}

// The colour of frame pixel (x, y): the user's ink or paper, or a colour
// board's.
Rgb frame_colour(const Frame& frame, int x, int y, Rgb ink, Rgb paper) {
    const bool on = ink_at(frame, x - border_width, y - border_height);
    if (!frame.coloured) return on ? ink : paper;
    const uint8_t colour = frame.colours[static_cast<size_t>(y * frame_row_bytes + x / 8)];
    return colour_table[on ? colour & 15 : colour >> 4];
}

}  // namespace

std::string pictures_folder() {
    namespace fs = std::filesystem;
    std::error_code error;
    const auto usable = [&](const fs::path& folder) { return !folder.empty() && fs::is_directory(folder, error); };
    const char* named = std::getenv("XDG_PICTURES_DIR");
    if (named && *named && usable(named)) return named;
    // user-dirs.dirs holds lines such as XDG_PICTURES_DIR="$HOME/Pictures":
    // a path from $HOME or an absolute one, as xdg-user-dirs writes them.
    const char* home = std::getenv("HOME");
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const fs::path config_folder = config && *config == '/' ? fs::path(config)
                                   : home && *home          ? fs::path(home) / ".config"
                                                            : fs::path();
    std::ifstream dirs(config_folder / "user-dirs.dirs");
    const std::string key = "XDG_PICTURES_DIR=\"";
    for (std::string line; !config_folder.empty() && std::getline(dirs, line);) {
        if (line.rfind(key, 0) != 0 || line.size() < key.size() + 1 || line.back() != '"') continue;
        std::string value = line.substr(key.size(), line.size() - key.size() - 1);
        if (value.rfind("$HOME", 0) == 0) {
            if (!home || !*home) continue;
            value = std::string(home).append(value.substr(5));
        }
        // A Pictures folder that is the home folder itself is how
        // xdg-user-dirs says there is none.
        if (value.front() == '/' && usable(value) && !(home && fs::equivalent(value, home, error)))
            return value;
    }
    return ".";
}

std::string picture_path(const std::string& prefix, std::time_t when) {
    char stamp[32];
    std::tm local{};
    localtime_r(&when, &local);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const std::filesystem::path folder = pictures_folder();
    const std::string stem = prefix + stamp;
    std::filesystem::path path = folder / (stem + ".png");
    std::error_code error;
    for (int n = 2; std::filesystem::exists(path, error); ++n) path = folder / (stem + "-" + std::to_string(n) + ".png");
    return path.string();
}

std::string screenshot_path(std::time_t when) {
    return picture_path("orlix-", when);
}

std::vector<uint8_t> png_of(const std::vector<uint8_t>& pixels, int width, int height, bool grey) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = grey ? PNG_FORMAT_GRAY : PNG_FORMAT_RGB;
    png_alloc_size_t size = 0;
    if (width <= 0 || height <= 0 || !png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr))
        return {};
    std::vector<uint8_t> png(size);
    if (!png_image_write_to_memory(&image, png.data(), &size, 0, pixels.data(), 0, nullptr)) return {};
    png.resize(size);
    return png;
}

std::vector<uint8_t> screenshot_png(const Frame& frame, const Layout& layout, Rgb ink, Rgb paper) {
    const Region region = shown_region(layout);
    const int scale = std::max(1, layout.scale);
    const int width = region.width * scale;
    const int height = region.height * scale;
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    uint8_t* p = rgb.data();
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const Rgb c = frame_colour(frame, region.x + x / scale, region.y + y / scale, ink, paper);
            *p++ = c.r;
            *p++ = c.g;
            *p++ = c.b;
        }
    return png_of(rgb, width, height, false);
}

bool write_screenshot(const std::string& path, const Frame& frame, const Layout& layout, Rgb ink, Rgb paper,
                      std::string& problem) {
    return write_png_file(path, screenshot_png(frame, layout, ink, paper), problem);
}

bool write_png_file(const std::string& path, const std::vector<uint8_t>& png, std::string& problem) {
    if (png.empty()) {
        problem = "out of memory";
        return false;
    }
    const FileResult written = write_whole_file(path, png, Streams::refused);
    problem = written.reason;
    return written.ok;
}
