// A small gdb client of the tests' own, over loopback: sends packets and
// raw bytes, and reads what comes back, never waiting long.
#pragma once

#include <functional>
#include <string>

class GdbClient {
public:
    // Connects to 127.0.0.1:`port`, trying for a while (the stub may not be
    // listening yet).
    explicit GdbClient(int port);
    ~GdbClient();
    bool connected() const { return fd_ >= 0; }

    void send_raw(const std::string& bytes);
    void send_packet(const std::string& data);  // framed, escaped

    // The next packet's data (unescaped), or nullopt-like "\x01" when none
    // came: while waiting, `between` runs (the stub's turn, when it is in
    // this process). '+' and '-' are kept aside.
    std::string read_packet(const std::function<void()>& between = {}, int tries = 200);
    // What came apart from packets: the acknowledgements seen.
    const std::string& acks() const { return acks_; }
    // Reads what has arrived and lets it go: how many bytes that was.
    size_t discard_arrived();

    // Whether the stub closed the connection (reading finds its end).
    bool closed(const std::function<void()>& between = {}, int tries = 50);

    static constexpr const char* nothing = "\x01";

private:
    bool receive(int wait_ms);
    int fd_ = -1;
    std::string input_, acks_;
    bool ended_ = false;
};

// A port that was free a moment ago.
int free_port();
