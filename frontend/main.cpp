// Orlix: a Sinclair ZX81 emulator. Needs zx81.rom in the working directory.
#include <allegro.h>

#include "program.h"

int main() {
    return run_program();
}
END_OF_MAIN()
