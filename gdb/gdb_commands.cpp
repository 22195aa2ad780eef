#include "gdb_commands.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "remote_protocol.h"

namespace {

// The registers in the client's order: the numbers 0x00 to 0x0B.
constexpr std::array<RegPair Z80State::*, 12> registers = {
    &Z80State::AF,     &Z80State::BC,     &Z80State::DE,     &Z80State::HL, &Z80State::AF_alt, &Z80State::BC_alt,
    &Z80State::DE_alt, &Z80State::HL_alt, &Z80State::IX,     &Z80State::IY, &Z80State::SP,     &Z80State::PC,
};
constexpr uint32_t sp_number = 0x0A, pc_number = 0x0B;

const GdbAnswer error_reply{true, "E01"};
const GdbAnswer ok_reply{true, "OK"};
const GdbAnswer empty_reply{true, ""};
const GdbAnswer no_reply{false, ""};

// "addr,length" (and what follows a ':'), in hex.
struct Span {
    uint32_t address = 0, length = 0;
    std::string_view rest;  // after ':' when there is one
    bool ok = false;
};

Span span_of(std::string_view text) {
    Span span;
    const size_t comma = text.find(',');
    if (comma == std::string_view::npos) return span;
    const size_t colon = text.find(':', comma);
    const std::string_view length = text.substr(comma + 1, colon == std::string_view::npos ? colon : colon - comma - 1);
    const std::optional<uint32_t> a = hex_value(text.substr(0, comma)), n = hex_value(length);
    if (!a || !n || *a > 0xFFFF) return span;
    span.address = *a;
    span.length = *n;
    if (colon != std::string_view::npos) span.rest = text.substr(colon + 1);
    span.ok = true;
    return span;
}

std::optional<uint16_t> word_le(std::string_view hex) {
    if (hex.size() != 4) return std::nullopt;
    const std::optional<uint32_t> low = hex_value(hex.substr(0, 2)), high = hex_value(hex.substr(2, 2));
    if (!low || !high) return std::nullopt;
    return static_cast<uint16_t>(*low | *high << 8);
}

std::string all_registers(const Zx81& machine) {
    std::string out;
    for (RegPair Z80State::*r : registers) out += hex_word_le((machine.cpu.*r).w);
    return out;
}

GdbAnswer write_all_registers(Zx81& machine, std::string_view hex) {
    if (hex.size() != 4 * registers.size()) return error_reply;
    std::array<uint16_t, registers.size()> values{};
    for (size_t i = 0; i < registers.size(); ++i) {
        const std::optional<uint16_t> value = word_le(hex.substr(4 * i, 4));
        if (!value) return error_reply;
        values[i] = *value;
    }
    for (size_t i = 0; i < registers.size(); ++i) (machine.cpu.*registers[i]).w = values[i];
    return ok_reply;
}

GdbAnswer write_register(Zx81& machine, std::string_view text) {
    const size_t equals = text.find('=');
    if (equals == std::string_view::npos) return error_reply;
    const std::optional<uint32_t> number = hex_value(text.substr(0, equals));
    const std::optional<uint16_t> value = word_le(text.substr(equals + 1));
    if (!number || *number >= registers.size() || !value) return error_reply;
    (machine.cpu.*registers[*number]).w = *value;
    return ok_reply;
}

GdbAnswer read_memory(const Zx81& machine, std::string_view text) {
    const Span span = span_of(text);
    if (!span.ok || !span.rest.empty()) return error_reply;
    // Fewer bytes than asked where the reply would not fit, or the address
    // space ends.
    const uint32_t length = std::min({span.length, static_cast<uint32_t>(largest_packet / 2), 0x10000 - span.address});
    std::string out;
    out.reserve(2 * length);
    for (uint32_t i = 0; i < length; ++i) out += hex_byte(peek(machine, static_cast<uint16_t>(span.address + i)));
    return {true, out};
}

// M (hex data) and X (binary data): the whole span or nothing.
GdbAnswer write_memory(Zx81& machine, std::string_view text, bool binary) {
    const Span span = span_of(text);
    if (!span.ok || span.address + span.length > 0x10000) return error_reply;
    if (span.rest.size() != (binary ? 1 : 2) * static_cast<size_t>(span.length)) return error_reply;
    std::string bytes;
    if (binary) {
        bytes = span.rest;
    } else {
        for (size_t i = 0; i < span.length; ++i) {
            const std::optional<uint32_t> byte = hex_value(span.rest.substr(2 * i, 2));
            if (!byte) return error_reply;
            bytes.push_back(static_cast<char>(*byte));
        }
    }
    for (size_t i = 0; i < bytes.size(); ++i)
        poke(machine, static_cast<uint16_t>(span.address + i), static_cast<uint8_t>(bytes[i]));
    return ok_reply;
}

// Z and z: 0 and 1 break at an address, 2 watches writes, 3 reads, 4 both,
// over `kind` bytes.
GdbAnswer change_breakpoint(Zx81& machine, std::string_view text, bool insert) {
    if (text.size() < 2 || text[0] < '0' || text[0] > '4' || text[1] != ',') return empty_reply;
    const char type = text[0];
    const size_t condition = text.find(';');  // conditions and commands are not kept
    const Span span = span_of(text.substr(2, condition == std::string_view::npos ? condition : condition - 2));
    if (!span.ok) return error_reply;
    const WatchKind kind = type <= '1'   ? WatchKind::execute
                           : type == '2' ? WatchKind::write
                           : type == '3' ? WatchKind::read
                                         : WatchKind::access;
    uint32_t length = kind == WatchKind::execute ? 1 : std::max<uint32_t>(span.length, 1);
    if (length > 0x10000) return error_reply;
    length = std::min<uint32_t>(length, 0xFFFF);
    const auto address = static_cast<uint16_t>(span.address);
    if (insert) {
        add_breakpoint(machine.debug, kind, address, static_cast<uint16_t>(length));
        return ok_reply;
    }
    return remove_breakpoint(machine.debug, kind, address, static_cast<uint16_t>(length)) ? ok_reply : error_reply;
}

// c and s, with an address to go on from or none. Given while the machine
// runs, they are let be: it runs already, and its stop reply is owed.
GdbAnswer go_on(GdbSession& session, Zx81& machine, std::string_view address, bool step) {
    if (!machine.debug.stopped) return no_reply;
    if (!address.empty()) {
        const std::optional<uint32_t> pc = hex_value(address);
        if (!pc || *pc > 0xFFFF) return error_reply;
        machine.cpu.PC.w = static_cast<uint16_t>(*pc);
        machine.cpu.IFF &= static_cast<uint8_t>(~IFF_HALTED);
    }
    machine.debug.step = step;
    resume(machine.debug);
    session.waiting_for_stop = true;
    return no_reply;
}

// vCont;ACTION[:thread]...: the first action is the one there is.
GdbAnswer v_packet(GdbSession& session, Zx81& machine, std::string_view packet) {
    if (packet == "vCont?") return {true, "vCont;c;C;s;S"};
    if (!packet.starts_with("vCont;")) return empty_reply;
    const std::string_view action = packet.substr(6);
    if (action.empty()) return error_reply;
    if (action[0] == 'c' || action[0] == 'C') return go_on(session, machine, {}, false);
    if (action[0] == 's' || action[0] == 'S') return go_on(session, machine, {}, true);
    return error_reply;
}

GdbAnswer query(std::string_view packet) {
    if (packet.starts_with("qSupported")) return {true, "PacketSize=4000;qXfer:features:read+;QStartNoAckMode+"};
    if (packet == "qAttached") return {true, "1"};
    constexpr std::string_view features = "qXfer:features:read:";
    if (!packet.starts_with(features)) return empty_reply;
    const std::string_view rest = packet.substr(features.size());
    constexpr std::string_view annex = "target.xml:";
    if (!rest.starts_with(annex)) return {true, "E00"};
    const Span span = span_of(rest.substr(annex.size()));
    if (!span.ok || !span.rest.empty()) return error_reply;
    const std::string& xml = target_description();
    if (span.address >= xml.size()) return {true, "l"};
    const size_t size = std::min<size_t>({span.length, xml.size() - span.address, largest_packet / 2});
    std::string reply(span.address + size >= xml.size() ? "l" : "m");
    reply.append(xml, span.address, size);
    return {true, reply};
}

}  // namespace

