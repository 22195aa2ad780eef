#include "remote_protocol.h"

namespace {

constexpr char hex_digits[] = "0123456789abcdef";

int digit_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool needs_escape(char c) {
    return c == '#' || c == '$' || c == '}' || c == '*';
}

}  // namespace

uint8_t packet_checksum(std::string_view data) {
    uint8_t sum = 0;
    for (char c : data) sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(c));
    return sum;
}

std::string escaped(std::string_view data) {
    std::string out;
    out.reserve(data.size());
    for (char c : data) {
        if (needs_escape(c)) {
            out.push_back('}');
            out.push_back(static_cast<char>(c ^ 0x20));
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::string framed(std::string_view data) {
    const std::string body = escaped(data);
    std::string out = "$";
    out.append(body);
    out.push_back('#');
    out.append(hex_byte(packet_checksum(body)));
    return out;
}

PacketReader::Event PacketReader::feed(char byte) {
    switch (state_) {
    case State::between:
        if (byte == '$') {
            state_ = State::data;
            data_.clear();
            sum_ = 0;
            too_long_ = false;
        } else if (byte == '+') {
            return Event::ack;
        } else if (byte == '-') {
            return Event::nack;
        } else if (byte == '\x03') {
            return Event::interrupt;
        }
        return Event::none;  // anything else between packets is noise
    case State::data:
    case State::escape:
        if (byte == '#') {
            state_ = State::checksum_high;
            return Event::none;
        }
        if (byte == '$') {  // a packet cut short and a new one begun
            data_.clear();
            sum_ = 0;
            too_long_ = false;
            state_ = State::data;
            return Event::bad;
        }
        sum_ = static_cast<uint8_t>(sum_ + static_cast<uint8_t>(byte));
        if (state_ == State::data && byte == '}') {
            state_ = State::escape;
            return Event::none;
        }
        if (data_.size() >= largest_packet)
            too_long_ = true;  // the rest is read, counted and dropped
        else
            data_.push_back(state_ == State::escape ? static_cast<char>(byte ^ 0x20) : byte);
        state_ = State::data;
        return Event::none;
    case State::checksum_high:
        given_sum_ = digit_value(byte) * 16;
        state_ = digit_value(byte) < 0 ? State::between : State::checksum_low;
        return state_ == State::between ? Event::bad : Event::none;
    case State::checksum_low: {
        state_ = State::between;
        const int low = digit_value(byte);
        if (low < 0 || given_sum_ + low != sum_) return Event::bad;
        return too_long_ ? Event::too_long : Event::packet;
    }
    }
    return Event::none;
}

std::optional<uint32_t> hex_value(std::string_view digits) {
    if (digits.empty() || digits.size() > 8) return std::nullopt;
    uint32_t value = 0;
    for (char c : digits) {
        const int d = digit_value(c);
        if (d < 0) return std::nullopt;
        value = value << 4 | static_cast<uint32_t>(d);
    }
    return value;
}

std::string hex_byte(uint8_t value) {
    return {hex_digits[value >> 4], hex_digits[value & 15]};
}

std::string hex_word_le(uint16_t value) {
    return hex_byte(static_cast<uint8_t>(value)) + hex_byte(static_cast<uint8_t>(value >> 8));
}
