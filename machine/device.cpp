#include "device.h"

#include <algorithm>

uint8_t Device::in(Zx81&, uint16_t, int64_t) {
    return 0xFF;
}

void Device::out(Zx81&, uint16_t, uint8_t, int64_t) {}

AddressRange Device::tapped() const {
    return {};
}

void Device::memory_write(Zx81&, uint16_t, uint8_t, int64_t) {}

bool Device::ear(Zx81&, int64_t) {
    return false;
}

std::optional<PatternRow> Device::pattern(Zx81&, uint16_t, uint8_t, uint8_t, uint8_t) {
    return std::nullopt;
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
