// The gdb stub over loopback, driven by a client of the test's own: the
// framing, the packets DeZog and z88dk-gdb send, stops, Ctrl-C, the ends of
// a session, and a flood of malformed packets.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <random>
#include <regex>
#include <thread>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "gdb_client.h"
#include "gdb_stub.h"
#include "program_image.h"
#include "zx81_harness.h"

namespace {

using RemoteProtocol = MachineTest;

// Text as the hex of its bytes, as monitor commands travel.
std::string hex_of(std::string_view text) {
    std::string out;
    for (char c : text) out += hex_byte(static_cast<uint8_t>(c));
    return out;
}

// Strings one after another (GCC 12 warns wrongly about + on them here).
std::string joined(std::initializer_list<std::string_view> parts) {
    std::string out;
    for (std::string_view part : parts) out.append(part);
    return out;
}

TEST_F(RemoteProtocol, FramingAndEscapes) {
    const std::pair<std::string, std::string> vectors[] = {
        {"g", "$g#67"}, {"?", "$?#3f"}, {"OK", "$OK#9a"}, {"", "$#00"}, {"}", "$}]#da"}};
    for (const auto& [data, packet] : vectors) EXPECT_EQ(framed(data), packet) << data;
    // Every byte, escaped where it must be, reads back as itself.
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    PacketReader reader;
    int packets = 0;
    for (char c : framed(all))
        if (reader.feed(c) == PacketReader::Event::packet) ++packets;
    EXPECT_EQ(packets, 1);
    EXPECT_EQ(reader.packet(), all);

    using Event = PacketReader::Event;
    const std::pair<std::string, Event> streams[] = {
        {"+", Event::ack},
        {"-", Event::nack},
        {"\x03", Event::interrupt},
        {"$m0,1#00", Event::bad},  // a wrong checksum
        {"$a\x03" "b#c6", Event::packet},  // 0x03 inside a packet is data
        {joined({"$", std::string(largest_packet + 1, 'a'), "#",
                 hex_byte(packet_checksum(std::string(largest_packet + 1, 'a')))}),
         Event::too_long},
    };
    for (const auto& [stream, last] : streams) {
        PacketReader r;
        Event event = Event::none;
        for (char c : stream) event = r.feed(c);
        EXPECT_EQ(event, last) << stream.substr(0, 12);
    }
}

// A stub on a free port, a machine and a client attached to it.
class Stub : public ::testing::Test, public TestMachine {
protected:
    std::unique_ptr<GdbStub> stub;
    std::unique_ptr<GdbClient> client;

    // The stub and a client on a machine at its K prompt, or (not `booted`)
    // at power-up, as `orlix --headless --gdb` waits for its debugger.
    void start(Model model, bool dezog = false, bool booted = true, int ram_kb = default_ram_kb) {
        start_machine(model, false, ram_kb);
        if (booted) boot();
        std::string problem;
        stub = GdbStub::listen({"127.0.0.1", 0, dezog}, problem);
        ASSERT_TRUE(stub) << problem;
        client = std::make_unique<GdbClient>(port());
        ASSERT_TRUE(client->connected());
        for (int i = 0; i < 100 && !stub->attached(); ++i) stub->serve(zx81, 10);
        ASSERT_TRUE(stub->attached());
    }
    void TearDown() override {
        client.reset();
        stub.reset();
        end_session(zx81);
    }
    int port() const { return std::stoi(stub->where().substr(stub->where().rfind(':') + 1)); }

