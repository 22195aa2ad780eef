#include "gdb_commands.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>
#include <optional>
#include <string_view>

#include "remote_protocol.h"

namespace {

// The registers, in the order of the target description, of `g` and `G`,
// and numbered so by `p` and `P`: GDB's Z80 feature (all thirteen of its
// names, in the order DeZog was written for, with `ir` after them), then
// the ZX81's own. Values are the target's bytes, low first.
struct Register {
    const char* name;
    int bits;
    const char* type;
    bool ours;  // in Orlix's feature, not GDB's
    uint64_t (*read)(const Zx81&);
    void (*write)(Zx81&, uint64_t);  // null: read only
};

template <RegPair Z80State::*pair>
constexpr Register pair_register(const char* name, const char* type = "int") {
    return {name, 16, type, false, [](const Zx81& m) -> uint64_t { return (m.cpu.*pair).w; },
            [](Zx81& m, uint64_t v) { (m.cpu.*pair).w = static_cast<uint16_t>(v); }};
}

template <uint8_t flag>
constexpr Register flag_register(const char* name) {
    return {name, 8, "uint8", true, [](const Zx81& m) -> uint64_t { return (m.cpu.IFF & flag) ? 1 : 0; },
            [](Zx81& m, uint64_t v) {
                m.cpu.IFF = static_cast<uint8_t>(v & 1 ? m.cpu.IFF | flag : m.cpu.IFF & ~flag);
            }};
}

uint64_t interrupt_mode(const Zx81& m) {
    return (m.cpu.IFF & IFF_IM2) ? 2 : (m.cpu.IFF & IFF_IM1) ? 1 : 0;
}

const Register registers[] = {
    pair_register<&Z80State::AF>("af"),
    pair_register<&Z80State::BC>("bc"),
    pair_register<&Z80State::DE>("de"),
    pair_register<&Z80State::HL>("hl"),
    pair_register<&Z80State::AF_alt>("af'"),
    pair_register<&Z80State::BC_alt>("bc'"),
    pair_register<&Z80State::DE_alt>("de'"),
    pair_register<&Z80State::HL_alt>("hl'"),
    pair_register<&Z80State::IX>("ix"),
    pair_register<&Z80State::IY>("iy"),
    pair_register<&Z80State::SP>("sp", "data_ptr"),
    pair_register<&Z80State::PC>("pc", "code_ptr"),
    {"ir", 16, "int", false, [](const Zx81& m) -> uint64_t { return m.cpu.I << 8 | m.cpu.R; },
     [](Zx81& m, uint64_t v) {
         m.cpu.I = static_cast<uint8_t>(v >> 8);
         m.cpu.R = static_cast<uint8_t>(v);
     }},
    flag_register<IFF1>("iff1"),
    flag_register<IFF2>("iff2"),
    {"im", 8, "uint8", true, interrupt_mode,
     [](Zx81& m, uint64_t v) {
         m.cpu.IFF = static_cast<uint8_t>((m.cpu.IFF & ~(IFF_IM1 | IFF_IM2)) | (v == 1 ? IFF_IM1 : v == 2 ? IFF_IM2 : 0));
     }},
    {"tstates", 64, "uint64", true, [](const Zx81& m) -> uint64_t { return m.cycles_run; }, nullptr},
    {"frames", 64, "uint64", true, [](const Zx81& m) -> uint64_t { return m.frames; }, nullptr},
};
constexpr size_t register_count = std::size(registers);

constexpr uint32_t number_of(std::string_view name) {
    for (uint32_t i = 0; i < std::size(registers); ++i)
        if (registers[i].name == name) return i;
    return 0xFF;
}

std::string register_hex(const Register& r, uint64_t value) {
    std::string out;
    for (int byte = 0; byte < r.bits / 8; ++byte) out += hex_byte(static_cast<uint8_t>(value >> (8 * byte)));
    return out;
}

// A register's value from its hex bytes, low first; none when they are not.
std::optional<uint64_t> register_value(const Register& r, std::string_view hex) {
    if (hex.size() != static_cast<size_t>(r.bits / 4)) return std::nullopt;
    uint64_t value = 0;
    for (int byte = r.bits / 8 - 1; byte >= 0; --byte) {
        const std::optional<uint32_t> b = hex_value(hex.substr(2 * static_cast<size_t>(byte), 2));
        if (!b) return std::nullopt;
        value = value << 8 | *b;
    }
    return value;
}

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

// GDB's arithmetic on Z80 addresses runs past 64K and below 0 (a return
// address of 0, less 3; the stack read past 0xFFFF), in 32 or 64 bits:
// those addresses are the Z80's 16 address lines' all the same, as the
// processor's own arithmetic has them.
std::optional<uint32_t> address_value(std::string_view digits) {
    if (digits.empty() || digits.size() > 16) return std::nullopt;
    const size_t low = digits.size() > 8 ? digits.size() - 8 : 0;
    if (low > 0 && !hex_value(digits.substr(0, low))) return std::nullopt;
    const std::optional<uint32_t> value = hex_value(digits.substr(low));
    if (!value) return std::nullopt;
    return *value & 0xFFFF;
}

Span span_of(std::string_view text) {
    Span span;
    const size_t comma = text.find(',');
    if (comma == std::string_view::npos) return span;
    const size_t colon = text.find(':', comma);
    const std::string_view length = text.substr(comma + 1, colon == std::string_view::npos ? colon : colon - comma - 1);
    const std::optional<uint32_t> a = address_value(text.substr(0, comma)), n = hex_value(length);
    if (!a || !n) return span;
    span.address = *a;
    span.length = *n;
    if (colon != std::string_view::npos) span.rest = text.substr(colon + 1);
    span.ok = true;
    return span;
}

std::string all_registers(const Zx81& machine) {
    std::string out;
    for (const Register& r : registers) out += register_hex(r, r.read(machine));
    return out;
}

// G: every register, or none when the packet is not every register's bytes;
// the read-only ones are left as they are.
GdbAnswer write_all_registers(Zx81& machine, std::string_view hex) {
    std::array<uint64_t, register_count> values{};
    size_t at = 0;
    for (size_t i = 0; i < register_count; ++i) {
        const size_t digits = static_cast<size_t>(registers[i].bits / 4);
        const std::optional<uint64_t> value =
            at + digits <= hex.size() ? register_value(registers[i], hex.substr(at, digits)) : std::nullopt;
        if (!value) return error_reply;
        values[i] = *value;
        at += digits;
    }
    if (at != hex.size()) return error_reply;
    for (size_t i = 0; i < register_count; ++i)
        if (registers[i].write) registers[i].write(machine, values[i]);
    return ok_reply;
}

GdbAnswer read_register(const Zx81& machine, std::string_view text) {
    const std::optional<uint32_t> number = hex_value(text);
    if (!number || *number >= register_count) return error_reply;
    return {true, register_hex(registers[*number], registers[*number].read(machine))};
}

GdbAnswer write_register(Zx81& machine, std::string_view text) {
    const size_t equals = text.find('=');
    if (equals == std::string_view::npos) return error_reply;
    const std::optional<uint32_t> number = hex_value(text.substr(0, equals));
    if (!number || *number >= register_count) return error_reply;
    const Register& r = registers[*number];
    const std::optional<uint64_t> value = register_value(r, text.substr(equals + 1));
    if (!value || !r.write) return error_reply;
    r.write(machine, *value);
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
        const std::optional<uint32_t> pc = address_value(address);
        if (!pc) return error_reply;
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

// `monitor` commands: what they print goes out as O packets, then OK.
const char* const monitor_help =
    "monitor help               these lines\n"
    "monitor reset              the ZX81's reset button\n"
    "monitor model simple|hardware   the model, from the next frame\n"
    "monitor regs               I, R, IFF1, IFF2, IM and whether the processor is halted\n"
    "monitor frames             television frames since power-up\n"
    "monitor tstates            processor cycles (T-states) since power-up\n"
    "monitor display skip|step  steps, Ctrl-C and watchpoints pass over the display (the default) or stop in it\n";

GdbAnswer printed(const std::string& text) {
    GdbAnswer answer = ok_reply;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = std::min(text.find('\n', start), text.size() - 1) + 1;
        std::string packet = "O";
        for (size_t i = start; i < end; ++i) packet += hex_byte(static_cast<uint8_t>(text[i]));
        answer.output.push_back(std::move(packet));
        start = end;
    }
    return answer;
}

GdbAnswer monitor(Zx81& machine, std::string_view hex) {
    std::string command;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        const std::optional<uint32_t> byte = hex_value(hex.substr(i, 2));
        if (!byte) return error_reply;
        command.push_back(static_cast<char>(*byte));
    }
    std::vector<std::string> words;
    for (size_t at = 0; at < command.size();) {
        const size_t space = command.find(' ', at);
        const size_t end = space == std::string::npos ? command.size() : space;
        if (end > at) words.push_back(command.substr(at, end - at));
        at = end + 1;
    }
    const std::string verb = words.empty() ? "help" : words[0];
    const std::string argument = words.size() > 1 ? words[1] : "";
    char text[160];
    if (verb == "help") return printed(monitor_help);
    if (verb == "reset") {
        reset(machine);
        return printed("the ZX81 is reset: PC=0000\n");
    }
    if (verb == "model" && (argument == "simple" || argument == "hardware")) {
        request_model(machine, argument == "simple" ? Model::simple : Model::hardware);
        return printed("the " + argument + " model from the next frame\n");
    }
    if (verb == "model" && argument.empty())
        return printed(std::string("the ") + model_name(machine.model) + " model\n");
    if (verb == "regs") {
        std::snprintf(text, sizeof text, "I=%02X R=%02X IFF1=%d IFF2=%d IM=%d HALT=%s\n", machine.cpu.I, machine.cpu.R,
                      (machine.cpu.IFF & IFF1) ? 1 : 0, (machine.cpu.IFF & IFF2) ? 1 : 0,
                      static_cast<int>(interrupt_mode(machine)), (machine.cpu.IFF & IFF_HALTED) ? "yes" : "no");
        return printed(text);
    }
    if (verb == "frames") return printed(std::to_string(machine.frames) + " frames since power-up\n");
    if (verb == "tstates") return printed(std::to_string(machine.cycles_run) + " T-states since power-up\n");
    if (verb == "display" && (argument == "skip" || argument == "step")) {
        machine.debug.skip_display = argument == "skip";
        return printed(argument == "skip" ? "steps, Ctrl-C and watchpoints pass over the display\n"
                                          : "steps, Ctrl-C and watchpoints stop in the display too\n");
    }
    return printed("unknown monitor command '" + command + "': try monitor help\n");
}

