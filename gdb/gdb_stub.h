// A gdb remote stub on TCP, for DeZog, z88dk-gdb or gdb itself: one client
// at a time (another waits a moment for the one attached to go, else is
// refused with a message), served between two periods
// of the machine without ever waiting on the client, so that a client that
// floods, stalls or vanishes cannot hang Orlix. A client that comes stops
// the machine to look at it; one that goes, however it goes, leaves it
// running with its breakpoints gone.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "gdb_commands.h"
#include "remote_protocol.h"

struct GdbSettings {
    std::string address = "127.0.0.1";  // where to listen: only this machine by default
    // The port of the Spectranet's stub, which z88dk-gdb knows.
    int port = 1667;
    bool dezog = false;                  // Ctrl-C stops without a reply, as DeZog expects
};

// The settings with what the command line says instead of the defaults
// where it says something: a port (0: none given), an address (empty: none).
GdbSettings gdb_settings(int port, const std::string& address, bool dezog);

class GdbStub {
public:
    // Listens as `settings` say; null, with the reason in `problem`, when it
    // cannot (the port taken, say).
    static std::unique_ptr<GdbStub> listen(const GdbSettings& settings, std::string& problem);
    ~GdbStub();
    GdbStub(const GdbStub&) = delete;
    GdbStub& operator=(const GdbStub&) = delete;

    // Between two periods: takes a client that has come, answers what it
    // sent, and sends the stop reply it waits for once the machine has
    // stopped. Waits up to `wait_ms` for something to arrive (0: not at all).
    void serve(Zx81& machine, int wait_ms = 0);

    // Waits for a client, and takes it.
    void wait_for_client(Zx81& machine);

    bool attached() const { return client_ >= 0; }

    // The run is over: a client waiting for the machine to stop hears that
    // the program exited with `status`, and the connection closes.
    void finish(int status);

    // Where it listens, as "address:port".
    const std::string& where() const { return where_; }

private:
    GdbStub() = default;
    void take_client(Zx81& machine);
    void adopt(Zx81& machine, int fd, const std::string& who);
    void refuse(int fd, const std::string& who);
    void serve_pending(Zx81& machine);
    void read_client(Zx81& machine);
    void handle(Zx81& machine, PacketReader::Event event);
    void send(const std::string& bytes);
    void flush(int wait_ms);
    void drop_client(Zx81& machine, const char* why);

    int listener_ = -1;
    int client_ = -1;
    int pending_ = -1;  // a new client waiting for the attached one's end
    std::string pending_who_;
    std::chrono::steady_clock::time_point pending_since_;
    bool dezog_ = false;
    std::string where_;
    GdbSession session_;
    PacketReader reader_;
    std::string output_;      // not yet taken by the client
    std::string last_reply_;  // framed, for a '-'
};
