// The game's proximity walks: ForEachLiveInGroup over the members the grid finds near a point.
#include "game/rules/tavrin_game.h"

#include <vector>

OmResult TavrinGame::ForEachLiveInGroupNear(int32_t group_id, const LgVector* centre, float reach,
                                            TvGroupCallback callback, void* context) {
    if (group_id > 0 || -group_id >= kTvGroupCount || !callback || !centre) return OM_E_FAIL;
    // A callback may walk again (a hit ends in damage and events): an inner walk keeps its
    // own list, the outermost one reuses the game's.
    std::vector<int32_t> inner;
    std::vector<int32_t>& near = near_walks_ == 0 ? near_slots_ : inner;
    near.clear();
    if (!proximity_.near(-group_id, *centre, reach, near))
        return ForEachLiveInGroup(group_id, callback, context);
    ++near_walks_;
    const TvGroupList& list = groups_[-group_id];
    for (const int32_t slot : near)
        if (slot < list.count && list.members[slot] && list.members[slot]->IsDead() == 0)
            callback(list.members[slot], context);
    --near_walks_;
    return OM_S_OK;
}
