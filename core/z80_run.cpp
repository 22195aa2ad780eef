// The core's operations on the machine of the link-time callbacks.
#include "z80_execute.h"

uint16_t z80_run(Z80State* state) {
    return z80_execute<LinkBus>(state);
}

void z80_interrupt(Z80State* state, uint16_t value) {
    Cpu<LinkBus> c(*state, LinkBus{}, flow_of(*state));
    accept_interrupt(c, value);
    store_flow(*state, c.flow());
}

namespace {

// One group's instruction on the state, with its flow taken from the state and
// written back to it.
template <Flow (*Group)(Z80State&, LinkBus, Flow)>
void on_state(Z80State* state) {
    store_flow(*state, Group(*state, LinkBus{}, flow_of(*state)));
}

}  // namespace

void z80_exec_ed(Z80State* state) {
    on_state<run_ed<LinkBus>>(state);
}