// A document served in parts by qXfer: offset,length of it.
GdbAnswer part_of(const std::string& document, std::string_view where) {
    const Span span = span_of(where);
    if (!span.ok || !span.rest.empty()) return error_reply;
    if (span.address >= document.size()) return {true, "l"};
    const size_t size = std::min<size_t>({span.length, document.size() - span.address, largest_packet / 2});
    std::string reply(span.address + size >= document.size() ? "l" : "m");
    reply.append(document, span.address, size);
    return {true, reply};
}

// What is where in the processor's 64K, for GDB: the ROM as ROM (GDB sets
// hardware breakpoints there) and its echo at 0x2000 (RAM there when the
// machine has RAM at 8-16K), everything else as RAM. Every address of a
// ZX81 answers: RAM (a small one repeating through 0x4000-0x7FFF), and
// above 0x7FFF the echoes of both in the hardware model (the display file
// runs in the one at 0xC000), memory of its own in the simple model.
std::string memory_map(const Zx81& machine) {
    std::string map = "<?xml version=\"1.0\"?>\n<!DOCTYPE memory-map PUBLIC \"+//IDN gnu.org//DTD GDB Memory Map "
                      "V1.0//EN\" \"http://sourceware.org/gdb/gdb-memory-map.dtd\">\n<memory-map>\n";
    constexpr uint32_t block = 0x400;
    const auto is_rom = [&](uint32_t address) {
        return decoded(machine.address_map, static_cast<uint16_t>(address)) < machine.address_map.writable_from;
    };
    for (uint32_t start = 0; start < 0x10000;) {
        const bool rom = is_rom(start);
        uint32_t end = start + block;
        while (end < 0x10000 && is_rom(end) == rom) end += block;
        char line[96];
        std::snprintf(line, sizeof line, "<memory type=\"%s\" start=\"0x%x\" length=\"0x%x\"/>\n",
                      rom ? "rom" : "ram", start, end - start);
        map += line;
        start = end;
    }
    // GDB's addresses past 64K, which wrap onto it (address_value).
    return map + "<memory type=\"ram\" start=\"0x10000\" length=\"0xffffffffffff0000\"/>\n</memory-map>\n";
}

