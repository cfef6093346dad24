// Fuzzes the packet queue's datagrams through the scripted transport double. A new queue per
// input (the object under test) over the double made once and emptied for each input, on the
// virtual clock. Two modes:
// - Receiving: the datagrams go one at a time to the queue and to the test server's own
//   datagram layer (tools/mpserver); both must accept the same datagrams and deliver the same
//   messages, and the queue's pump fails exactly where the server's layer sees the
//   acknowledgement of a datagram never sent. The queue sends nothing in this mode.
// - Both ways: datagrams, messages queued with any flags, forced and timed pumps, clock steps
//   and transport events, in any order. Every datagram the queue sends has the documented
//   layout (read by the harness's own reader) and acknowledges 255 or a datagram that arrived
//   well formed; what the queue delivers is, in order, a subsequence of the messages of the
//   well-formed datagrams that arrived.
//
// Input: a mode byte (low bit 1: both ways), the maximum datagram size (u16), then steps.
// Receiving: parts, each one datagram. Both ways: an op byte, then the op's fields.
#include "fuzz/net_harness.h"
#include "net/transport/packet_queue.h"
#include "tests/net/scripted_transport.h"
#include "tools/mpserver/mp_link.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

using fuzzing::require;
using nettest::Bytes;
using nettest::ScriptedTransport;

