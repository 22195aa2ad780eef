#include "gdb_stub.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// What one serve reads at most before the machine has its turn again, and
// what may wait unsent for a client that does not read before it is let go.
constexpr size_t read_budget = 256 * 1024;
constexpr size_t largest_backlog = 4 * 1024 * 1024;
// Connections the system holds for the stub before it takes them: clients
// that connect in a rush are not made to wait for a retry.
constexpr int listen_backlog = 16;
// A new client that comes while one is attached waits this long for the
// old connection's end (a client that closed and came again at once) before
// it is refused.
constexpr auto pending_wait = std::chrono::seconds(1);

// Whether a connection has ended: the other side's close has arrived.
bool connection_ended(int fd) {
    char byte;
    const ssize_t n = recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
}

std::string address_text(const sockaddr* address) {
    std::array<char, NI_MAXHOST> host{};
    std::array<char, NI_MAXSERV> port{};
    if (getnameinfo(address, address->sa_family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in),
                    host.data(), host.size(), port.data(), port.size(), NI_NUMERICHOST | NI_NUMERICSERV) != 0)
        return "?";
    const bool v6 = address->sa_family == AF_INET6;
    std::string text(v6 ? "[" : "");
    text.append(host.data()).append(v6 ? "]:" : ":").append(port.data());
    return text;
}

}  // namespace

std::unique_ptr<GdbStub> GdbStub::listen(const GdbSettings& settings, std::string& problem) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(settings.port);
    const int lookup = getaddrinfo(settings.address.c_str(), port.c_str(), &hints, &found);
    if (lookup != 0) {
        problem = settings.address + ": " + gai_strerror(lookup);
        return nullptr;
    }
    std::unique_ptr<GdbStub> stub(new GdbStub);
    stub->dezog_ = settings.dezog;
    for (const addrinfo* a = found; a && stub->listener_ < 0; a = a->ai_next) {
        const int fd = socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) continue;
        const int yes = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        if (bind(fd, a->ai_addr, a->ai_addrlen) == 0 && ::listen(fd, listen_backlog) == 0) {
            stub->listener_ = fd;
            // The port itself, also when the system chose it (port 0).
            sockaddr_storage bound{};
            socklen_t size = sizeof bound;
            getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &size);
            stub->where_ = address_text(reinterpret_cast<sockaddr*>(&bound));
        } else {
            problem = std::strerror(errno);
            close(fd);
        }
    }
    freeaddrinfo(found);
    if (stub->listener_ < 0) {
        std::string why("cannot listen on ");
        why.append(settings.address).append(":").append(port).append(": ").append(problem);
        problem = why;
        return nullptr;
    }
    return stub;
}

GdbStub::~GdbStub() {
    if (pending_ >= 0) close(pending_);
    if (client_ >= 0) close(client_);
    if (listener_ >= 0) close(listener_);
}

void GdbStub::take_client(Zx81& machine) {
    sockaddr_storage from{};
    socklen_t size = sizeof from;
    const int fd = accept4(listener_, reinterpret_cast<sockaddr*>(&from), &size, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    const std::string who = address_text(reinterpret_cast<sockaddr*>(&from));
    // A client that closed and came again at once: its old connection's end
    // may not have been read yet.
    if (client_ >= 0 && connection_ended(client_)) drop_client(machine, "went away");
    if (client_ >= 0 && pending_ < 0) {
        pending_ = fd;
        pending_who_ = who;
        pending_since_ = std::chrono::steady_clock::now();
        return;
    }
    if (client_ >= 0) return refuse(fd, who);
    adopt(machine, fd, who);
}

void GdbStub::refuse(int fd, const std::string& who) {
    // One client at a time: the second hears why, and goes.
    const std::string refusal = framed("E.Orlix has a debugger attached already");
    [[maybe_unused]] const ssize_t sent = ::send(fd, refusal.data(), refusal.size(), MSG_NOSIGNAL);
    close(fd);
    std::fprintf(stderr, "orlix: a second debugger (from %s) was refused: one is attached\n", who.c_str());
}

void GdbStub::adopt(Zx81& machine, int fd, const std::string& who) {
    const int yes = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    client_ = fd;
    session_ = GdbSession{};
    session_.dezog = dezog_;
    reader_ = PacketReader{};
    output_.clear();
    last_reply_.clear();
    if (!machine.debug.stopped) stop_now(machine.debug, StopReason::attach);
    std::fprintf(stderr, "orlix: a debugger attached from %s\n", who.c_str());
}

// A client waiting for the attached one to go: taken once it has gone,
// refused once it has waited long enough.
void GdbStub::serve_pending(Zx81& machine) {
    if (pending_ < 0) return;
    if (client_ >= 0 && connection_ended(client_)) drop_client(machine, "went away");
    const int fd = pending_;
    if (client_ < 0) {
        pending_ = -1;
        adopt(machine, fd, pending_who_);
    } else if (std::chrono::steady_clock::now() - pending_since_ > pending_wait) {
        pending_ = -1;
        refuse(fd, pending_who_);
    }
}

void GdbStub::drop_client(Zx81& machine, const char* why) {
    close(client_);
    client_ = -1;
    output_.clear();
    end_session(machine);
    std::fprintf(stderr, "orlix: the debugger %s; the ZX81 runs on\n", why);
}

void GdbStub::send(const std::string& bytes) {
    output_ += bytes;
}

void GdbStub::flush(int wait_ms) {
    while (client_ >= 0 && !output_.empty()) {
        const ssize_t sent = ::send(client_, output_.data(), output_.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            output_.erase(0, static_cast<size_t>(sent));
            continue;
        }
        if (sent < 0 && errno == EINTR) continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && wait_ms > 0) {
            pollfd writable{client_, POLLOUT, 0};
            if (poll(&writable, 1, wait_ms) > 0) continue;
        }
        return;  // the rest when the client takes it (or the connection is found gone)
    }
}