GdbAnswer query(Zx81& machine, std::string_view packet) {
    if (packet.starts_with("qSupported"))
        return {true, "PacketSize=4000;qXfer:features:read+;qXfer:memory-map:read+;QStartNoAckMode+"};
    if (packet == "qAttached") return {true, "1"};
    if (packet.starts_with("qRcmd,")) return monitor(machine, packet.substr(6));
    constexpr std::string_view features = "qXfer:features:read:target.xml:", map = "qXfer:memory-map:read::";
    if (packet.starts_with(features)) return part_of(target_description(), packet.substr(features.size()));
    if (packet.starts_with(map)) return part_of(memory_map(machine), packet.substr(map.size()));
    if (packet.starts_with("qXfer:")) return {true, "E00"};
    return empty_reply;
}

}  // namespace

const std::string& target_description() {
    static const std::string xml = [] {
        std::string text =
            "<?xml version=\"1.0\"?>\n"
            "<!DOCTYPE target SYSTEM \"gdb-target.dtd\">\n"
            "<target version=\"1.0\">\n"
            "<architecture>z80</architecture>\n"
            "<feature name=\"org.gnu.gdb.z80.cpu\">\n";
        bool ours = false;
        for (const Register& r : registers) {
            if (r.ours && !ours) text += "</feature>\n<feature name=\"org.orlix.zx81\">\n";
            ours = r.ours;
            text += std::string("<reg name=\"") + r.name + "\" bitsize=\"" + std::to_string(r.bits) + "\" type=\"" +
                    r.type + "\"" + (r.ours ? " group=\"zx81\"" : "") + "/>\n";
        }
        return text + "</feature>\n</target>\n";
    }();
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
    for (const char* name : {"sp", "pc"}) {
        const uint32_t n = number_of(name);
        reply.append(hex_byte(static_cast<uint8_t>(n))).append(":").append(register_hex(registers[n], registers[n].read(machine))).append(";");
    }
    return reply;
}

void end_session(Zx81& machine) {
    clear_breakpoints(machine.debug);
    machine.debug.skip_display = true;
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
    case 'p': return read_register(machine, rest);
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
    case 'q': return query(machine, packet);
    case 'Q':
        if (packet != "QStartNoAckMode") return empty_reply;
        session.no_ack = true;
        return ok_reply;
    case 'v': return v_packet(session, machine, packet);
    default: return empty_reply;
    }
}
