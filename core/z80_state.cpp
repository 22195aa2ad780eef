// Power-on state of the processor.
#include "z80.h"

void z80_reset(Z80State* s) {
    s->AF.w = s->BC.w = s->DE.w = s->HL.w = 0;
    s->IX.w = s->IY.w = s->PC.w = 0;
    s->AF_alt.w = s->BC_alt.w = s->DE_alt.w = s->HL_alt.w = 0;
    s->SP.w = 0xF000;
    s->IFF = 0;
    s->I = 0;
    s->R = 0;
    s->cycles_left = s->period_cycles;
    s->pending_irq = IRQ_NONE;
}