    // The stub's turn, then the machine's, as a front end gives them.
    std::function<void()> turn() {
        return [this] {
            stub->serve(zx81);
            run_period(zx81);
        };
    }
    std::string ask(const std::string& packet, int tries = 200) {
        client->send_packet(packet);
        return client->read_packet(turn(), tries);
    }
    // A monitor command: what it printed (its O packets), up to its OK.
    std::string monitor(std::string_view command) {
        client->send_packet(joined({"qRcmd,", hex_of(command)}));
        std::string printed;
        for (std::string reply = client->read_packet(turn()); reply.starts_with("O") && reply != "OK";
             reply = client->read_packet(turn()))
            for (size_t i = 1; i + 1 < reply.size(); i += 2) printed.push_back(static_cast<char>(*hex_value(reply.substr(i, 2))));
        return printed;
    }
};

// Where the program runs: not the display file, not the ROM's display and
// interrupt routines, not a HALT waiting for the display.
bool in_program(const Zx81& machine) {
    const uint16_t pc = machine.cpu.PC.w;
    return pc < 0x8000 && !(machine.cpu.IFF & IFF_HALTED) && !(pc >= 0x38 && pc < 0x80) && !(pc >= 0x229 && pc <= 0x2E6);
}

TEST_F(Stub, RegistersMemoryAndTheTargetDescription) {
    start(Model::simple);
    EXPECT_EQ(ask("?").substr(0, 3), "T05");
    EXPECT_EQ(client->acks(), "+");
    const std::string supported = ask("qSupported:multiprocess+;xmlRegisters=i386");
    EXPECT_NE(supported.find("PacketSize=4000"), std::string::npos);
    EXPECT_NE(supported.find("QStartNoAckMode+"), std::string::npos);
    const std::string xml = ask("qXfer:features:read:target.xml:0,fff");
    EXPECT_EQ(xml.substr(0, 6), "l<?xml");
    // GDB's Z80 feature whole (GDB refuses one without `ir`), then Orlix's.
    std::string names;
    for (size_t at = xml.find("<reg name=\""); at != std::string::npos; at = xml.find("<reg name=\"", at + 1))
        names += xml.substr(at + 11, xml.find('"', at + 11) - at - 11) + " ";
    EXPECT_EQ(names, "af bc de hl af' bc' de' hl' ix iy sp pc ir iff1 iff2 im tstates frames ");
    EXPECT_LT(xml.find("org.gnu.gdb.z80.cpu"), xml.find("\"ir\""));
    EXPECT_LT(xml.find("\"ir\""), xml.find("org.orlix.zx81"));

    std::vector<uint8_t> bytes(142, 0);
    bytes[0x0B] = 0x97;  // E_LINE 0x4097: 142 bytes
    bytes[0x0C] = 0x40;
    bytes[3] = 0x7D;     // D_FILE
    bytes[4] = 0x40;
    const ProgramImage program = check_program_image(bytes, 16);
    ASSERT_TRUE(program.result.ok) << program.result.reason;
    start_program(zx81, program);
    const uint8_t rom_first = zx81.memory[0];
    zx81.cpu.SP.w = 0x7FFC;
    struct Exchange {
        std::string packet, reply;
    };
    const Exchange exchanges[] = {
        {"m4009,5", "0000007d40"},
        {"P0b=3412", "OK"},
        {"p0b", "3412"},
        {"p0a", "fc7f"},
        {"M4100,3:abcdef", "OK"},
        {"m4100,3", "abcdef"},
        {"m0000,1", hex_byte(rom_first)},
        {"M0000,1:00", "OK"},  // the ROM cannot be written
        {"m0000,1", hex_byte(rom_first)},
        {"mffff,10", hex_byte(peek(zx81, 0xFFFF))},  // the address space ends
        {"m4009", "E01"},
        {"m10000,1", hex_byte(rom_first)},          // GDB's addresses wrap onto the 64K
        {"mfffffffffffffffe,2", hex_byte(peek(zx81, 0xFFFE)) + hex_byte(peek(zx81, 0xFFFF))},
        {"M4100,2:ab", "E01"},
        {"M4100,1:zz", "E01"},
        {"Mffff,2:0000", "E01"},
        {"G00", "E01"},
        {"p12", "E01"},
        {"Z9,0,0", ""},
        {"qUnknown", ""},
        {"vMustReplyEmpty", ""},
        {"vCont?", "vCont;c;C;s;S"},
        {"!", "OK"},
        {"Hg0", "OK"},
        {"qXfer:features:read:other.xml:0,10", "E00"},
    };
    for (const Exchange& e : exchanges) EXPECT_EQ(ask(e.packet), e.reply) << e.packet;
    EXPECT_EQ(zx81.cpu.PC.w, 0x1234);
    // Binary data with the bytes that need escapes.
    client->send_raw(framed("X4103,4:}\x23$*"));
    EXPECT_EQ(client->read_packet(turn()), "OK");
    EXPECT_EQ(ask("m4103,4"), "7d23242a");
    const std::string registers_hex = ask("g");
    ASSERT_EQ(registers_hex.size(), 13 * 4 + 3 * 2 + 2 * 16u);
    EXPECT_EQ(registers_hex.substr(40, 8), "fc7f3412");  // SP, PC
    std::string changed = registers_hex;
    changed.replace(12, 4, "cdab");  // HL
    EXPECT_EQ(ask(joined({"G", changed})), "OK");
    EXPECT_EQ(zx81.cpu.HL.w, 0xABCD);

    // No acknowledgements once agreed.
    EXPECT_EQ(ask("QStartNoAckMode"), "OK");
    const size_t acks = client->acks().size();
    EXPECT_EQ(ask("p0b"), "3412");
    EXPECT_EQ(client->acks().size(), acks);
}

// A breakpoint in the ROM's interrupt routine, a step, two breakpoints at
// one place, and a watchpoint on FRAMES, in the hardware model.
TEST_F(Stub, StopsAtBreakpointsStepsAndWatches) {
    start(Model::hardware);
    EXPECT_EQ(ask("Z0,0038,0"), "OK");
    std::string stop = ask("c");
    EXPECT_EQ(stop.substr(0, 3), "T05");
    EXPECT_NE(stop.find("0b:3800;"), std::string::npos) << stop;
    EXPECT_EQ(zx81.cpu.PC.w, 0x0038);
    // Inside the display, a step goes on to the program's next instruction
    // (the breakpoint in the display aside); with the display stepped too,
    // to the next instruction.
    EXPECT_EQ(ask("z0,0038,0"), "OK");
    stop = ask("s");
    EXPECT_TRUE(in_program(zx81)) << stop;
    EXPECT_EQ(ask("Z0,0038,0"), "OK");
    EXPECT_NE(ask("c").find("0b:3800;"), std::string::npos);
    EXPECT_NE(monitor("display step").find("stop in the display"), std::string::npos);
    stop = ask("s");  // DEC C, one byte
    EXPECT_NE(stop.find("0b:3900;"), std::string::npos) << stop;
    monitor("display skip");

    EXPECT_EQ(ask("Z0,0038,0"), "OK");
    EXPECT_EQ(ask("z0,0038,0"), "OK");
    EXPECT_NE(ask("c").find("0b:3800;"), std::string::npos);  // the other one is still there
    EXPECT_EQ(ask("z0,0038,0"), "OK");
    EXPECT_EQ(ask("z0,0038,0"), "E01");

    EXPECT_EQ(ask("Z2,4034,2"), "OK");
    const uint64_t before = zx81.cycles_run;
    stop = ask("c");
    EXPECT_EQ(stop.substr(0, 14), "T05watch:4034;") << stop;
    EXPECT_LE(zx81.cycles_run - before, 65'000u) << "within one frame";
    EXPECT_EQ(ask("z2,4034,2"), "OK");
}

// Ctrl-C while the machine runs stops it: with the stop reply GDB expects,
// or (for DeZog) with none, the next g answering.
TEST_F(Stub, CtrlCStopsTheMachineInBothModes) {
    for (const bool dezog : {false, true}) {
        SCOPED_TRACE(dezog ? "DeZog" : "gdb");
        start(Model::hardware, dezog);
        client->send_packet("c");
        for (int i = 0; i < 5; ++i) turn()();
        EXPECT_FALSE(zx81.debug.stopped);
        client->send_raw("\x03");
        const std::string reply = client->read_packet(turn(), dezog ? 20 : 200);
        EXPECT_TRUE(zx81.debug.stopped);
        EXPECT_EQ(reply.substr(0, 3), dezog ? GdbClient::nothing : "T02");
        EXPECT_EQ(ask("g").size(), 90u);
        TearDown();
    }
}

// However a session ends, the machine runs on without its breakpoints:
// D (answered), k (not), or a client that vanishes.
TEST_F(Stub, TheMachineRunsOnWhenTheClientGoes) {
    for (const char* end : {"D", "k", ""}) {
        SCOPED_TRACE(*end ? end : "vanished");
        start(Model::simple);
        EXPECT_EQ(ask("Z0,0038,0"), "OK");
        if (*end) {
            client->send_packet(end);
            if (*end == 'D') {
                EXPECT_EQ(client->read_packet(turn()), "OK");
            }
            EXPECT_TRUE(client->closed(turn()));
        } else {
            client.reset();
            for (int i = 0; i < 10; ++i) turn()();
        }
        EXPECT_FALSE(stub->attached());
        EXPECT_FALSE(zx81.debug.stopped);
        EXPECT_EQ(zx81.debug.set, 0);
        const uint64_t before = zx81.cycles_run;
        turn()();
        EXPECT_GT(zx81.cycles_run, before);
        TearDown();
    }
}

TEST_F(Stub, ASecondClientIsRefused) {
    start(Model::simple);
    GdbClient second(port());
    // It waits a second for the first to go, then hears why it cannot stay.
    EXPECT_EQ(second.read_packet([this] { stub->serve(zx81, 10); }, 300), "E.Orlix has a debugger attached already");
    EXPECT_TRUE(second.closed());
    EXPECT_EQ(ask("?").substr(0, 3), "T05");
}

// Random and mutated packets: Orlix answers a well-formed ? afterwards, and
// nothing but what M and X wrote has changed in memory. The machine stays
// stopped (packets that would run it or end the session are left out).
TEST_F(Stub, TenThousandMutatedPacketsChangeNothingElse) {
    start(Model::simple);
    const Memory before = zx81.memory;
    std::mt19937 random(24);
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const std::vector<std::string> seeds = {
        "g", joined({"G", std::string(48, '0')}), "p0b", "P0b=0000", "m4009,10", "M4000,2:abcd", "X4000,2:ab", "Z0,1234,0",
        "z0,1234,0", "Z2,4000,ffff", "z4,0,0", "qXfer:features:read:target.xml:ffffffff,ffffffff", "qSupported",
        "Hg0", "!", "vCont?", "QStartNoAckMode", "m,", "M:", "X,,:", "Z", "P=",
    };
    // What M and X packets that arrive whole may write, where the memory
    // map puts it.
    std::vector<bool> writable(0x10000, false);
    std::string stream;
    for (int i = 0; i < 10'000; ++i) {
        std::string data = seeds[static_cast<size_t>(pick(static_cast<int>(seeds.size())))];
        for (int m = pick(4); m > 0; --m) {
            const size_t at = data.empty() ? 0 : static_cast<size_t>(pick(static_cast<int>(data.size())));
            switch (pick(4)) {
            case 0: data.insert(at, 1, static_cast<char>(random())); break;
            case 1: if (!data.empty()) data[at] = static_cast<char>(random()); break;
            case 2: data.erase(at, 1); break;
            case 3: data.insert(at, std::to_string(random()), 0, static_cast<size_t>(pick(9))); break;
            }
        }
        if (data.empty()) continue;
        const char first = data[0];
        if (first == 'c' || first == 's' || first == 'v' || first == 'D' || first == 'k' ||
            data.find('\x03') != std::string::npos)
            continue;
        std::string packet = framed(data);
        const int damage = pick(10);
        switch (damage) {
        case 0: packet.back() = packet.back() == '0' ? '1' : '0'; break;  // a wrong checksum
        case 1: packet.resize(static_cast<size_t>(pick(static_cast<int>(packet.size())))); break;
        case 2:  // now and then, one too long
            if (pick(10) == 0) packet = joined({"$", std::string(largest_packet + 10, 'M'), "#00"});
            break;
        case 3: packet += std::string(static_cast<size_t>(pick(5)), '-'); break;
        default: break;
        }
        if ((first == 'M' || first == 'X') && (damage == 3 || damage > 3)) {
            const size_t comma = data.find(','), colon = data.find(':');
            const std::optional<uint32_t> address = hex_value(std::string_view(data).substr(1, comma - 1));
            const std::optional<uint32_t> length =
                comma < colon ? hex_value(std::string_view(data).substr(comma + 1, colon - comma - 1)) : std::nullopt;
            if (address && length)
                for (uint32_t a = *address; a < std::min<uint32_t>(*address + *length, 0x10000); ++a)
                    writable[decoded(zx81.address_map, static_cast<uint16_t>(a))] = true;
        }
        stream += packet;
    }
    // What comes back is read and let go, as it comes.
    const auto drain = [this] {
        for (int quiet = 0; quiet < 3;) {
            stub->serve(zx81, 1);
            quiet = client->discard_arrived() ? 0 : quiet + 1;
        }
    };
    for (size_t at = 0; at < stream.size(); at += 65536) {
        client->send_raw(stream.substr(at, 65536));
        drain();
    }
    // A packet cut short is ended; then a PC no packet above gives, and a
    // well-formed ? that must report it.
    client->send_raw("#00");
    client->send_packet("P0b=5a5a");
    client->send_packet("?");
    std::string reply;
    for (int i = 0; i < 100'000 && reply.find("0b:5a5a;") == std::string::npos; ++i) {
        reply = client->read_packet([this] { stub->serve(zx81, 1); }, 1000);
        if (reply == GdbClient::nothing) break;
    }
    EXPECT_EQ(reply.substr(0, 3), "T05");
    EXPECT_NE(reply.find("0b:5a5a;"), std::string::npos) << reply;
    EXPECT_TRUE(stub->attached());
    EXPECT_TRUE(zx81.debug.stopped);
    int changed = 0, changed_elsewhere = 0;
    for (uint32_t address = 0; address < 0x10000; ++address) {
        changed += zx81.memory[address] != before[address];
        changed_elsewhere += zx81.memory[address] != before[address] && !writable[address];
    }
    EXPECT_GT(changed, 0) << "some M and X packets wrote";
    EXPECT_EQ(changed_elsewhere, 0);
}

// Registers of the ZX81's own feature through G and P: I and R, the
// interrupt flags and mode written; the counts read only.
TEST_F(Stub, TheZx81sRegistersWriteBack) {
    start(Model::simple);
    const uint64_t cycles = zx81.cycles_run;
    std::string all = ask("g");
    ASSERT_EQ(all.size(), 90u);
    all.replace(48, 4, "cdab");  // ir: R low, I high
    all.replace(52, 6, "010002");  // iff1, iff2, im
    all.replace(58, 16, std::string(16, 'f'));  // tstates: read only
    EXPECT_EQ(ask(joined({"G", all})), "OK");
    EXPECT_EQ(zx81.cpu.I, 0xAB);
    EXPECT_EQ(zx81.cpu.R, 0xCD);
    EXPECT_EQ(zx81.cpu.IFF & (IFF1 | IFF2 | IFF_IM1 | IFF_IM2), IFF1 | IFF_IM2);
    EXPECT_EQ(zx81.cycles_run, cycles);
    const std::pair<const char*, std::string> exchanges[] = {
        {"p0c", "cdab"}, {"p0d", "01"}, {"p0e", "00"}, {"p0f", "02"}, {"P0f=01", "OK"}, {"p0f", "01"},
        {"P0c=0", "E01"}, {"P10=0000000000000000", "E01"}, {"p11", hex_byte(static_cast<uint8_t>(zx81.frames)) + "00000000000000"},
    };
    for (const auto& [packet, reply] : exchanges) EXPECT_EQ(ask(packet), reply) << packet;
    EXPECT_EQ(zx81.cycles_run, cycles);
}

// Monitor commands print what they say, then OK.
TEST_F(Stub, MonitorCommands) {
    start(Model::hardware);
    zx81.cpu.I = 0x1E;
    zx81.cpu.R = 0x5A;
    const std::pair<std::string, std::string> commands[] = {
        {"regs", "I=1E R=5A IFF1=" + std::to_string((zx81.cpu.IFF & IFF1) ? 1 : 0) +
                     " IFF2=" + std::to_string((zx81.cpu.IFF & IFF2) ? 1 : 0) + " IM=1 HALT=" +
                     ((zx81.cpu.IFF & IFF_HALTED) ? "yes" : "no") + "\n"},
        {"frames", std::to_string(zx81.frames) + " frames since power-up\n"},
        {"tstates", std::to_string(zx81.cycles_run) + " T-states since power-up\n"},
        {"model", "the hardware model\n"},
        {"model  simple", "the simple model from the next frame\n"},
        {"warp 9", "unknown monitor command 'warp 9': try monitor help\n"},
        {"reset", "the ZX81 is reset: PC=0000\n"},
    };
    for (const auto& [command, printed] : commands) EXPECT_EQ(monitor(command), printed) << command;
    EXPECT_EQ(zx81.cpu.PC.w, 0);
    EXPECT_GT(zx81.frames, 0u) << "a reset keeps the count since power-up";
    const std::string help = monitor("help");
    for (const char* named : {"reset", "model simple|hardware", "regs", "frames", "tstates", "display skip|step"})
        EXPECT_NE(help.find(named), std::string::npos) << named;
    EXPECT_EQ(ask("p0b"), "0000");
    turn()();
    EXPECT_EQ(zx81.model, Model::simple);
}

// What GDB is told is where: the ROM (where it sets hardware breakpoints)
// and RAM, each model and size as its address lines decode them.
TEST_F(Stub, TheMemoryMapFollowsTheModelAndRam) {
    struct Case {
        Model model;
        int ram_kb;
        bool low_ram;
        const char* regions;
    };
    const Case cases[] = {
        {Model::simple, 16, false, "rom 0x0 0x4000,ram 0x4000 0xc000,"},
        {Model::hardware, 16, false, "rom 0x0 0x4000,ram 0x4000 0x4000,rom 0x8000 0x4000,ram 0xc000 0x4000,"},
        {Model::hardware, 1, false, "rom 0x0 0x4000,ram 0x4000 0x4000,rom 0x8000 0x4000,ram 0xc000 0x4000,"},
        {Model::hardware, 32, false, "rom 0x0 0x4000,ram 0x4000 0xc000,"},
        {Model::hardware, 16, true, "rom 0x0 0x2000,ram 0x2000 0x6000,rom 0x8000 0x2000,ram 0xa000 0x6000,"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.ram_kb) + (c.low_ram ? "+8K" : "K"));
        zx81.low_ram = c.low_ram;
        start(c.model, false, false, c.ram_kb);
        const std::string map = ask("qXfer:memory-map:read::0,fff");
        EXPECT_EQ(map.substr(0, 6), "l<?xml");
        std::string regions;
        const std::regex region(R"re(<memory type="(\w+)" start="(\w+)" length="(\w+)"/>)re");
        for (std::sregex_iterator m(map.begin(), map.end(), region), end; m != end; ++m)
            if ((*m)[2] != "0x10000") regions += (*m)[1].str() + " " + (*m)[2].str() + " " + (*m)[3].str() + ",";
        EXPECT_EQ(regions, c.regions);
        TearDown();
    }
}

// The edges of a session: a client that closes and comes again at once,
// breakpoints by the hundred at one address, a packet too long in either
// acknowledgement mode.
TEST_F(Stub, SessionEdges) {
    start(Model::simple);
    for (int i = 0; i < 50; ++i) {
        client.reset();  // closed without D or k
        client = std::make_unique<GdbClient>(port());
        ASSERT_EQ(ask("?", 400).substr(0, 3), "T05") << "reconnection " << i;
    }
    for (const char* packet : {"Z0,4100,0", "z0,4100,0"}) {
        int ok = 0;
        for (int i = 0; i < 300; ++i) ok += ask(packet) == "OK";
        EXPECT_EQ(ok, 300) << packet;
    }
    EXPECT_EQ(zx81.debug.set, 0);
    EXPECT_FALSE(has_breakpoint(zx81.debug, WatchKind::execute, 0x4100));
    const std::string too_long = std::string(largest_packet + 1, 'm');
    for (const bool ack : {true, false}) {
        if (!ack) {
            EXPECT_EQ(ask("QStartNoAckMode"), "OK");
        }
        const size_t acks = client->acks().size();
        client->send_raw(joined({"$", too_long, "#", hex_byte(packet_checksum(too_long))}));
        EXPECT_EQ(client->read_packet(turn()), "E01") << (ack ? "ack mode" : "no-ack mode");
        EXPECT_EQ(client->acks().substr(acks), ack ? "+" : "");
        EXPECT_EQ(ask("p0b").size(), 4u);
    }
}

// Clients that connect in a rush are all connected at once, not after a
// retry a second later.
TEST_F(Stub, TwelveConnectsAtOnceAreQuick) {
    start(Model::simple);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port()));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const auto began = std::chrono::steady_clock::now();
    std::vector<int> sockets;
    for (int i = 0; i < 12; ++i) {
        sockets.push_back(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        EXPECT_EQ(connect(sockets.back(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::milliseconds(500));
    for (int fd : sockets) close(fd);
}

// In the hardware model Ctrl-C stops in the program, never in the display;
// the display file's reads by the display hardware fire a read watchpoint
// only when the display is debugged too.
TEST_F(Stub, TheDisplayIsPassedOverUnlessAsked) {
    start(Model::hardware);
    for (int i = 0; i < 5; ++i) {
        client->send_packet("c");
        for (int t = 0; t < 3 + i; ++t) turn()();
        client->send_raw("\x03");
        EXPECT_EQ(client->read_packet(turn()).substr(0, 3), "T02");
        EXPECT_TRUE(in_program(zx81)) << "PC " << zx81.cpu.PC.w;
    }
    const uint16_t line_one = static_cast<uint16_t>(word_at(zx81.memory, sysvar::d_file) + 1);
    char watch[32];
    std::snprintf(watch, sizeof watch, "Z3,%x,1", line_one);
    EXPECT_EQ(ask(watch), "OK");
    client->send_packet("c");
    for (int t = 0; t < 20; ++t) turn()();
    EXPECT_FALSE(zx81.debug.stopped) << "the K prompt's loop reads no display file";
    client->send_raw("\x03");
    EXPECT_EQ(client->read_packet(turn()).substr(0, 3), "T02");
    monitor("display step");
    char fired[32];
    std::snprintf(fired, sizeof fired, "T05rwatch:%04x;", line_one);
    EXPECT_EQ(ask("c").substr(0, 15), fired);
    EXPECT_GE(zx81.cpu.PC.w, 0x8000) << "in the display file's echo";
}

// GDB's own conversation (tests/gdb/fixtures/gdb_session.txt, recorded from
// a real GDB by RealGdb.RecordsASession) replayed: every reply as GDB had it.
TEST_F(Stub, ARealGdbSessionReplays) {
    struct Exchange {
        std::string sent;
        std::vector<std::string> replies;
    };
    // GDB's debug log shows a newline as \n and a backslash as \\.
    const auto unescaped = [](std::string_view text) {
        std::string out;
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] != '\\' || i + 1 == text.size()) {
                out += text[i];
                continue;
            }
            const char next = text[++i];
            if (next == 'x' && i + 2 < text.size()) {
                out += static_cast<char>(*hex_value(text.substr(i + 1, 2)));
                i += 2;
            } else {
                out += next == 'n' ? '\n' : next == 'r' ? '\r' : next == 't' ? '\t' : next;
            }
        }
        return out;
    };
    std::ifstream file(ORLIX_SOURCE_DIR "/tests/gdb/fixtures/gdb_session.txt");
    std::vector<Exchange> exchanges;
    for (std::string line; std::getline(file, line);) {
        if (line.starts_with("> ")) {
            exchanges.push_back({unescaped(line.substr(2)), {}});
        } else if (line.starts_with("< ") && !exchanges.empty()) {
            exchanges.back().replies.push_back(unescaped(line.substr(2)));
        }
    }
    ASSERT_GT(exchanges.size(), 300u);
    start(Model::hardware, false, false);
    size_t replayed = 0;
    for (const Exchange& e : exchanges) {
        client->send_packet(e.sent);
        for (const std::string& expected : e.replies) ASSERT_EQ(client->read_packet(turn(), 5000), expected) << e.sent;
        ++replayed;
    }
    EXPECT_EQ(replayed, exchanges.size());
    EXPECT_TRUE(client->closed(turn())) << "D ends the session";
    EXPECT_FALSE(zx81.debug.stopped);
}

}  // namespace
