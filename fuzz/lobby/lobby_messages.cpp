// The lobby harness's reading of the game messages.
#include "fuzz/lobby/lobby_messages.h"

#include "fuzz/message_agreement.h"

namespace lobbyfuzz {

void check_to_client(uint16_t type, std::span<const uint8_t> payload) {
    fuzzing::check_message_agreement(type, mpserver::Direction::ToClient, payload);
}

GameEffect read_game_message(IBinaryStreamComposer* packet, uint16_t type) {
    GameEffect e;
    switch (TvMessage(type)) {
    case TvMessage::PlayerJoined:
        if (auto m = TvDecodeToClientPlayerJoined(packet))
            e = {GameEffect::joined, m->slot, m->info.status, m->info.networkId};
        break;
    case TvMessage::Respawn:
        if (auto m = TvDecodeToClientRespawn(packet)) e = {GameEffect::respawned, m->slot, 4, 0};
        break;
    case TvMessage::Status:
        if (auto m = TvDecodeToClientStatus(packet))
            e = {GameEffect::status, m->slot, m->status, 0};
        break;
    case TvMessage::PlayerLeft:
        if (auto m = TvDecodeToClientPlayerLeft(packet)) e = {GameEffect::left, m->slot, 0, 0};
        break;
    case TvMessage::MatchFinished:
        if (auto m = TvDecodeToClientMatchFinished(packet))
            e = {GameEffect::outcome, 0, 0x100 + int32_t(m->winner), 0};
        break;
    case TvMessage::FinishedNoVote:
        if (auto m = TvDecodeToClientFinishedNoVote(packet))
            e = {GameEffect::outcome, 0, 0x200 + int32_t(m->slot), 0};
        break;
    case TvMessage::Disconnected: e = {GameEffect::outcome, 0, 0x40, 0}; break;
    default: break;
    }
    return e;
}

} // namespace lobbyfuzz
