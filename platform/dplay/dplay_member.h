// What a member of a DirectPlay stand-in session knows from its host, without any socket: the
// sessions enumerated, the join and port answers, its ports and the inbox of messages; the
// bytes the host sends are framed and applied here, and the inbox is read out as DirectPlay
// records. The DirectPlay object keeps one of these under its lock.
#pragma once

#include "platform/dplay/dplay.h"
#include "platform/dplay/dplay_wire.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace platform {

struct DirectPlayMember {
    // A received message as the inbox keeps it.
    struct Message {
        uint32_t system_type = 0; // 0 for a player message
        DPID from = 0;
        DPID to = 0;
        DPID player = 0; // system messages: the player created or destroyed
        std::vector<uint8_t> bytes;
    };
    struct Session {
        GUID instance;
        GUID application;
        std::string name;
    };
    struct PortAnswer {
        uint32_t result;
        uint32_t id;
    };
    // A frame the member sends back while taking the host's (a port nobody waits for any
    // more, given back).
    using Reply = std::function<void(const dplay_wire::Frame&)>;

    // Bytes read from the host's connection: every whole frame is applied (heartbeats only
    // count as heard). False once the stream broke the framing; the connection is then lost.
    bool take_bytes(const uint8_t* data, size_t count, const Reply& reply);
    // One frame from the host.
    void take_frame(dplay_wire::Frame& frame, const Reply& reply);
    bool malformed() const { return reader.failed(); }
    // The incoming bytes start afresh (a new connection).
    void reset_stream() { reader = dplay_wire::FrameReader{}; }

    // The message a Receive with these flags takes: DP_OK with the record written, or
    // DPERR_NOMESSAGES / DPERR_BUFFERTOOSMALL (*size then the size needed).
    int32_t receive(DPID* from, DPID* to, uint32_t flags, void* data, uint32_t* size);
    // The size of the record a message is handed out as, and the record itself.
    static uint32_t needed_size(const Message& m);
    static void fill(const Message& m, void* data);

    dplay_wire::FrameReader reader;
    std::vector<Session> sessions;
    bool enum_outstanding = false;
    uint64_t enum_replies = 0;
    bool joined = false;
    bool lost_reported = false;
    std::optional<uint32_t> join_answer;
    uint64_t ports_requested = 0;
    uint64_t ports_answered = 0;
    std::map<uint64_t, PortAnswer> port_answers;
    std::set<uint64_t> abandoned;
    std::vector<DPID> players;
    std::deque<Message> inbox;
};

} // namespace platform
