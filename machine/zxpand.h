// ZXpand as programs see it, without its SD card: its I/O at port low byte
// $07, commands written to $E007 and results read there. $55 and $AA answer
// $0F and $F0 (programs look for the interface so); $A0 reads the joystick
// (active low: bit 7 up, 6 down, 5 left, 4 right, 3 fire); $B2 maps RAM at
// 8-16K as well as the 32 KB from $4000 the interface always gives. Other
// commands (the card, the EEPROM, the serial port) answer $FF: not there.
#pragma once

#include <memory>

#include "device.h"

constexpr uint16_t zxpand_command_port = 0xE007;
constexpr uint8_t zxpand_joystick = 0xA0, zxpand_low_ram = 0xB2;

std::unique_ptr<Device> make_zxpand();
