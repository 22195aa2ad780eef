// The AY-3-8912 sound boards of the ZX81: the chip (sound.h) reached on the
// expansion bus by ports or by memory writes.
#pragma once

#include <memory>

#include "device.h"

enum class SoundBoard {
    none,
    // ZON X-81 and its successor ZON X, and ZXpand+'s AY: register select on
    // port 0xCF or 0xDF, data on 0x0F or 0x1F (the low byte of the port;
    // A8-A15 are not decoded)
    zonx,
    // Quicksilva: memory writes to 0x7FFF select, to 0x7FFE write data; the
    // RAM at those addresses is written as well.
    quicksilva,
};

// The board, for the machine's list of devices; none for SoundBoard::none.
std::unique_ptr<Device> make_sound_board(SoundBoard board);