namespace {

struct Message {
    uint16_t type = 0;
    uint16_t flags = 0;
    Bytes payload;
    bool operator==(const Message&) const = default;
};

// The datagram layout as documented, read independently of the queue; none when malformed.
std::optional<std::vector<Message>> read_datagram(const Bytes& d) {
    if (d.size() < 2) return std::nullopt;
    std::vector<Message> out;
    size_t at = 2;
    while (at < d.size()) {
        if (d.size() - at < 4) return std::nullopt;
        Message m;
        m.type = uint16_t(d[at] | d[at + 1] << 8);
        m.flags = uint16_t(d[at + 2] | d[at + 3] << 8);
        at += 4;
        if (m.flags & 0x3C) {
            if (d.size() - at < 1) return std::nullopt;
            ++at;
        }
        if (d.size() - at < 4) return std::nullopt;
        const uint64_t n = uint64_t(d[at]) | uint64_t(d[at + 1]) << 8 |
                           uint64_t(d[at + 2]) << 16 | uint64_t(d[at + 3]) << 24;
        at += 4;
        if (d.size() - at < n) return std::nullopt;
        m.payload.assign(d.begin() + std::ptrdiff_t(at), d.begin() + std::ptrdiff_t(at + n));
        at += size_t(n);
        out.push_back(std::move(m));
    }
    return out;
}

std::vector<Message> drain(IPacketQueue* queue) {
    std::vector<Message> out;
    for (;;) {
        IBinaryStreamComposer* packet = nullptr;
        uint16_t type = 0, flags = 0;
        if (queue->Receive(&packet, &type, &flags) < 0) {
            require(packet == nullptr, "an empty receive hands out no packet");
            break;
        }
        Message m{type, flags, {}};
        IByteStream* stream = packet->GetStream();
        uint8_t chunk[256];
        for (;;) {
            uint32_t done = 0;
            const OmResult r = stream->Read(chunk, sizeof chunk, &done);
            m.payload.insert(m.payload.end(), chunk, chunk + std::min<uint32_t>(done, sizeof chunk));
            if (r < 0 || done == 0) break;
        }
        packet->Release();
        out.push_back(std::move(m));
    }
    return out;
}

ScriptedTransport* transport() {
    static const ComRef<ScriptedTransport> made = ComRef<ScriptedTransport>::adopt([] {
        ScriptedTransport* t = nullptr;
        require(om_new_component(&t) >= 0, "the transport double is made");
        return t;
    }());
    return made.get();
}

ComRef<IPacketQueue> make_queue(uint32_t max_datagram, uint32_t interval) {
    ComRef<IPacketQueue> queue;
    require(OmCreate(CLSID_PacketQueue, IID_IPacketQueue, queue.put()) >= 0, "a queue is made");
    require(queue->SetOption(OM_QUEUE_TRANSPORT, reinterpret_cast<uintptr_t>(transport())) >= 0,
            "the queue takes the transport");
    queue->SetOption(OM_QUEUE_MAX_DATAGRAM, max_datagram);
    queue->SetOption(OM_QUEUE_SEND_INTERVAL, interval);
    return queue;
}

void receiving(fuzzing::StepInput& input, uint32_t max_datagram) {
    ComRef<IPacketQueue> queue = make_queue(max_datagram, OM_QUEUE_MAX_INTERVAL);
    mpserver::Link link;
    for (int step = 0; step < 200 && !input.empty(); ++step) {
        const auto part = input.part();
        const Bytes datagram(part.begin(), part.end());
        std::vector<mpserver::Received> theirs;
        const auto accept = link.receive(datagram.data(), datagram.size(), theirs);
        transport()->deliver(datagram);
        const OmResult pumped = queue->Pump(0);
        require(transport()->incoming.empty(), "a pump reads every datagram waiting");
        require(transport()->sent.empty(), "the queue sends nothing before its interval");
        require((pumped < 0) == (accept == mpserver::Link::Accept::NeverSent),
                "the queue and the server refuse the same acknowledgements");
        const std::vector<Message> ours = drain(queue.get());
        bool same = ours.size() == theirs.size();
        for (size_t i = 0; same && i < ours.size(); ++i)
            same = ours[i] == Message{theirs[i].type, theirs[i].flags, theirs[i].payload};
        if (!same) {
            std::fprintf(stderr, "fuzz: datagram %d: the queue delivered %zu, the server %zu\n",
                         step, ours.size(), theirs.size());
            for (const Message& m : ours)
                std::fprintf(stderr, "fuzz:   queue  %04x %04x %zu\n", m.type, m.flags,
                             m.payload.size());
            for (const auto& m : theirs)
                std::fprintf(stderr, "fuzz:   server %04x %04x %zu\n", m.type, m.flags,
                             m.payload.size());
        }
        require(same, "the queue and the server deliver the same messages");
        if (accept != mpserver::Link::Accept::Read)
            require(ours.empty(), "a datagram not read delivers nothing");
    }
}

void both_ways(fuzzing::StepInput& input, uint32_t max_datagram) {
    ComRef<IPacketQueue> queue = make_queue(max_datagram, 50);
    std::vector<Message> arrived;   // the messages of well-formed datagrams, in arrival order
    bool may_ack[256] = {};         // serials of well-formed datagrams that arrived
    may_ack[255] = true;
    std::vector<Message> delivered;
    size_t sent_checked = 0;
    for (int step = 0; step < 64 && !input.empty(); ++step) {
        switch (input.byte() % 7) {
        case 0: {
            const auto part = input.part();
            const Bytes datagram(part.begin(), part.end());
            if (auto messages = read_datagram(datagram)) {
                arrived.insert(arrived.end(), messages->begin(), messages->end());
                may_ack[datagram[0]] = true;
            }
            transport()->deliver(datagram);
            break;
        }
        case 1: {
            const uint16_t type = uint16_t(input.byte() | input.byte() << 8);
            const uint16_t flags = input.byte();
            const auto payload = input.part();
            IBinaryStreamComposer* packet = queue->NewPacket();
            require(packet != nullptr, "the queue hands out a packet");
            for (uint8_t b : payload) {
                uint8_t byte = b;
                packet->Field(OM_FIELD_BITS, 8, &byte);
            }
            queue->Send(packet, type, flags);
            break;
        }
        case 2: queue->Pump(OM_PUMP_FORCE); break;
        case 3: queue->Pump(0); break;
        case 4: platform::advance_virtual_clock(uint64_t(input.byte()) * 8); break;
        case 5: {
            ScriptedTransport::Incoming event;
            event.kind = 1 + input.byte() % 4;
            event.sender = input.byte();
            transport()->incoming.push_back(std::move(event));
            break;
        }
        case 6: {
            auto got = drain(queue.get());
            delivered.insert(delivered.end(), got.begin(), got.end());
            break;
        }
        }
        for (; sent_checked < transport()->sent.size(); ++sent_checked) {
            const Bytes& d = transport()->sent[sent_checked];
            require(read_datagram(d).has_value(), "every datagram sent has the documented layout");
            require(may_ack[d[1]], "an acknowledgement names a datagram that arrived whole");
        }
    }
    auto got = drain(queue.get());
    delivered.insert(delivered.end(), got.begin(), got.end());
    size_t at = 0;
    for (const Message& m : delivered) {
        while (at < arrived.size() && !(arrived[at] == m)) ++at;
        require(at < arrived.size(), "what is delivered arrived, in arrival order");
        ++at;
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzing::start_network();
    transport();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::start_network();
    ScriptedTransport* t = transport();
    t->sent.clear();
    t->sent_flags.clear();
    t->incoming.clear();
    {
        fuzzing::FrameworkBlocksBalanced balanced;
        fuzzing::StepInput input(data, size);
        const bool mode = input.byte() & 1;
        const uint32_t max_datagram = uint32_t(input.byte() | input.byte() << 8);
        if (mode)
            both_ways(input, max_datagram);
        else
            receiving(input, max_datagram);
    }
    t->sent.clear();
    t->incoming.clear();
    return 0;
}
