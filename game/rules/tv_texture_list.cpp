// texden.ini: the texture load of a map, the objects or the planes per size class, and the
// reduction shifts that bring it within a budget.
#include "framework/core/com_ref.h"
#include "game/rules/tavrin_mission.h"
#include "game/rules/tv_mission_values.h"
#include "game/tv_frontend_services.h"
#include "game/world/tv_ini_sheet.h"

#include <algorithm>

namespace {

constexpr int32_t kSizeClasses = 4;
constexpr int32_t kMaxShift = 3;
constexpr const char* kClassKeys[kSizeClasses] = {"64", "128", "256", "512"};

// In 64 bits: four loads as large as a file may spell do not fit in 32.
int64_t total_of(const int32_t load[kSizeClasses]) {
    int64_t total = 0;
    for (int32_t k = 0; k < kSizeClasses; ++k) total += load[k];
    return total;
}

} // namespace

void TvTextureShifts(const int32_t initial[4], int32_t budget, int32_t shift[4]) {
    int32_t load[kSizeClasses];
    for (int32_t k = 0; k < kSizeClasses; ++k) {
        load[k] = std::max(initial[k], 0); // a negative load is no load
        shift[k] = 0;
    }
    int64_t total = total_of(load);
    int32_t c = 0;
    // The classes are taken largest first (3, 2, 1, 0, 3, ...); within a turn the largest
    // class whose reduction alone meets the budget is reduced. Once every load is 0 nothing
    // can shrink further, so a budget below zero cannot hold the loop.
    while (total > budget && std::any_of(load, load + kSizeClasses, [](int32_t l) { return l; })) {
        if (--c < 0) c = kSizeClasses - 1;
        bool met = false;
        for (int32_t j = c; j >= 0 && !met; --j) {
            if (total - load[j] + load[j] / 4 <= budget) {
                load[j] /= 4;
                ++shift[j];
                total = total_of(load);
                met = true;
            }
        }
        if (!met) {
            load[c] /= 4;
            ++shift[c];
            total = total_of(load);
        }
    }
    for (int32_t k = 0; k < kSizeClasses; ++k) shift[k] = std::min(shift[k], kMaxShift);
}

OmResult LoadTextureList(const char* section, int32_t budget) {
    ComRef<IPropertySheet> sheet;
    if (TvLoadIniSheet("texden.ini", sheet.put()) < 0 || !sheet) return OM_E_FAIL;
    int32_t load[kSizeClasses] = {};
    if (section && sheet->SetSection(section) >= 0)
        for (int32_t k = 0; k < kSizeClasses; ++k)
            tvmission::read_int(sheet.get(), kClassKeys[k], &load[k]);
    int32_t shift[kSizeClasses];
    TvTextureShifts(load, budget, shift);
    for (int32_t k = 0; k < kSizeClasses; ++k) TvSetTextureReduction(k, shift[k]);
    return OM_S_OK;
}
