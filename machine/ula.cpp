#include "ula.h"

void start_hardware(Ula& state, bool ntsc) {
    state = Ula{};
    state.ntsc = ntsc;
}

void stop_nmi_generator(Ula& state) {
    state.nmi_generator = false;
    state.nmi_pulse = -1;
}