const std::string& target_description() {
    static const std::string xml =
        "<?xml version=\"1.0\"?>\n"
        "<!DOCTYPE target SYSTEM \"gdb-target.dtd\">\n"
        "<target version=\"1.0\">\n"
        "<architecture>z80</architecture>\n"
        "<feature name=\"org.gnu.gdb.z80.cpu\">\n"
        "<reg name=\"af\" bitsize=\"16\" type=\"int\"/>\n"
        "<reg name=\"bc\" bitsize=\"16\" type=\"int\"/>\n"
        "<reg name=\"de\" bitsize=\"16\" type=\"int\"/>\n"
        "<reg name=\"hl\" bitsize=\"16\" type=\"int\"/>\n"
        "<reg name=\"af'\" bitsize=\"16\" type=\"int\"/>\n"
        "<reg name=\"bc'\" bitsize=\"16\" type=\"int\"/>\n"
        "<reg name=\"de'\" bitsize=\"16\" type=\"int\"/>\n"
        "<reg name=\"hl'\" bitsize=\"16\" type=\"int\"/>\n"
        "<reg name=\"ix\" bitsize=\"16\" type=\"int\"/>\n"
        "<reg name=\"iy\" bitsize=\"16\" type=\"int\"/>\n"
        "<reg name=\"sp\" bitsize=\"16\" type=\"data_ptr\"/>\n"
        "<reg name=\"pc\" bitsize=\"16\" type=\"code_ptr\"/>\n"
        "</feature>\n"
        "</target>\n";
    return xml;
}

