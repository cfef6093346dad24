// Master-list holes for whole-program stress runs.
#include "frontend/startup/master_list_holes.h"

#include "framework/core/object_manager.h"
#include "game/rules/tv_game.h"
#include "game/world/tv_object.h"

int32_t TvAddMasterListHoles(ITvGame* game, int32_t holes) {
    if (!game || holes <= 0) return 0;
    // One placeholder object registered again and again, then removed: every entry it held
    // becomes a hole. It has no descriptor (no group) and no model.
    ITvObject* placeholder = nullptr;
    if (OmCreate(CLSID_TavrinObject, IID_ITvObject, &placeholder) < 0 || !placeholder) return 0;
    int32_t added = 0;
    while (added < holes && game->AddObject(placeholder, 0, 0) >= 0) ++added;
    game->RemoveObject(placeholder);
    placeholder->Release();
    return added;
}
