// Seeds of the game-message harness: every message type the test server knows, in each
// direction it has, written by the server's own encoder with default fields.
#include "fuzz/seeds/seed_set.h"
#include "tools/mpserver/mp_messages.h"

#include <string>

FUZZ_SEEDS(game_messages) {
    for (uint16_t type = 17; type < 17 + 36; ++type) {
        for (auto direction : {mpserver::Direction::ToServer, mpserver::Direction::ToClient}) {
            if (!mpserver::known_message(type, direction)) continue;
            const bool to_client = direction == mpserver::Direction::ToClient;
            mpserver::Message message(type);
            fuzzing::FuzzInputWriter input;
            input.byte(uint8_t(type - 17)).byte(to_client).rest(mpserver::encode(message, direction));
            seeds.add(std::to_string(type) + (to_client ? "_to_client" : "_to_server"), input);
        }
    }
}
