#include "screenshot.h"

#include <png.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

namespace {

// The file, closed when it goes out of scope.
struct File {
    FILE* file;
    ~File() {
        if (file) std::fclose(file);
    }
};

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

bool frame_ink(const Frame& frame, int x, int y) {
    return ink_at(frame, x - border_width, y - border_height);
}

}  // namespace

std::string screenshot_path(std::time_t when) {
    char stamp[32];
    std::tm local{};
    localtime_r(&when, &local);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const char* pictures = std::getenv("XDG_PICTURES_DIR");
    const std::filesystem::path folder = pictures && *pictures ? pictures : ".";
    const std::string stem = std::string("orlix-") + stamp;
    std::filesystem::path path = folder / (stem + ".png");
    std::error_code error;
    for (int n = 2; std::filesystem::exists(path, error); ++n) path = folder / (stem + "-" + std::to_string(n) + ".png");
    return path.string();
}

bool write_screenshot(const std::string& path, const Frame& frame, const Layout& layout, Rgb ink, Rgb paper,
                      std::string& problem) {
    const Region region = shown_region(layout);
    const int scale = std::max(1, layout.scale);
    const int width = region.width * scale;
    const int height = region.height * scale;
    File out{std::fopen(path.c_str(), "wb")};
    if (!out.file) {
        problem = std::strerror(errno);
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        problem = "out of memory";
        return false;
    }
    std::vector<png_byte> row(static_cast<size_t>(width) * 3);
    if (setjmp(png_jmpbuf(png))) {  // libpng's own error path
        png_destroy_write_struct(&png, &info);
        problem = std::strerror(errno ? errno : EIO);
        std::remove(path.c_str());
        return false;
    }
    png_init_io(png, out.file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Rgb c = frame_ink(frame, region.x + x / scale, region.y + y / scale) ? ink : paper;
            png_byte* p = &row[static_cast<size_t>(3 * x)];
            p[0] = c.r;
            p[1] = c.g;
            p[2] = c.b;
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fflush(out.file) != 0 || std::ferror(out.file)) {
        problem = std::strerror(errno);
        std::remove(path.c_str());
        return false;
    }
    return true;
}
