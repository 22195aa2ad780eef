#include "device.h"

#include "zx81.h"

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

uint8_t port_read(Zx81& machine, uint16_t port, int64_t t) {
    uint8_t value = 0xFF;
    if (!(port & 1)) {
        bool ear = false;
        for (const auto& device : machine.devices) ear = device->ear(machine, t) || ear;
        value = static_cast<uint8_t>(read_port(machine, port) | (ear ? 0x80 : 0x00));
    }
    for (const auto& device : machine.devices) value &= device->in(machine, port, t);
    return value;
}

void boards_out(Zx81& machine, uint16_t port, uint8_t value, int64_t t) {
    for (const auto& device : machine.devices) device->out(machine, port, value, t);
}

void tapped_write(Zx81& machine, uint16_t address, uint8_t value, int64_t t) {
    for (const auto& device : machine.devices)
        if (device->tapped().holds(address)) device->memory_write(machine, address, value, t);
}

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
