// The framing of the gdb remote serial protocol: a packet is
// $data#cc, cc the sum of the data's bytes in two hex digits; '}' escapes
// '#', '$', '}' and '*' in binary data (the byte XOR 0x20); '+' and '-'
// acknowledge a packet or ask for it again; a lone 0x03 outside a packet is
// Ctrl-C.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The most packet data the stub takes (announced as PacketSize, in hex).
constexpr size_t largest_packet = 0x4000;

uint8_t packet_checksum(std::string_view data);

// Data with '#', '$', '}' and '*' escaped.
std::string escaped(std::string_view data);

// The packet as sent: $, the escaped data, #, the checksum.
std::string framed(std::string_view data);

// Reads what arrives, a byte at a time.
class PacketReader {
public:
    enum class Event {
        none,       // nothing complete yet
        packet,     // a packet arrived whole: packet() has its data, unescaped
        bad,        // a packet with a wrong checksum: dropped
        too_long,   // a whole packet longer than the stub takes: dropped, and answered with an error
        ack,        // '+'
        nack,       // '-': the last reply again
        interrupt,  // 0x03 outside a packet
    };
    Event feed(char byte);
    const std::string& packet() const { return data_; }

private:
    enum class State { between, data, escape, checksum_high, checksum_low };
    State state_ = State::between;
    std::string data_;
    uint8_t sum_ = 0;
    int given_sum_ = 0;
    bool too_long_ = false;
};

// Hex digits: their value, or none.
std::optional<uint32_t> hex_value(std::string_view digits);
std::string hex_byte(uint8_t value);
// A 16-bit value as the target's bytes: low byte first.
std::string hex_word_le(uint16_t value);
