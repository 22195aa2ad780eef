// The AY-3-8912 sound boards of the ZX81: the chip (sound.h) reached on the
// expansion bus by ports or by memory writes.
#pragma once

#include <memory>

#include "device.h"
#include "sound.h"

// The board, for the machine's list of devices; none for SoundBoard::none.
std::unique_ptr<Device> make_sound_board(SoundBoard board);
