// Runs the real program, as from a plain terminal without a display.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

struct Finished {
    int status = -1;
    std::string out, err;
};

// Runs orlix with `args` in `folder`, DISPLAY unset, files limited to
// `file_size_limit` bytes and its memory to `memory_limit` when they are
// given, standard input read from the file `input` when that is given (else
// /dev/null); returns its exit status and what it wrote.
Finished run_orlix(const std::vector<std::string>& args, const std::filesystem::path& folder,
                   long file_size_limit = -1, const std::string& input = {}, long memory_limit = -1);

// The lines of a text.
std::vector<std::string> lines_of(const std::string& text);

// A PNG file read back as RGB pixels (width and height 0 when it cannot be).
struct Png {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    bool dark(int x, int y) const { return rgb[static_cast<size_t>(3 * (y * width + x))] < 100; }
    // The pixel's red, green and blue as one number: 0xRRGGBB.
    uint32_t colour(int x, int y) const {
        const size_t at = static_cast<size_t>(3 * (y * width + x));
        return static_cast<uint32_t>(rgb[at] << 16 | rgb[at + 1] << 8 | rgb[at + 2]);
    }
};
Png read_png(const std::string& path);
