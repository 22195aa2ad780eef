// What a gdb client's packets do to the ZX81, and what the stub answers:
// the registers of the target description (GDB's Z80 feature: AF BC DE HL
// AF' BC' DE' HL' IX IY SP PC IR, 16 bits each, low byte first; then the
// ZX81's own: IFF1, IFF2, IM, the T-states and frames since power-up),
// memory as the processor sees it and a map of it, breakpoints and
// watchpoints, continue and step, monitor commands, and the stop replies. Packets are answered between two periods, while
// the machine runs as well as while it is stopped.
#pragma once

#include <string>
#include <vector>

#include "zx81.h"

struct GdbSession {
    bool no_ack = false;          // QStartNoAckMode agreed: no '+' or '-' from here on
    bool dezog = false;           // Ctrl-C as DeZog has it: the machine stops, and no reply
    bool waiting_for_stop = false;  // a continue or step was given: its stop reply is owed
    bool detached = false;        // D or k: the session ends once the reply is out
};

// The answer to one packet: the reply's data, or nothing at all (a
// continue, whose reply comes when the machine stops; k).
struct GdbAnswer {
    bool reply = true;
    std::string data;
    std::vector<std::string> output;  // O packets (a monitor command's lines) sent before it

    GdbAnswer(bool replies, std::string reply_data) : reply(replies), data(std::move(reply_data)) {}
};

GdbAnswer answer_packet(GdbSession& session, Zx81& machine, const std::string& packet);

// The stop reply for how the machine stopped: T05 (T02 for a stop asked
// from outside) with SP and PC, and the data address of a watchpoint.
std::string stop_reply(const Zx81& machine);

// The target description served through qXfer.
const std::string& target_description();

// A session's end: its breakpoints go, and the machine runs on.
void end_session(Zx81& machine);
