#include "debugger.h"

namespace {

// The count of `kind` at `address` changed by `step`, and its mark with it.
void count(Debugger& debugger, WatchKind kind, uint16_t address, int step) {
    uint32_t& n = debugger.counts[address][static_cast<size_t>(kind)];
    n = static_cast<uint32_t>(static_cast<int64_t>(n) + step);
    const uint8_t bit = static_cast<uint8_t>(1 << static_cast<int>(kind));
    debugger.marked[address] = static_cast<uint8_t>(n ? debugger.marked[address] | bit : debugger.marked[address] & ~bit);
}

}  // namespace

void add_breakpoint(Debugger& debugger, WatchKind kind, uint16_t address, uint16_t length) {
    if (debugger.counts.empty()) {
        debugger.counts.assign(65536, {});
        debugger.marked.assign(65536, 0);
    }
    for (uint32_t i = 0; i < length; ++i) count(debugger, kind, static_cast<uint16_t>(address + i), +1);
    ++debugger.set;
}

bool remove_breakpoint(Debugger& debugger, WatchKind kind, uint16_t address, uint16_t length) {
    if (debugger.counts.empty()) return false;
    for (uint32_t i = 0; i < length; ++i)
        if (debugger.counts[static_cast<uint16_t>(address + i)][static_cast<size_t>(kind)] == 0) return false;
    for (uint32_t i = 0; i < length; ++i) count(debugger, kind, static_cast<uint16_t>(address + i), -1);
    --debugger.set;
    return true;
}

void clear_breakpoints(Debugger& debugger) {
    debugger.counts.clear();
    debugger.marked.clear();
    debugger.set = 0;
}

StopReason stop_at_boundary(Debugger& debugger, uint16_t next_pc, bool program) {
    // A display that never ends (interrupts off at a HALT) lets a waiting
    // stop come after this many instructions all the same.
    constexpr uint32_t longest_wait = 200'000;
    StopReason reason = debugger.deferred;
    uint16_t address = debugger.deferred_address;
    if (debugger.watch_hit != StopReason::none) {
        reason = debugger.watch_hit;
        address = debugger.watch_address;
    } else if (debugger.step) {
        reason = StopReason::step;
    } else if (debugger.stop_asked) {
        reason = StopReason::asked;
    }
    debugger.watch_hit = StopReason::none;
    debugger.step = debugger.stop_asked = false;
    if (has_breakpoint(debugger, WatchKind::execute, next_pc)) {
        if (reason == StopReason::none) reason = StopReason::breakpoint;
    } else if (reason != StopReason::none && !program && debugger.deferred_for++ < longest_wait) {
        debugger.deferred = reason;
        debugger.deferred_address = address;
        return StopReason::none;
    }
    if (reason == StopReason::none) return reason;
    debugger.deferred = StopReason::none;
    debugger.deferred_for = 0;
    debugger.stopped = true;
    debugger.reason = reason;
    debugger.address = address;
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
    debugger.deferred = StopReason::none;
    debugger.deferred_for = 0;
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
    if (debugger.step || debugger.stop_asked || debugger.deferred != StopReason::none) return false;
    if (debugger.marked.empty()) return true;
    for (uint32_t address = from; address <= to; ++address)
        if (debugger.marked[address]) return false;
    return true;
}
