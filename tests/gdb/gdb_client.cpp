#include "gdb_client.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "remote_protocol.h"

GdbClient::GdbClient(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) break;
        close(fd_);
        fd_ = -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

GdbClient::~GdbClient() {
    if (fd_ >= 0) close(fd_);
}

void GdbClient::send_raw(const std::string& bytes) {
    size_t done = 0;
    while (fd_ >= 0 && done < bytes.size()) {
        const ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0) return;
        done += static_cast<size_t>(n);
    }
}

void GdbClient::send_packet(const std::string& data) {
    send_raw(framed(data));
}

bool GdbClient::receive(int wait_ms) {
    pollfd readable{fd_, POLLIN, 0};
    if (fd_ < 0 || poll(&readable, 1, wait_ms) <= 0) return false;
    char buffer[65536];
    const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
    if (n <= 0) {
        ended_ = true;
        return false;
    }
    input_.append(buffer, static_cast<size_t>(n));
    return true;
}

std::string GdbClient::read_packet(const std::function<void()>& between, int tries) {
    for (int attempt = 0; attempt <= tries; ++attempt) {
        // Acknowledgements and stray bytes before a packet are kept aside.
        while (!input_.empty() && input_[0] != '$') {
            acks_.push_back(input_[0]);
            input_.erase(0, 1);
        }
        const size_t end = input_.find('#');
        if (!input_.empty() && end != std::string::npos && input_.size() >= end + 3) {
            PacketReader reader;
            std::string data = nothing;
            for (size_t i = 0; i < end + 3; ++i)
                if (reader.feed(input_[i]) == PacketReader::Event::packet) data = reader.packet();
            input_.erase(0, end + 3);
            return data;
        }
        if (between) between();
        receive(between ? 1 : 10);
    }
    return nothing;
}

size_t GdbClient::discard_arrived() {
    size_t taken = input_.size();
    input_.clear();
    while (receive(0)) {
        taken += input_.size();
        input_.clear();
    }
    return taken;
}

bool GdbClient::closed(const std::function<void()>& between, int tries) {
    for (int attempt = 0; attempt < tries && !ended_; ++attempt) {
        if (between) between();
        receive(10);
    }
    return ended_;
}

int free_port() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t size = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    close(fd);
    return ntohs(address.sin_port);
}
