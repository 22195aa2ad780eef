#include "view.h"

#include <algorithm>

#include "display_file.h"

namespace {

// Mode 0's window: the picture area and the toolbar strip right of it. The
// area shows the ZX81's picture with 7 to 9 pixels of border around it.
constexpr int area_width_1x = 272;
constexpr int area_height_1x = 208;
constexpr int window_frame_x = border_width - 7;
constexpr int window_frame_y = border_height - 7;

Layout scaled_window(int scale) {
    return {(area_width_1x + toolbar_width) * scale,
            area_height_1x * scale,
            false,
            scale,
            scale,
            0,
            0,
            area_width_1x * scale,
            area_height_1x * scale,
            window_frame_x,
            window_frame_y};
}

}  // namespace

Layout layout_for(View view, Size desktop, bool has_320x240) {
    if (view.scale > 0) return scaled_window(view.scale);
    switch (view.mode) {
    case doubled_window_mode:
        // The picture at (8, 8) of a 528x400 area, the toolbar at its own size.
        return {553, 400, false, 2, 1, 0, 0, 528, 400, border_width - 4, border_height - 4};
    case full_screen_mode: {
        if (has_320x240) return {frame_width, frame_height, true, 1, 0, 0, 0, frame_width, frame_height, 0, 0};
        const int width = std::max(desktop.width, 1);
        const int height = std::max(desktop.height, 1);
        const int scale = std::max(1, std::min(width / frame_width, height / frame_height));
        const int area_width = std::min(frame_width * scale, width);
        const int area_height = std::min(frame_height * scale, height);
        return {width, height, true, scale, 0, (width - area_width) / 2, (height - area_height) / 2,
                area_width, area_height, 0, 0};
    }
    default: return scaled_window(1);
    }
}

bool window_fits(int scale, Size desktop) {
    const Layout layout = scaled_window(scale);
    return layout.width <= desktop.width && layout.height <= desktop.height;
}

View window_of_scale(int scale) {
    return scale <= 1 ? View{window_mode, 0} : View{window_mode, scale};
}

View fitting_view(View view, Size work_area) {
    const Layout layout = layout_for(view, work_area, false);
    if (layout.full_screen || (layout.width <= work_area.width && layout.height <= work_area.height)) return view;
    int scale = std::min(layout.scale, largest_scale);
    while (scale > 1 && !window_fits(scale, work_area)) --scale;
    return window_of_scale(scale);
}

View first_start_view(Size work_area) {
    const Size two_thirds{work_area.width, work_area.height * 2 / 3};
    int scale = largest_scale;
    while (scale > 1 && !window_fits(scale, two_thirds)) --scale;
    return window_of_scale(scale);
}

View next_view(View view, Size desktop) {
    if (view.scale <= 1 && view.mode < full_screen_mode) return {view.mode + 1, 0};
    const int next_scale = view.scale > 0 ? view.scale + 1 : 3;
    if (window_fits(next_scale, desktop)) return {window_mode, next_scale};
    return {window_mode, 0};
}
