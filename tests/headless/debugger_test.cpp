// A headless run with --gdb, driven from a script as a debugger would drive
// it: to a breakpoint, a look at memory, and on to the end of the run.
#include <gtest/gtest.h>

#include <thread>

#include "gdb_client.h"
#include "run_orlix.h"
#include "temporary_folder.h"

namespace {

using Debugging = TemporaryFolder;

TEST_F(Debugging, AHeadlessRunStopsAtABreakpointAndRunsOnToItsEnd) {
    const int port = free_port();
    Finished finished;
    std::thread run([&] {
        finished = run_orlix({"--headless", "--model=hardware", "--rom", ORLIX_SHARED_DIR "/roms/zx81.rom",
                              "--gdb=" + std::to_string(port), "--run-for", "2", "--screen-text"},
                             dir);
    });
    GdbClient client(port);
    ASSERT_TRUE(client.connected());
    struct Exchange {
        std::string packet, reply;
    };
    const Exchange script[] = {
        {"?", "T05"},
        {"Z0,0038,0", "OK"},
        {"c", "T05"},           // the first display interrupt
        {"p0b", "3800"},
        {"m0000,4", "d3fd01ff"},  // OUT ($FD),A; LD BC,...: the ROM's first bytes
        {"z0,0038,0", "OK"},
        {"c", "W00"},           // the run ends, status 0
    };
    for (const auto& [packet, reply] : script) {
        client.send_packet(packet);
        EXPECT_EQ(client.read_packet({}, 2000).substr(0, reply.size()), reply) << packet;
    }
    run.join();
    EXPECT_EQ(finished.status, 0) << finished.err;
    EXPECT_NE(finished.err.find("waiting for a debugger"), std::string::npos) << finished.err;
    EXPECT_NE(finished.out.find("K"), std::string::npos);  // the prompt after the run
}

}  // namespace