void GdbStub::handle(Zx81& machine, PacketReader::Event event) {
    switch (event) {
    case PacketReader::Event::none:
    case PacketReader::Event::ack: return;
    case PacketReader::Event::nack:
        if (!session_.no_ack) send(last_reply_);
        return;
    case PacketReader::Event::bad:
        if (!session_.no_ack) send("-");
        return;
    case PacketReader::Event::too_long:
        // Whole, but more than it takes: the client hears so, in either mode.
        if (!session_.no_ack) send("+");
        last_reply_ = framed("E01");
        send(last_reply_);
        return;
    case PacketReader::Event::interrupt:
        stop_running(machine);
        if (session_.waiting_for_stop) {
            session_.waiting_for_stop = false;
            if (!session_.dezog) {
                last_reply_ = framed(stop_reply(machine));
                send(last_reply_);
            }
        }
        return;
    case PacketReader::Event::packet: {
        if (!session_.no_ack) send("+");
        const GdbAnswer answer = answer_packet(session_, machine, reader_.packet());
        for (const std::string& line : answer.output) send(framed(line));
        if (answer.reply) {
            last_reply_ = framed(answer.data);
            send(last_reply_);
        }
        return;
    }
    }
}

void GdbStub::read_client(Zx81& machine) {
    std::array<char, 16384> buffer;
    size_t taken = 0;
    while (client_ >= 0 && taken < read_budget && !session_.detached) {
        const ssize_t n = recv(client_, buffer.data(), buffer.size(), 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        if (n <= 0) {
            drop_client(machine, n == 0 ? "went away" : "connection broke");
            return;
        }
        taken += static_cast<size_t>(n);
        for (ssize_t i = 0; i < n && !session_.detached; ++i) handle(machine, reader_.feed(buffer[static_cast<size_t>(i)]));
    }
}

void GdbStub::serve(Zx81& machine, int wait_ms) {
    std::array<pollfd, 2> watched = {pollfd{listener_, POLLIN, 0}, pollfd{client_, POLLIN, 0}};
    if (client_ >= 0 && !output_.empty()) watched[1].events |= POLLOUT;
    const nfds_t count = client_ >= 0 ? 2 : 1;
    // A stop reply owed is sent at once.
    if (session_.waiting_for_stop && machine.debug.stopped) wait_ms = 0;
    if (poll(watched.data(), count, wait_ms) < 0 && errno != EINTR) return;
    // The attached client's end is read before a new one is taken.
    if (client_ >= 0 && count == 2 && (watched[1].revents & (POLLIN | POLLHUP | POLLERR))) read_client(machine);
    if (watched[0].revents & POLLIN) take_client(machine);
    serve_pending(machine);
    if (client_ < 0) return;
    if (session_.waiting_for_stop && machine.debug.stopped) {
        session_.waiting_for_stop = false;
        last_reply_ = framed(stop_reply(machine));
        send(last_reply_);
    }
    flush(session_.detached ? 500 : 0);
    if (session_.detached) {
        close(client_);
        client_ = -1;
        output_.clear();
        std::fprintf(stderr, "orlix: the debugger detached; the ZX81 runs on\n");
    } else if (output_.size() > largest_backlog) {
        drop_client(machine, "took none of its replies");
    }
}

void GdbStub::wait_for_client(Zx81& machine) {
    serve_pending(machine);
    while (client_ < 0) {
        pollfd incoming{listener_, POLLIN, 0};
        if (poll(&incoming, 1, -1) < 0 && errno != EINTR) return;
        if (incoming.revents & POLLIN) take_client(machine);
    }
}

void GdbStub::finish(int status) {
    if (client_ < 0) return;
    if (session_.waiting_for_stop) {
        std::string exited("W");
        exited.append(hex_byte(static_cast<uint8_t>(status)));
        send(framed(exited));
    }
    flush(1000);
    close(client_);
    client_ = -1;
}

GdbSettings gdb_settings(int port, const std::string& address, bool dezog) {
    GdbSettings settings;
    if (port != 0) settings.port = port;
    if (!address.empty()) settings.address = address;
    settings.dezog = dezog;
    return settings;
}
