// The machine game id through the registry stand-in.
#include "frontend/startup/machine_game_id.h"

#include "platform/guid_source.h"
#include "platform/os/registry_store.h"

namespace {

TvMachineGameId game_id{};

} // namespace

void TvReadMachineGameId() {
    using namespace platform;
    game_id = {};
    if (reg_create_key(HKEY_LOCAL_MACHINE, TV_GAME_ID_KEY) != RegStatus::ok) return;
    TvMachineGameId stored{};
    uint32_t type = REG_NONE;
    uint32_t size = uint32_t(stored.size());
    if (reg_query_value(HKEY_LOCAL_MACHINE, TV_GAME_ID_KEY, TV_GAME_ID_VALUE, &type, stored.data(),
                        &size) == RegStatus::ok &&
        type == REG_BINARY && size == stored.size()) {
        game_id = stored;
        return;
    }
    TvMachineGameId fresh{};
    if (new_guid(fresh.data()) != 0) return;
    game_id = fresh;
    reg_set_value(HKEY_LOCAL_MACHINE, TV_GAME_ID_KEY, TV_GAME_ID_VALUE, REG_BINARY, fresh.data(),
                  fresh.size());
}

const TvMachineGameId& TvGetMachineGameId() {
    return game_id;
}
