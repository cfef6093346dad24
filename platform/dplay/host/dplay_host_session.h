// The DirectPlay stand-in host's session, without any socket: its members' frame readers and
// join state, the port ids and their owners, the routing of messages and the announcements of
// ports, and the inbox of the host's own side. Frames for a member go to a sender the owner
// supplies (the host queues them on the member's connection). Not thread-safe: the host calls
// it under its lock.
#pragma once

#include "platform/dplay/dplay.h"
#include "platform/dplay/dplay_wire.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace platform {

// What the host's own side receives: data for one of its ports (kind 16), or a member's port
// created (kind 0, with the port's data) or destroyed (kind 1), reported once each.
struct DirectPlayHostMessage {
    uint32_t kind = 16;
    DPID from = 0; // kind 16: the sending port; kinds 0 and 1: the port created or destroyed
    DPID to = 0;
    uint32_t flags = 0;
    std::vector<uint8_t> data;
};

class DirectPlayHostSession {
public:
    using Sender = std::function<void(uint64_t member, const dplay_wire::Frame& frame)>;

    DirectPlayHostSession(std::string session_name, const GUID& application, const GUID& instance,
                          Sender send)
        : session_name_(std::move(session_name)), application_(application),
          instance_(instance), send_(std::move(send)) {}

    // A member's connection was accepted.
    void add_member(uint64_t member);
    bool has_member(uint64_t member) const { return members_.count(member) != 0; }
    // Bytes read from a member's connection: every whole frame is handled (heartbeats only
    // count as heard). False once the member's stream broke the framing; it is then dropped.
    bool take_bytes(uint64_t member, const uint8_t* data, size_t count);
    // The member's stream broke the framing (or the member is not known).
    bool malformed(uint64_t member) const {
        auto found = members_.find(member);
        return found == members_.end() || found->second.reader.failed();
    }
    // One frame from a member.
    void handle(uint64_t member, dplay_wire::Frame& frame);
    // The member is gone: its ports are removed and announced.
    void drop_member(uint64_t member);
    std::vector<uint64_t> member_ids() const;

    // The host's own side (see DirectPlayHost).
    DPID create_port(std::vector<uint8_t> data);
    bool destroy_port(DPID id);
    int32_t send(DPID from, DPID to, uint32_t flags, const std::vector<uint8_t>& data);
    bool receive(DirectPlayHostMessage* out);
    bool inbox_empty() const { return inbox_.empty(); }

    size_t joined_count() const;
    std::vector<DPID> ports() const;
    // The owner of a port: 0 for the host's own side; false when the port is not in use.
    bool port_owner(DPID port, uint64_t* owner) const;
    void set_answer_joins(bool answer) { answer_joins_ = answer; }

private:
    struct Member {
        bool joined = false;
        dplay_wire::FrameReader reader;
    };
    void route(DPID from, DPID to, uint32_t flags, const std::vector<uint8_t>& bytes);
    void announce(uint32_t kind, DPID port, const std::vector<uint8_t>& data,
                  uint64_t except_member);

    std::string session_name_;
    GUID application_;
    GUID instance_;
    Sender send_;
    bool answer_joins_ = true;
    std::map<uint64_t, Member> members_;
    std::map<DPID, uint64_t> port_owner_; // 0: the host's own side
    DPID next_port_ = 1;
    std::deque<DirectPlayHostMessage> inbox_;
};

} // namespace platform
