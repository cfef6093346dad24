// Fuzzes the session layer's messages: a Network made once over the scripted transport double,
// closed and set up again for each input as a session's host (with two numbered players, one
// holding a data block) or as a member that joined a host. The input's transport messages
// (data bodies from any port, ports created and destroyed, host migration, session lost) are
// polled in, with a few of the layer's own calls between them. Checks after every step:
// - at most 255 players; walking the list visits each player once, in the order of
//   GetPlayerNumber, and no data block exceeds 64 KiB;
// - every body the layer sends is one of its codes' whole forms (or a user's body relayed);
// - every block the user callback sees has its 20-byte descriptor counted, and a code;
// - after the session closes, the framework holds the blocks it held before the input.
//
// Input: a role byte (low bit 1: member), then steps: an op byte and its fields.
#include "fuzz/net_harness.h"
#include "net/session/network.h"
#include "tests/net/scripted_transport.h"

#include <cstring>
#include <set>
#include <vector>

using fuzzing::require;
using nettest::Bytes;
using nettest::ScriptedTransport;

namespace {

constexpr uint32_t host_port = 1;
constexpr uint32_t member_port = 2;

uint32_t clock_ms = 0;
uint32_t read_clock(void*) { return clock_ms += 7; }

// The callback's answer to a number request (0 accepts), and the check of what it sees.
int32_t callback_answer = 0;
int32_t callback(OmTransportMessage* block) {
    require(block != nullptr && block->length >= OM_NETWORK_HEADER_SIZE + 4 && block->data,
            "the callback sees a block with its descriptor and a code");
    return callback_answer;
}

uint32_t word(const Bytes& body, size_t index) {
    const size_t at = index * 4;
    return uint32_t(body[at]) | uint32_t(body[at + 1]) << 8 | uint32_t(body[at + 2]) << 16 |
           uint32_t(body[at + 3]) << 24;
}

// A body the layer sends: a whole form of its code. Codes above 9 other than 16 are the
// user's and are not judged.
bool well_formed(const Bytes& body) {
    if (body.size() < 4) return false;
    if (body.size() % 4 != 0 && word(body, 0) != OM_NETWORK_PLAYER_DATA) return false;
    switch (word(body, 0)) {
    case OM_NETWORK_HELLO: return body.size() == 4;
    case OM_NETWORK_WELCOME:
    case OM_NETWORK_REQUEST:
    case OM_NETWORK_REMOVE:
    case OM_NETWORK_REFUSED:
    case OM_NETWORK_NEW_PORT: return body.size() == 8;
    case OM_NETWORK_ADD: return body.size() == 12;
    case OM_NETWORK_TIME_REQUEST:
    case OM_NETWORK_TIME_ANSWER: return body.size() == 20;
    case OM_NETWORK_LIST:
        return (body.size() - 4) % 8 == 0 && (body.size() - 4) / 8 <= OM_NETWORK_MAX_PLAYERS;
    case OM_NETWORK_PLAYER_DATA:
        return body.size() >= 12 && word(body, 2) == body.size() - 12 &&
               word(body, 2) <= OM_NETWORK_MAX_PLAYER_DATA;
    default: return true;
    }
}

ScriptedTransport* transport() {
    static const ComRef<ScriptedTransport> made = ComRef<ScriptedTransport>::adopt([] {
        ScriptedTransport* t = nullptr;
        require(om_new_component(&t) >= 0, "the transport double is made");
        t->sessions = true;
        return t;
    }());
    return made.get();
}

IOmNetwork* network() {
    static const ComRef<IOmNetwork> made = ComRef<IOmNetwork>::adopt([] {
        IOmNetwork* n = nullptr;
        require(OmCreate(CLSID_Network, IID_IOmNetwork, reinterpret_cast<void**>(&n)) >= 0,
                "a Network is made");
        transport()->AddRef(); // the Network takes this reference over
        require(n->SetOption(OM_NETWORK_TRANSPORT, transport()) >= 0, "the Network takes the double");
        require(OmNetworkSetClock(n, read_clock, nullptr) >= 0, "the Network takes the clock");
        n->SetCallback(callback);
        return n;
    }());
    return made.get();
}

void reset_transport() {
    transport()->sent.clear();
    transport()->sent_flags.clear();
    transport()->incoming.clear();
}

// The fixture session: the host with players 2 and 3 (3 holding four bytes), or a member
// welcomed by host port 1.
void set_up(IOmNetwork* n, bool member) {
    reset_transport();
    uint32_t port = 0, number = 0;
    if (member) {
        transport()->next_port = member_port;
        transport()->incoming.push_back({OM_TRANSPORT_DATA, host_port, member_port,
                                         {1, 0, 0, 0, 1, 0, 0, 0}});
        require(n->JoinSession("s", &port) >= 0 && port == member_port, "the member joins");
    } else {
        transport()->next_port = host_port;
        require(n->CreateSession("s", &port) >= 0 && port == host_port, "the host starts");
        require(n->RequestPlayer(port, &number, 0) >= 0 && number == 2 &&
                    n->RequestPlayer(port, &number, 4) >= 0 && number == 3,
                "the host numbers its players from 2");
        const uint32_t value = 77;
        n->SetPlayerData(3, &value, 4);
        n->TakeChanged(3);
    }
    reset_transport();
}

void check(IOmNetwork* n, size_t& sent_checked) {
    uint32_t count = 0;
    require(n->GetPlayerCount(&count) >= 0 && count <= OM_NETWORK_MAX_PLAYERS,
            "at most 255 players");
    std::set<uint32_t> distinct;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t number = 0;
        require(n->GetPlayerNumber(i, &number) >= 0, "every player has a number");
        distinct.insert(number);
    }
    if (distinct.size() != count) {
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t number = 0;
            n->GetPlayerNumber(i, &number);
            std::fprintf(stderr, "fuzz: player %u: number %u\n", i, number);
        }
    }
    require(distinct.size() == count, "no two players share a number");
    uint32_t number = 0, next = 0, visited = 0;
    OmResult r = n->WalkPlayers(OM_NETWORK_WALK_FIRST, &number, &next);
    while (r >= 0 && visited <= count) {
        uint32_t expected = 0;
        require(n->GetPlayerNumber(visited, &expected) >= 0 && expected == number,
                "the walk follows the list's order");
        void* data = nullptr;
        uint32_t size = 0;
        if (n->GetPlayerData(number, &data, &size) >= 0)
            require(size <= OM_NETWORK_MAX_PLAYER_DATA && (size == 0 || data),
                    "a data block holds at most 64 KiB");
        ++visited;
        if (visited == count) break;
        next = 0;
        r = n->WalkPlayers(OM_NETWORK_WALK_NEXT, &number, &next);
        number = next;
    }
    require(visited == count, "the walk visits every player once");
    for (; sent_checked < transport()->sent.size(); ++sent_checked)
        require(well_formed(transport()->sent[sent_checked]), "the layer sends whole forms");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzing::start_network();
    IOmNetwork* n = network();
    // The player pool grows to its largest once here, so inputs find it grown.
    set_up(n, false);
    Bytes list(4 + 8 * OM_NETWORK_MAX_PLAYERS, 0);
    list[0] = OM_NETWORK_LIST;
    for (uint32_t i = 0; i < OM_NETWORK_MAX_PLAYERS; ++i) list[4 + 8 * i] = uint8_t(i);
    list[5] = 1; // numbers 256, 1, 2, ... : distinct
    transport()->incoming.push_back({OM_TRANSPORT_DATA, 3, host_port, list});
    n->Poll();
    uint32_t count = 0;
    require(n->GetPlayerCount(&count) >= 0 && count == OM_NETWORK_MAX_PLAYERS, "the pool grows");
    n->Close();
    reset_transport();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::start_network();
    IOmNetwork* n = network();
    const int64_t blocks_before = OmLiveHeapBlocks();
    {
        fuzzing::StepInput input(data, size);
        const bool member = input.byte() & 1;
        clock_ms = 0;
        callback_answer = 0;
        set_up(n, member);
        const uint32_t own = member ? member_port : host_port;
        size_t sent_checked = 0;
        for (int step = 0; step < 512 && !input.empty(); ++step) {
            const uint8_t op = input.byte();
            switch (op % 8) {
            case 0:
            case 1:
            case 2: {
                // A body from a port (3..6, or the host's) to this side's port or to any.
                const uint8_t ports = input.byte();
                const uint32_t sender = ports & 4 ? host_port : 3 + (ports & 3);
                const uint32_t receiver = ports & 8 ? 0 : own;
                const auto body = input.part();
                transport()->incoming.push_back(
                    {OM_TRANSPORT_DATA, sender, receiver, Bytes(body.begin(), body.end())});
                n->Poll();
                break;
            }
            case 3: {
                // A port created or destroyed, host migration, or the session lost.
                const uint8_t what = input.byte();
                transport()->incoming.push_back(
                    {uint32_t(what % 4), 3 + uint32_t(what >> 2 & 3), own, {}});
                n->Poll();
                break;
            }
            case 4: callback_answer = input.byte() & 1; break;
            case 5: {
                const uint32_t number = input.byte();
                n->SendPlayerData(3, own, number, 0);
                n->BroadcastPlayerData(own, number, 0);
                n->TakeChanged(number);
                break;
            }
            case 6: n->RemovePlayer(input.byte()); break;
            case 7: {
                // A block handed to the layer for its own port is handled at once.
                const auto body = input.part();
                Bytes copy(body.begin(), body.end());
                OmTransportMessage block{OM_TRANSPORT_DATA, own, own,
                                         OM_NETWORK_HEADER_SIZE + uint32_t(copy.size()),
                                         copy.empty() ? nullptr : copy.data()};
                n->Send(&block, 0);
                break;
            }
            }
            check(n, sent_checked);
        }
        n->Close();
        reset_transport();
    }
    const int64_t blocks_after = OmLiveHeapBlocks();
    if (blocks_after != blocks_before)
        std::fprintf(stderr, "fuzz: framework blocks: %lld before, %lld after\n",
                     static_cast<long long>(blocks_before), static_cast<long long>(blocks_after));
    require(blocks_after == blocks_before, "a closed session gives back every block");
    return 0;
}
