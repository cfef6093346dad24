// Fuzzes the DirectPlay stand-in's frames as bytes arriving on a connection, with no socket:
// - the frame reader: every frame read encodes, and its encoding reads back to the same
//   frame; the stream read in chunks of any size gives the frames read from it whole;
// - a member (client side), set back to a joined fixture for each input: the host's bytes
//   change it as the frames say: one inbox message per data frame and per port created or
//   destroyed, ports given back only for abandoned requests, and every message reads out as
//   a record of the size it announces;
// - the host library's session, set back to its fixture (member 1 joined with port 1, member
//   2 joined with port 2, the host's own port 3) for each input: the bytes come from member
//   1; what the host sends encodes and goes only to joined members or their ports' owners,
//   data is routed only from member 1's own ports to ports in use, and a stream that broke
//   the framing stays broken.
//
// Input: a mode byte (0 reader, 1 member, 2 host), a chunk size byte, then the stream.
#include "fuzz/fuzz_support.h"
#include "platform/dplay/dplay_member.h"
#include "platform/dplay/dplay_wire.h"
#include "platform/dplay/host/dplay_host_session.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <vector>

using fuzzing::require;
using platform::DirectPlayHostSession;
using platform::DirectPlayMember;
namespace wire = platform::dplay_wire;

namespace {

bool same(const wire::Frame& a, const wire::Frame& b) {
    if (a.op != b.op) return false;
    switch (a.op) {
    case wire::ENUM: return a.application == b.application;
    case wire::ENUM_REPLY:
        return a.instance == b.instance && a.application == b.application && a.name == b.name;
    case wire::JOIN: return a.instance == b.instance;
    case wire::JOIN_REPLY: return a.result == b.result;
    case wire::CREATE_PORT: return a.bytes == b.bytes;
    case wire::PORT_CREATED: return a.result == b.result && a.id == b.id;
    case wire::DATA:
        return a.from == b.from && a.to == b.to && a.flags == b.flags && a.bytes == b.bytes;
    case wire::SYSTEM: return a.kind == b.kind && a.id == b.id && a.bytes == b.bytes;
    default: return true;
    }
}

// The frames of a whole stream, read at once; `broken` when it breaks the framing.
std::vector<wire::Frame> frames_of(std::span<const uint8_t> stream, bool* broken) {
    wire::FrameReader reader;
    reader.append(stream.data(), stream.size());
    std::vector<wire::Frame> frames;
    while (auto f = reader.next()) frames.push_back(std::move(*f));
    *broken = reader.failed();
    return frames;
}

void encodes_and_reads_back(const wire::Frame& frame) {
    std::vector<uint8_t> bytes;
    require(wire::encode(frame, bytes), "a frame read encodes");
    bool broken = false;
    const auto again = frames_of(bytes, &broken);
    require(!broken && again.size() == 1 && same(again[0], frame),
            "a frame's encoding reads back to the same frame");
}

void reader(std::span<const uint8_t> stream, size_t chunk) {
    bool broken = false;
    const auto whole = frames_of(stream, &broken);
    for (const auto& f : whole) encodes_and_reads_back(f);
    wire::FrameReader pieces;
    std::vector<wire::Frame> read;
    for (size_t at = 0; at < stream.size(); at += chunk) {
        pieces.append(stream.data() + at, std::min(chunk, stream.size() - at));
        while (auto f = pieces.next()) read.push_back(std::move(*f));
    }
    require(pieces.failed() == broken && read.size() == whole.size(),
            "a stream read in chunks gives the frames read whole");
    for (size_t i = 0; i < read.size(); ++i)
        require(same(read[i], whole[i]), "a stream read in chunks gives the same frames");
}

constexpr platform::DPID own_port = 5;

const DirectPlayMember& member_fixture() {
    static const DirectPlayMember fixture = [] {
        DirectPlayMember m;
        m.joined = true;
        m.players = {own_port};
        m.ports_requested = 3; // the first port request was abandoned, two are awaited
        m.abandoned = {0};
        return m;
    }();
    return fixture;
}

void member(std::span<const uint8_t> stream, size_t chunk) {
    DirectPlayMember m = member_fixture();
    std::vector<wire::Frame> replies;
    const DirectPlayMember::Reply reply = [&](const wire::Frame& f) { replies.push_back(f); };
    bool ok = true;
    for (size_t at = 0; at < stream.size() && ok; at += chunk)
        ok = m.take_bytes(stream.data() + at, std::min(chunk, stream.size() - at), reply);
    bool broken = false;
    const auto frames = frames_of(stream, &broken);
    require(ok == !broken && m.malformed() == broken, "the member sees a broken stream");

    size_t messages = 0, created = 0, port_answers = 0;
    for (const auto& f : frames) {
        messages += f.op == wire::DATA ||
                    (f.op == wire::SYSTEM && (f.kind == wire::system_created ||
                                              f.kind == wire::system_destroyed));
        port_answers += f.op == wire::PORT_CREATED;
        created += f.op == wire::PORT_CREATED && f.result == 0 && f.id != 0;
    }
    require(m.inbox.size() == messages, "one inbox message per data frame and port change");
    require(m.ports_answered == port_answers, "every port answer is counted");
    require(replies.size() <= 1, "only the abandoned request's port is given back");
    for (const auto& r : replies) {
        require(r.op == wire::SYSTEM && r.kind == wire::system_destroyed && r.id != 0,
                "a port is given back by a destroyed notice");
        std::vector<uint8_t> bytes;
        require(wire::encode(r, bytes), "a reply encodes");
    }
    (void)created;

    // Every message reads out as a record of the size it announces.
    std::vector<uint8_t> buffer;
    while (!m.inbox.empty()) {
        platform::DPID from = 0, to = 0;
        uint32_t size = 0;
        require(m.receive(&from, &to, 0, nullptr, &size) == platform::DPERR_BUFFERTOOSMALL,
                "a receive without room asks for it");
        buffer.assign(size + 1, 0xEE);
        const DirectPlayMember::Message expected = m.inbox.front();
        uint32_t room = size;
        require(m.receive(&from, &to, 0, buffer.data(), &room) == platform::DP_OK && room == size,
                "a message reads out in the room it asked for");
        require(buffer[size] == 0xEE, "a record stays within its size");
        if (expected.system_type == platform::DPSYS_CREATEPLAYERORGROUP) {
            platform::DPMSG_CREATEPLAYERORGROUP record;
            std::memcpy(&record, buffer.data(), sizeof record);
            require(record.dwDataSize == expected.bytes.size() && record.dpId == expected.player,
                    "a created port's record carries its data");
        } else if (expected.system_type == 0) {
            require(from == expected.from &&
                        std::equal(expected.bytes.begin(), expected.bytes.end(), buffer.begin()),
                    "a data message reads out as sent");
        }
    }
}

// The host session of the current input; what it sends is checked as it goes out, against
// the ports in use at that moment.
DirectPlayHostSession* current_host = nullptr;

void check_sent(uint64_t member, const wire::Frame& frame) {
    if (!current_host) return;
    std::vector<uint8_t> bytes;
    require(wire::encode(frame, bytes), "what the host sends encodes");
    require(member == 1 || member == 2, "the host sends only to its members");
    if (frame.op == wire::DATA) {
        uint64_t owner = 0, sender = 0;
        require(current_host->port_owner(frame.to, &owner) && owner == member,
                "data goes to the owner of the port it names");
        require(current_host->port_owner(frame.from, &sender) && sender == 1,
                "member 1 speaks only for its own ports");
    }
}

const DirectPlayHostSession& host_fixture() {
    static const DirectPlayHostSession fixture = [] {
        const platform::GUID instance{0x11, 0x22, 0x33, {1, 2, 3, 4, 5, 6, 7, 8}};
        DirectPlayHostSession s("AerovantServer", platform::GUID{}, instance,
                                check_sent);
        for (uint64_t member : {1, 2}) {
            s.add_member(member);
            wire::Frame join;
            join.op = wire::JOIN;
            join.instance = instance;
            s.handle(member, join);
            wire::Frame port;
            port.op = wire::CREATE_PORT;
            s.handle(member, port);
        }
        require(s.create_port({}) == 3, "the host's own port is 3");
        platform::DirectPlayHostMessage drained;
        while (s.receive(&drained)) {
        }
        return s;
    }();
    return fixture;
}

void host(std::span<const uint8_t> stream, size_t chunk) {
    DirectPlayHostSession s = host_fixture();
    current_host = &s;
    bool ok = true;
    for (size_t at = 0; at < stream.size(); at += chunk) {
        const bool now = s.take_bytes(1, stream.data() + at, std::min(chunk, stream.size() - at));
        require(ok || !now, "a broken stream stays broken");
        ok = now;
    }
    bool broken = false;
    frames_of(stream, &broken);
    require(ok == !broken && s.malformed(1) == broken, "the host sees a broken stream");
    platform::DirectPlayHostMessage message;
    while (s.receive(&message)) {
        if (message.kind == 16) {
            uint64_t sender = 1;
            require(!s.port_owner(message.from, &sender) || sender == 1,
                    "the host's side hears member 1 only from its own ports");
        }
    }
    s.drop_member(1);
    for (platform::DPID port : s.ports()) {
        uint64_t owner = 0;
        require(s.port_owner(port, &owner) && owner != 1, "a member gone leaves no port behind");
    }
    current_host = nullptr;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    member_fixture();
    host_fixture();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::FuzzInput input(data, size);
    const uint8_t mode = input.byte() % 3;
    const size_t chunk = 1 + input.byte();
    const auto stream = input.rest();
    switch (mode) {
    case 0: reader(stream, chunk); break;
    case 1: member(stream, chunk); break;
    default: host(stream, chunk); break;
    }
    return 0;
}
