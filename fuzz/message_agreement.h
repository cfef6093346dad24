// The check every harness that feeds game messages makes of each payload: the game's decoder
// and the test server's independent codec must both accept it or both drop it. An accepted
// message re-encoded by the game reads back through the server's codec to the same fields the
// server read from the payload (but for the flag word of a matrix replaced by the identity),
// no number in it is a NaN or an infinity, and every 32-byte text in the record is terminated
// inside its field.
#pragma once

#include "framework/io/binary_stream_composer.h"
#include "fuzz/framework_harness.h"
#include "net/messages/game_messages.h"
#include "tools/mpserver/mp_messages.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <span>
#include <string>
#include <vector>

namespace fuzzing {

namespace agreement {

inline ComRef<IBinaryStreamComposer> composer(std::span<const uint8_t> bytes, int32_t mode) {
    auto stream = stream_of(bytes);
    ComRef<IBinaryStreamComposer> packet;
    require(OmCreate(CLSID_BinaryStreamComposer, IID_IBinaryStreamComposer, packet.put()) >= 0,
            "a composer is made");
    packet->Attach(stream.get(), mode);
    return packet;
}

// The payload as the packet queue sends it (flushed).
inline std::vector<uint8_t> payload(IBinaryStreamComposer* packet) {
    packet->Flush();
    const std::string bytes = bytes_of(packet->GetStream());
    return {bytes.begin(), bytes.end()};
}

// Unit vectors (directions, headings, aims) travel as three signed bytes and are read back
// normalised, so sending one on quantises it again: a vector component inside [-1, 1] may
// move by a step of the byte scale.
inline bool is_unit_component(const std::string& name, double a, double b) {
    const size_t dot = name.rfind('.');
    return dot != std::string::npos && dot + 2 == name.size() && std::fabs(a) <= 1.0001 &&
           std::fabs(b) <= 1.0001;
}

// A received matrix is made orthonormal again in single precision, which moves the rows of
// one already orthonormal by a few units in the last place.
inline bool same_number(const std::string& name, double a, double b) {
    const double scale = std::fmax(1.0, std::fabs(a));
    const double tolerance = is_unit_component(name, a, b)              ? 2.0 / 127
                             : name.find("matrix") != std::string::npos ? 1e-4 * scale
                                                                        : 1e-5 * scale;
    return a == b || std::fabs(a - b) <= tolerance;
}

// Every 32-byte text of an accepted record ends inside its field.
template <class Record>
void check_texts(const Record& record) {
    const auto terminated = [](const char(&text)[32]) {
        return std::memchr(text, 0, sizeof text) != nullptr;
    };
    if constexpr (requires { record.planeId; })
        require(terminated(record.planeId), "a plane id from the network is terminated");
    if constexpr (requires { record.info; })
        require(terminated(record.info.name) && terminated(record.info.planeId),
                "a player's texts from the network are terminated");
}

} // namespace agreement

// Checks the payload of one message of `type` travelling in `direction`; true when both
// decoders accepted it.
inline bool check_message_agreement(uint16_t type, mpserver::Direction direction,
                                    std::span<const uint8_t> bytes) {
    using namespace agreement;
    const auto server = mpserver::decode(type, direction, bytes.data(), bytes.size());
    auto packet = composer(bytes, OM_COMPOSER_READ);
    auto out = composer({}, OM_COMPOSER_WRITE);
    bool game_accepts = false;
    const auto encode = [&](const auto& record) {
        check_texts(record);
        require(TvEncode(out.get(), record) >= 0, "an accepted message encodes");
    };
    if (direction == mpserver::Direction::ToClient) {
        if (auto decoded = TvDecodeToClient(type, packet.get())) {
            game_accepts = true;
            std::visit(encode, *decoded);
        }
    } else if (auto decoded = TvDecodeToServer(type, packet.get())) {
        game_accepts = true;
        std::visit(encode, *decoded);
    }
    require(game_accepts == server.has_value(), "the game and the test server agree on acceptance");
    if (!game_accepts) return false;

    for (const auto& [name, value] : server->numbers)
        require(std::isfinite(value), "no NaN or infinity is accepted from the network");
    const auto again = payload(out.get());
    std::string reason;
    const auto reread = mpserver::decode(type, direction, again.data(), again.size(), &reason);
    if (!reread)
        std::fprintf(stderr, "fuzz: message %u read again: %s\n", unsigned(type), reason.c_str());
    require(reread.has_value(), "the game's re-encoding is accepted by the test server");
    require(reread->texts == server->texts, "texts survive the game's decode and encode");
    require(reread->numbers.size() == server->numbers.size(), "the same fields are read");
    for (const auto& [name, value] : server->numbers) {
        // A degenerate matrix is read as the identity flagged as a substitute; read again,
        // that identity is a proper rotation, so only its flag word differs.
        if (name.size() >= 7 && name.compare(name.size() - 7, 7, "matrix3") == 0) continue;
        auto it = reread->numbers.find(name);
        const bool same = it != reread->numbers.end() && same_number(name, value, it->second);
        if (!same)
            std::fprintf(stderr, "fuzz: message %u field %s: %g read, %g after the game\n",
                         unsigned(type), name.c_str(), value,
                         it == reread->numbers.end() ? 0.0 : it->second);
        require(same, "numbers survive the game's decode and encode");
    }
    return true;
}

} // namespace fuzzing
