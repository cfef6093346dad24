// The game's proximity questions: walks of a group list that leave out the members too far
// from a point to matter, answered from an x-z grid of the members.
#pragma once

#include "game/rules/tv_game.h"

inline constexpr GUID IID_ITvGameProximity = om_guid("6bdf5ace-762b-46ac-a863-a6d536a571bc");

struct ITvGameProximity : IUnknown {
    // Calls `callback` for the live members of group -group_id, in list order, as
    // ForEachLiveInGroup does, except members whose horizontal (x-z) distance from `centre`
    // is certainly more than `reach`; a caller whose callback does nothing for those gets
    // exactly the calls of the whole walk. OM_E_FAIL for what ForEachLiveInGroup refuses
    // and without a centre.
    virtual OmResult ForEachLiveInGroupNear(int32_t group_id, const LgVector* centre, float reach,
                                            TvGroupCallback callback, void* context) = 0;
};
