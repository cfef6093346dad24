// One framed TCP connection of the DirectPlay stand-in (either side): a non-blocking socket, its
// outgoing frames and its heartbeat times; and the socket calls both sides need. The incoming
// bytes go to the side's own frame reader (DirectPlayMember, DirectPlayHostSession), so
// everything decided about received bytes happens without a socket.
#pragma once

#include "platform/dplay/dplay_wire.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

namespace platform::dplay_socket {

using Clock = std::chrono::steady_clock;

// A non-blocking TCP connection to host:port started; -1 when the host cannot be resolved or
// no socket can be had. *pending is set while the connection is still being made.
int connect_to(const char* host, uint16_t port, bool* pending);
// A non-blocking listening socket on `address` (null: every interface), port 0 picks one;
// the bound port goes to *bound. -1 on failure.
int listen_on(const char* address, uint16_t port, uint16_t* bound);
// The result of a pending connect (0 connected, else the socket error).
int connect_result(int fd);
// An eventfd other threads write to wake a poll; -1 on failure.
int make_wake_fd();
void wake(int fd);
void drain_wake(int fd);

class Connection {
public:
    explicit Connection(int fd = -1) : fd_(fd) { last_heard_ = last_sent_ = Clock::now(); }
    ~Connection() { close(); }
    Connection(Connection&& o) noexcept;
    Connection& operator=(Connection&& o) noexcept;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    int fd() const { return fd_; }
    bool open() const { return fd_ >= 0; }
    void close();

    // Queues a frame and (unless `hold`, while the connection is still being made) tries to
    // send what is queued. False when the frame cannot be encoded.
    bool queue(const dplay_wire::Frame& frame, bool hold = false);
    // Sends what is queued as far as the socket takes it. False when the connection failed.
    bool flush();
    bool wants_write() const { return sent_ < out_.size(); }
    // More is waiting to go out than a live peer would leave unread.
    bool backlogged() const { return out_.size() - sent_ > backlog_limit; }
    static constexpr size_t backlog_limit = size_t(8) << 20;
    // Reads what the socket holds, handing each chunk to `take`. False at end of stream or on
    // an error.
    bool read_available(const std::function<void(const uint8_t*, size_t)>& take);

    Clock::time_point last_heard() const { return last_heard_; }
    Clock::time_point last_sent() const { return last_sent_; }
    void reset_times() { last_heard_ = last_sent_ = Clock::now(); }

private:
    int fd_;
    std::vector<uint8_t> out_;
    size_t sent_ = 0;
    Clock::time_point last_heard_;
    Clock::time_point last_sent_;
};

} // namespace platform::dplay_socket
