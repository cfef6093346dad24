// Seeds of the network harnesses: the stand-in's frames from its own encoder, datagrams from
// the test server's datagram layer carrying its encoded messages, the session layer's
// message forms, HTTP responses (a document, a redirect, a missing page) and URLs.
#include "fuzz/seeds/seed_set.h"
#include "platform/dplay/dplay_wire.h"
#include "tools/mpserver/mp_link.h"
#include "tools/mpserver/mp_messages.h"

#include <cstdint>
#include <string>
#include <vector>

namespace {

namespace wire = platform::dplay_wire;
using Bytes = std::vector<uint8_t>;

// One frame of every op, as a host or a member sends them.
Bytes every_frame() {
    Bytes out;
    const platform::GUID id{0x11, 0x22, 0x33, {1, 2, 3, 4, 5, 6, 7, 8}};
    auto add = [&](wire::Frame f) { wire::encode(f, out); };
    wire::Frame f;
    f.op = wire::ENUM;
    add(f);
    f = {};
    f.op = wire::ENUM_REPLY;
    f.instance = id;
    f.name = "AerovantServer";
    add(f);
    f = {};
    f.op = wire::JOIN;
    f.instance = id;
    add(f);
    f = {};
    f.op = wire::JOIN_REPLY;
    add(f);
    f = {};
    f.op = wire::CREATE_PORT;
    f.bytes = Bytes(16, 0xA5);
    add(f);
    f = {};
    f.op = wire::PORT_CREATED;
    f.id = 4;
    add(f);
    f = {};
    f.op = wire::DATA;
    f.from = 4;
    f.to = 2;
    f.bytes = {0, 0xFF, 0x11, 0};
    add(f);
    f.to = 0;
    add(f);
    f = {};
    f.op = wire::SYSTEM;
    f.kind = wire::system_created;
    f.id = 6;
    f.bytes = Bytes(16, 7);
    add(f);
    f.kind = wire::system_destroyed;
    f.id = 4;
    f.bytes.clear();
    add(f);
    f = {};
    f.op = wire::PING;
    add(f);
    return out;
}

void append_u16(Bytes& out, size_t n) {
    out.push_back(uint8_t(n));
    out.push_back(uint8_t(n >> 8));
}

void append_words(Bytes& out, const std::vector<uint32_t>& words) {
    for (uint32_t w : words)
        for (int i = 0; i < 4; ++i) out.push_back(uint8_t(w >> (8 * i)));
}

// Datagrams of the test server's layer carrying a few of its encoded messages, guaranteed
// and plain.
std::vector<Bytes> server_datagrams() {
    mpserver::Link link;
    std::vector<Bytes> out;
    uint32_t now = 0;
    for (uint16_t type : {17, 21, 25, 33, 42}) {
        mpserver::Message message(type);
        link.queue(type, type % 2 ? 0x08 : 0, mpserver::encode(message, mpserver::Direction::ToClient));
        if (auto d = link.datagram(now += 60)) out.push_back(*d);
    }
    if (auto d = link.datagram(now += 600)) out.push_back(*d); // a resend
    return out;
}

} // namespace

FUZZ_SEEDS(net_dplay_frames) {
    const Bytes frames = every_frame();
    for (uint8_t mode = 0; mode < 3; ++mode) {
        for (uint8_t chunk : {0, 6, 255}) {
            fuzzing::FuzzInputWriter input;
            input.byte(mode).byte(chunk).rest(frames);
            seeds.add("frames_" + std::to_string(mode) + "_" + std::to_string(chunk), input);
        }
    }
}

