// The session host of the DirectPlay stand-in: listens for members, answers enumeration, join
// and port requests, assigns port ids, routes messages between ports (its own and the
// members') and tells every side when ports come and go. Runs its own I/O thread; the
// multiplayer test server is built on it.
#pragma once

#include "platform/dplay/dplay.h"
#include "platform/dplay/dplay_wire.h"
#include "platform/dplay/host/dplay_host_session.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace platform {

struct DirectPlayHostOptions {
    const char* address = "127.0.0.1"; // the interface listened on (null: every interface)
    uint16_t port = 0;                 // 0: an ephemeral port
    std::string session_name = "AerovantServer";
    GUID application{}; // answered to enumerations for it (and for zero)
    uint32_t heartbeat_ms = 2000;
    uint32_t silence_ms = 15000;
};

class DirectPlayHost {
public:
    // A host listening as the options say; null (and *error = errno-like text) on failure.
    static std::unique_ptr<DirectPlayHost> start(const DirectPlayHostOptions& options,
                                                 std::string* error = nullptr);
    ~DirectPlayHost();
    DirectPlayHost(const DirectPlayHost&) = delete;
    DirectPlayHost& operator=(const DirectPlayHost&) = delete;

    uint16_t port() const { return port_; }
    const GUID& instance() const { return instance_; }

    // A port of the host's own side (members learn of it); its non-zero id.
    DPID create_port(const void* data, uint32_t size);
    // Removes one of the host's own ports; false when it is not one.
    bool destroy_port(DPID id);
    // Sends from one of the host's own ports; to 0 means every port but `from`. DP_OK,
    // DPERR_INVALIDPLAYER (not an own port, or an unknown receiver), DPERR_SENDTOOBIG.
    int32_t send(DPID from, DPID to, uint32_t flags, const void* data, uint32_t size);
    // The oldest message for the host's side; false when none waits.
    bool receive(DirectPlayHostMessage* out);
    // Waits (wall clock) until a message is there; false at the time-out.
    bool wait_message(uint32_t timeout_ms);

    // Members joined to the session, and every port id in use.
    size_t member_count();
    std::vector<DPID> ports();

    // Test controls: close every member's connection (they see the end of the stream), and
    // stop sending anything at all (members then hear only silence).
    void disconnect_members();
    void set_mute(bool mute);
    // Leave join requests unanswered (members then wait out their join bound).
    void set_answer_joins(bool answer);

private:
    struct Member;
    DirectPlayHost();
    void run();
    void service(uint64_t member_id, short revents);
    void drop_member(uint64_t member_id);
    void send_frame(uint64_t member_id, const dplay_wire::Frame& frame);
    void note_arrivals();

    std::mutex lock_;
    std::condition_variable arrived_;
    std::thread io_;
    int listen_fd_ = -1;
    int wake_fd_ = -1;
    uint16_t port_ = 0;
    GUID instance_{};
    DirectPlayHostOptions options_;
    bool stop_ = false;
    bool disconnect_requested_ = false;
    bool mute_ = false;
    uint64_t next_member_ = 1;
    std::map<uint64_t, std::unique_ptr<Member>> members_; // their connections
    std::unique_ptr<DirectPlayHostSession> session_;
};

} // namespace platform
