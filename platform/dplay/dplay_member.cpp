// A stand-in session member's state as the host's frames change it, and its inbox read out
// as DirectPlay records.
#include "platform/dplay/dplay_member.h"

#include <algorithm>
#include <cstring>

namespace platform {

using dplay_wire::Frame;

bool DirectPlayMember::take_bytes(const uint8_t* data, size_t count, const Reply& reply) {
    if (reader.failed()) return false;
    reader.append(data, count);
    while (std::optional<Frame> f = reader.next()) {
        if (f->op != dplay_wire::PING) take_frame(*f, reply);
    }
    return !reader.failed();
}

void DirectPlayMember::take_frame(Frame& f, const Reply& reply) {
    switch (f.op) {
    case dplay_wire::ENUM_REPLY: {
        auto same = std::find_if(sessions.begin(), sessions.end(),
                                 [&](const Session& s) { return s.instance == f.instance; });
        if (same != sessions.end())
            *same = Session{f.instance, f.application, f.name};
        else
            sessions.push_back(Session{f.instance, f.application, f.name});
        enum_outstanding = false;
        ++enum_replies;
        break;
    }
    case dplay_wire::JOIN_REPLY: join_answer = f.result; break;
    case dplay_wire::PORT_CREATED: {
        uint64_t ticket = ports_answered++;
        if (abandoned.erase(ticket)) {
            if (f.result == 0 && f.id) {
                Frame back;
                back.op = dplay_wire::SYSTEM;
                back.kind = dplay_wire::system_destroyed;
                back.id = f.id;
                reply(back);
            }
        } else {
            port_answers[ticket] = PortAnswer{f.result, f.id};
        }
        break;
    }
    case dplay_wire::DATA:
        if (joined) {
            Message m;
            m.from = f.from;
            m.to = f.to;
            m.bytes = std::move(f.bytes);
            inbox.push_back(std::move(m));
        }
        break;
    case dplay_wire::SYSTEM:
        if (joined &&
            (f.kind == dplay_wire::system_created || f.kind == dplay_wire::system_destroyed)) {
            Message m;
            m.system_type = f.kind == dplay_wire::system_created ? DPSYS_CREATEPLAYERORGROUP
                                                                 : DPSYS_DESTROYPLAYERORGROUP;
            m.player = f.id;
            m.to = players.empty() ? 0 : players.front();
            if (f.kind == dplay_wire::system_created) m.bytes = std::move(f.bytes);
            inbox.push_back(std::move(m));
        }
        break;
    default: break; // requests only a host answers
    }
}

int32_t DirectPlayMember::receive(DPID* from, DPID* to, uint32_t flags, void* data,
                                  uint32_t* size) {
    auto m = inbox.begin();
    if (flags & DPRECEIVE_TOPLAYER) {
        m = std::find_if(inbox.begin(), inbox.end(),
                         [&](const Message& x) { return x.to == *to || x.to == 0; });
    }
    if (m == inbox.end()) return DPERR_NOMESSAGES;
    uint32_t needed = needed_size(*m);
    if (!data || *size < needed) {
        *size = needed;
        return DPERR_BUFFERTOOSMALL;
    }
    fill(*m, data);
    *size = needed;
    *from = m->system_type ? DPID_SYSMSG : m->from;
    *to = m->to;
    if (!(flags & DPRECEIVE_PEEK)) inbox.erase(m);
    return DP_OK;
}

uint32_t DirectPlayMember::needed_size(const Message& m) {
    switch (m.system_type) {
    case 0: return uint32_t(m.bytes.size());
    case DPSYS_CREATEPLAYERORGROUP:
        return uint32_t(sizeof(DPMSG_CREATEPLAYERORGROUP) + m.bytes.size());
    case DPSYS_DESTROYPLAYERORGROUP: return sizeof(DPMSG_DESTROYPLAYERORGROUP);
    default: return sizeof(DPMSG_GENERIC);
    }
}

void DirectPlayMember::fill(const Message& m, void* data) {
    switch (m.system_type) {
    case 0:
        if (!m.bytes.empty()) std::memcpy(data, m.bytes.data(), m.bytes.size());
        break;
    case DPSYS_CREATEPLAYERORGROUP: {
        auto* record = static_cast<DPMSG_CREATEPLAYERORGROUP*>(data);
        *record = DPMSG_CREATEPLAYERORGROUP{};
        record->dwType = DPSYS_CREATEPLAYERORGROUP;
        record->dpId = m.player;
        record->dwDataSize = uint32_t(m.bytes.size());
        record->lpData = m.bytes.empty() ? nullptr : record + 1;
        if (!m.bytes.empty()) std::memcpy(record + 1, m.bytes.data(), m.bytes.size());
        break;
    }
    case DPSYS_DESTROYPLAYERORGROUP: {
        auto* record = static_cast<DPMSG_DESTROYPLAYERORGROUP*>(data);
        *record = DPMSG_DESTROYPLAYERORGROUP{DPSYS_DESTROYPLAYERORGROUP, 0, m.player};
        break;
    }
    default: static_cast<DPMSG_GENERIC*>(data)->dwType = m.system_type;
    }
}

} // namespace platform
