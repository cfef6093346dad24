// The stand-in host's session: members' frames answered and routed, ports given out and
// announced.
#include "platform/dplay/host/dplay_host_session.h"

namespace platform {

using dplay_wire::Frame;

namespace {

bool is_null(const GUID& g) {
    static const GUID zero{};
    return g == zero;
}

} // namespace

void DirectPlayHostSession::add_member(uint64_t member) {
    members_[member] = Member{};
}

std::vector<uint64_t> DirectPlayHostSession::member_ids() const {
    std::vector<uint64_t> ids;
    for (const auto& [id, member] : members_) ids.push_back(id);
    return ids;
}

bool DirectPlayHostSession::take_bytes(uint64_t member_id, const uint8_t* data, size_t count) {
    auto member = members_.find(member_id);
    if (member == members_.end()) return false;
    dplay_wire::FrameReader& reader = member->second.reader;
    if (reader.failed()) return false;
    reader.append(data, count);
    while (std::optional<Frame> f = reader.next()) {
        if (f->op == dplay_wire::PING) continue;
        handle(member_id, *f);
    }
    return !reader.failed();
}

DPID DirectPlayHostSession::create_port(std::vector<uint8_t> data) {
    DPID id = next_port_++;
    port_owner_[id] = 0;
    announce(dplay_wire::system_created, id, data, 0);
    return id;
}

bool DirectPlayHostSession::destroy_port(DPID id) {
    auto found = port_owner_.find(id);
    if (found == port_owner_.end() || found->second != 0) return false;
    port_owner_.erase(found);
    announce(dplay_wire::system_destroyed, id, {}, 0);
    return true;
}

int32_t DirectPlayHostSession::send(DPID from, DPID to, uint32_t flags,
                                    const std::vector<uint8_t>& data) {
    auto sender = port_owner_.find(from);
    if (sender == port_owner_.end() || sender->second != 0) return DPERR_INVALIDPLAYER;
    if (to && !port_owner_.count(to)) return DPERR_INVALIDPLAYER;
    route(from, to, flags, data);
    return DP_OK;
}

bool DirectPlayHostSession::receive(DirectPlayHostMessage* out) {
    if (inbox_.empty()) return false;
    *out = std::move(inbox_.front());
    inbox_.pop_front();
    return true;
}

size_t DirectPlayHostSession::joined_count() const {
    size_t n = 0;
    for (const auto& [id, member] : members_) n += member.joined;
    return n;
}

std::vector<DPID> DirectPlayHostSession::ports() const {
    std::vector<DPID> ids;
    for (const auto& [id, owner] : port_owner_) ids.push_back(id);
    return ids;
}

bool DirectPlayHostSession::port_owner(DPID port, uint64_t* owner) const {
    auto found = port_owner_.find(port);
    if (found == port_owner_.end()) return false;
    if (owner) *owner = found->second;
    return true;
}

// Delivers to one port or (to 0) to every port but the sender: the host's own ports through
// its inbox, the members' through their connections.
void DirectPlayHostSession::route(DPID from, DPID to, uint32_t flags,
                                  const std::vector<uint8_t>& bytes) {
    for (auto& [port, owner] : port_owner_) {
        if (port == from || (to && port != to)) continue;
        if (owner == 0) {
            inbox_.push_back(DirectPlayHostMessage{16, from, port, flags, bytes});
            continue;
        }
        if (!members_.count(owner)) continue;
        Frame f;
        f.op = dplay_wire::DATA;
        f.from = from;
        f.to = port;
        f.flags = flags;
        f.bytes = bytes;
        send_(owner, f);
    }
}

// Tells the host's side once and every other joined member once that a port came or went.
void DirectPlayHostSession::announce(uint32_t kind, DPID port, const std::vector<uint8_t>& data,
                                     uint64_t except_member) {
    if (except_member != 0) inbox_.push_back(DirectPlayHostMessage{kind, port, 0, 0, data});
    for (auto& [id, member] : members_) {
        if (id == except_member || !member.joined) continue;
        Frame f;
        f.op = dplay_wire::SYSTEM;
        f.kind = kind;
        f.id = port;
        f.bytes = data;
        send_(id, f);
    }
}

void DirectPlayHostSession::drop_member(uint64_t member_id) {
    if (!members_.erase(member_id)) return;
    for (auto it = port_owner_.begin(); it != port_owner_.end();) {
        if (it->second == member_id) {
            DPID port = it->first;
            it = port_owner_.erase(it);
            announce(dplay_wire::system_destroyed, port, {}, member_id);
        } else {
            ++it;
        }
    }
}

void DirectPlayHostSession::handle(uint64_t member_id, Frame& frame) {
    auto found = members_.find(member_id);
    if (found == members_.end()) return;
    Member& member = found->second;
    switch (frame.op) {
    case dplay_wire::ENUM:
        if (is_null(frame.application) || is_null(application_) ||
            frame.application == application_) {
            Frame reply;
            reply.op = dplay_wire::ENUM_REPLY;
            reply.instance = instance_;
            // A host for any application answers under the application asked for.
            reply.application = is_null(application_) ? frame.application : application_;
            reply.name = session_name_;
            send_(member_id, reply);
        }
        break;
    case dplay_wire::JOIN: {
        if (!answer_joins_) break;
        Frame reply;
        reply.op = dplay_wire::JOIN_REPLY;
        reply.result = frame.instance == instance_ ? 0 : 1;
        if (reply.result == 0) member.joined = true;
        send_(member_id, reply);
        break;
    }
    case dplay_wire::CREATE_PORT: {
        Frame reply;
        reply.op = dplay_wire::PORT_CREATED;
        if (!member.joined || next_port_ == 0) {
            reply.result = 1;
            send_(member_id, reply);
            break;
        }
        DPID id = next_port_++;
        port_owner_[id] = member_id;
        reply.id = id;
        send_(member_id, reply);
        announce(dplay_wire::system_created, id, frame.bytes, member_id);
        break;
    }
    case dplay_wire::DATA: {
        // A member speaks only for its own ports, to ports that exist.
        auto sender = port_owner_.find(frame.from);
        if (sender == port_owner_.end() || sender->second != member_id) break;
        if (frame.to && !port_owner_.count(frame.to)) break;
        route(frame.from, frame.to, frame.flags, frame.bytes);
        break;
    }
    case dplay_wire::SYSTEM: {
        // A member gives one of its ports back.
        auto port = port_owner_.find(frame.id);
        if (frame.kind != dplay_wire::system_destroyed || port == port_owner_.end() ||
            port->second != member_id)
            break;
        port_owner_.erase(port);
        announce(dplay_wire::system_destroyed, frame.id, {}, member_id);
        break;
    }
    default: break; // answers only a member receives
    }
}

} // namespace platform
