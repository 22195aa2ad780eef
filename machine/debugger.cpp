#include "debugger.h"

void add_breakpoint(Debugger& debugger, WatchKind kind, uint16_t address, uint16_t length) {
    if (debugger.counts.empty()) debugger.counts.assign(65536, {});
    for (uint32_t i = 0; i < length; ++i) {
        uint8_t& count = debugger.counts[static_cast<uint16_t>(address + i)][static_cast<size_t>(kind)];
        if (count < 255) ++count;
    }
    ++debugger.set;
}

bool remove_breakpoint(Debugger& debugger, WatchKind kind, uint16_t address, uint16_t length) {
    if (debugger.counts.empty()) return false;
    for (uint32_t i = 0; i < length; ++i)
        if (debugger.counts[static_cast<uint16_t>(address + i)][static_cast<size_t>(kind)] == 0) return false;
    for (uint32_t i = 0; i < length; ++i) --debugger.counts[static_cast<uint16_t>(address + i)][static_cast<size_t>(kind)];
    --debugger.set;
    return true;
}

void clear_breakpoints(Debugger& debugger) {
    debugger.counts.clear();
    debugger.set = 0;
}

StopReason stop_at_boundary(Debugger& debugger, uint16_t next_pc) {
    StopReason reason = StopReason::none;
    if (debugger.watch_hit != StopReason::none) {
        reason = debugger.watch_hit;
        debugger.address = debugger.watch_address;
    } else if (debugger.step) {
        reason = StopReason::step;
    } else if (debugger.stop_asked) {
        reason = StopReason::asked;
    } else if (has_breakpoint(debugger, WatchKind::execute, next_pc)) {
        reason = StopReason::breakpoint;
    }
    debugger.watch_hit = StopReason::none;
    if (reason == StopReason::none) return reason;
    debugger.step = debugger.stop_asked = false;
    debugger.stopped = true;
    debugger.reason = reason;
    return reason;
}

void resume(Debugger& debugger) {
    if (debugger.stopped) debugger.resumed = true;
    debugger.stopped = false;
    debugger.reason = StopReason::none;
}

void stop_now(Debugger& debugger, StopReason reason) {
    debugger.stopped = true;
    debugger.resumed = false;
    debugger.reason = reason;
    debugger.step = debugger.stop_asked = false;
    debugger.watch_hit = StopReason::none;
    debugger.unspent = 0;
}

bool stops_before_period(Debugger& debugger, uint16_t pc) {
    const bool resumed = debugger.resumed;
    debugger.resumed = false;
    if (resumed || !has_breakpoint(debugger, WatchKind::execute, pc)) return false;
    stop_now(debugger, StopReason::breakpoint);
    return true;
}

bool quiet_between(const Debugger& debugger, uint16_t from, uint16_t to) {
    if (debugger.step || debugger.stop_asked) return false;
    if (debugger.counts.empty()) return true;
    for (uint32_t address = from; address <= to; ++address)
        for (uint8_t count : debugger.counts[address])
            if (count) return false;
    return true;
}
