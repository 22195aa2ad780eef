// Orlix: a Sinclair ZX81 emulator.
#include <allegro.h>

#include "program.h"

int main(int argc, char** argv) {
    return run_program(argc, argv);
}
END_OF_MAIN()
