// Chroma 81, the colour board: port $7FEF turns colour on (OUT %00EMIGRB:
// E colour on, M the mode, IGRB the border), and IN reads bit 6 low to say
// the board is there. Its 16 KB of RAM at $C000-$FFFF holds the colours:
// in character-code mode a table of 128 characters (64 codes and their
// inverses) of eight colour bytes, one a pixel row, at $C000; in
// attribute-file mode a colour byte for each byte of the display file, at
// its address with A14 and A15 set. A colour byte is paper (high nibble)
// and ink (low nibble), each I G R B.
//
// The processor's writes to $C000-$FFFF go to the board's RAM, not to the
// RAM they echo; the display's opcode fetches there still see the display
// file. Reads of $C000-$FFFF still see the echo (programs write colours and
// do not read them back).
//
// Port $EF's low byte also fits a ZON X that decodes A0-A3, A4 and A7 only;
// Orlix's ZON X decodes A5 and A6 as well ($CF/$DF and $0F/$1F exactly), so
// an OUT to $7FEF reaches Chroma alone.
#pragma once

#include <memory>

#include "device.h"

constexpr uint16_t chroma_port = 0x7FEF;
constexpr uint16_t chroma_ram = 0xC000;

std::unique_ptr<Device> make_chroma();
