#include "device.h"

#include <algorithm>

uint8_t Device::in(Zx81&, uint16_t, int64_t) {
    return 0xFF;
}

void Device::out(Zx81&, uint16_t, uint8_t, int64_t) {}

AddressRange Device::tapped() const {
    return {};
}

bool Device::memory_write(Zx81&, uint16_t, uint8_t, int64_t) {
    return false;
}

bool Device::ear(Zx81&, int64_t) {
    return false;
}

bool Device::shapes_picture() const {
    return false;
}

void Device::pattern(Zx81&, const PatternFetch&, PatternRow&) {}

int Device::border_colour(const Zx81&) const {
    return -1;
}

void Device::reset(Zx81&) {}

void Device::frame_end(Zx81&) {}

AddressRange tapped_by(const Devices& devices) {
    AddressRange all;
    for (const auto& device : devices) {
        const AddressRange range = device->tapped();
        if (range.empty()) continue;
        all.first = std::min(all.first, range.first);
        all.last = std::max(all.last, range.last);
    }
    return all;
}