std::string stop_reply(const Zx81& machine) {
    const Debugger& debug = machine.debug;
    std::string reply(debug.reason == StopReason::asked ? "T02" : "T05");
    const char* watch = debug.reason == StopReason::write_watch    ? "watch:"
                        : debug.reason == StopReason::read_watch   ? "rwatch:"
                        : debug.reason == StopReason::access_watch ? "awatch:"
                                                                   : nullptr;
    if (watch) reply.append(watch).append(hex_byte(debug.address >> 8)).append(hex_byte(debug.address & 0xFF)).append(";");
    reply.append(hex_byte(sp_number)).append(":").append(hex_word_le(machine.cpu.SP.w)).append(";");
    reply.append(hex_byte(pc_number)).append(":").append(hex_word_le(machine.cpu.PC.w)).append(";");
    return reply;
}

void end_session(Zx81& machine) {
    clear_breakpoints(machine.debug);
    machine.debug.step = machine.debug.stop_asked = false;
    resume(machine.debug);
}

GdbAnswer answer_packet(GdbSession& session, Zx81& machine, const std::string& text) {
    const std::string_view packet = text;
    if (packet.empty()) return empty_reply;
    const std::string_view rest = packet.substr(1);
    switch (packet[0]) {
    case '?':
        if (!machine.debug.stopped) stop_now(machine.debug, StopReason::attach);
        session.waiting_for_stop = false;
        return {true, stop_reply(machine)};
    case 'g': return {true, all_registers(machine)};
    case 'G': return write_all_registers(machine, rest);
    case 'p': {
        const std::optional<uint32_t> number = hex_value(rest);
        if (!number || *number >= registers.size()) return error_reply;
        return {true, hex_word_le((machine.cpu.*registers[*number]).w)};
    }
    case 'P': return write_register(machine, rest);
    case 'm': return read_memory(machine, rest);
    case 'M': return write_memory(machine, rest, false);
    case 'X': return write_memory(machine, rest, true);
    case 'c': return go_on(session, machine, rest, false);
    case 's': return go_on(session, machine, rest, true);
    case 'Z': return change_breakpoint(machine, rest, true);
    case 'z': return change_breakpoint(machine, rest, false);
    case 'D':
        end_session(machine);
        session.detached = true;
        return ok_reply;
    case 'k':
        end_session(machine);
        session.detached = true;
        return no_reply;
    case '!':
    case 'H': return ok_reply;
    case 'q': return query(packet);
    case 'Q':
        if (packet != "QStartNoAckMode") return empty_reply;
        session.no_ack = true;
        return ok_reply;
    case 'v': return v_packet(session, machine, packet);
    default: return empty_reply;
    }
}