FUZZ_SEEDS(net_packet_queue) {
    const auto datagrams = server_datagrams();
    fuzzing::FuzzInputWriter receiving;
    receiving.byte(0).byte(0).byte(4);
    for (const Bytes& d : datagrams) receiving.part(d);
    seeds.add("server_datagrams", receiving);

    fuzzing::FuzzInputWriter both;
    both.byte(1).byte(0).byte(4);
    for (const Bytes& d : datagrams) {
        both.byte(0).part(d);
        both.byte(1).byte(19).byte(0).byte(0x08).part(std::string("pilot"));
        both.byte(2).byte(6);
        both.byte(4).byte(10).byte(3);
    }
    both.byte(5).byte(1).byte(2).byte(6);
    seeds.add("both_ways", both);
}

FUZZ_SEEDS(net_session) {
    const std::vector<std::vector<uint32_t>> forms = {
        {0}, {1, 7}, {2, 0}, {3, 2}, {4, 9, 5}, {5, 0}, {6, 100, 0, 0, 0}, {7, 100, 150, 160, 0},
        {8, 9, 5, 10, 6}, {9, 0}, {16, 3, 4, 0x01020304}, {200, 1, 2}};
    for (uint8_t role = 0; role < 2; ++role) {
        Bytes steps;
        steps.push_back(role);
        for (const auto& words : forms) {
            Bytes body;
            append_words(body, words);
            steps.push_back(0);    // a body
            steps.push_back(0);    // from port 3 to this side
            append_u16(steps, body.size());
            steps.insert(steps.end(), body.begin(), body.end());
        }
        for (uint8_t event : {0x00, 0x05, 0x02, 0x01}) {
            steps.push_back(3);
            steps.push_back(event);
        }
        steps.insert(steps.end(), {5, 3, 6, 2});
        seeds.add(role ? "member" : "host", std::span<const uint8_t>(steps));
    }
}

FUZZ_SEEDS(net_http) {
    auto add = [&](const char* name, std::initializer_list<std::string> responses,
                   uint8_t flags = 0, uint8_t read = 63) {
        fuzzing::FuzzInputWriter input;
        input.byte(flags).byte(read).part(std::string("example:8080")).part(std::string("docs"))
            .part(std::string("a.txt"));
        for (const std::string& r : responses) input.part(r);
        seeds.add(name, input);
    };
    add("document", {"HTTP/1.1 200 OK\r\nContent-Length: 3\r\nContent-Type: text/plain\r\n\r\nabc"});
    add("bare_lf", {"HTTP/1.0 200 OK\nContent-Length: 5\n\nhello"}, 0, 0);
    add("keep_alive", {"HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nbody"}, 1);
    add("redirects", {"HTTP/1.1 302 Found\r\nLocation: http://other:81/x/y.txt?q=1\r\n\r\n",
                      "HTTP/1.1 301 Moved\r\nLocation: /dir/\r\nContent-Length: 0\r\n\r\n",
                      "HTTP/1.1 200 OK\r\n\r\nlisting"});
    add("missing", {"HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found"});
    add("loop", {"HTTP/1.1 302 Found\r\nLocation: /loop\r\n\r\n",
                 "HTTP/1.1 302 Found\r\nLocation: /loop\r\n\r\n",
                 "HTTP/1.1 302 Found\r\nLocation: /loop\r\n\r\n"});
}

FUZZ_SEEDS(net_url) {
    const std::vector<std::pair<uint8_t, std::string>> steps = {
        {1, "http://example/a/b/c.txt"}, {6, "d/e.txt"},  {1, "/x/y.txt?q=1"},
        {1, "ftp://files:2121/pub/x"},   {4, "docs"},     {5, "a.txt"},
        {3, "other"},                    {2, "https"},    {7, "1"},
        {0, "file://\"a/b\"/c"},         {1, "a:////b"}};
    fuzzing::FuzzInputWriter all;
    for (size_t i = 0; i < steps.size(); ++i) {
        fuzzing::FuzzInputWriter one;
        one.byte(steps[i].first).part(steps[i].second);
        seeds.add("step_" + std::to_string(i), one);
        all.byte(steps[i].first).part(steps[i].second);
    }
    seeds.add("all_steps", all);
}
