// Fog tables.
#include "engine/driver/lg_d3d_fog.h"

#include "engine/core/lg_im3d.h"

#include <cmath>
#include <cstring>

namespace {

struct LinearTable {
    uint8_t entries[256];
    LinearTable() {
        for (int i = 0; i < 256; ++i) entries[i] = static_cast<uint8_t>(i);
    }
};

const LinearTable linearTable;

} // namespace

void LgD3DBuildFogTables(float farDistance) {
    LgD3DDriverState& d = LgD3DDriver;
    d.fogTablesFar = farDistance;
    const float density = d.renderStates.fogDensity;
    for (int i = 0; i < 256; ++i) {
        const float depth = static_cast<float>(i) / 255.0f * density * farDistance;
        d.fogTableExp[i] = static_cast<uint8_t>(255 - static_cast<int>(255.0f * std::exp(-depth)));
        d.fogTableExp2[i] =
            static_cast<uint8_t>(255 - static_cast<int>(255.0f * std::exp(-(depth * depth))));
    }
}

void LgD3DSetCurrentFogTable(const uint8_t table[256]) {
    LgD3DDriverState& d = LgD3DDriver;
    if (table != d.fogTableCurrent) std::memcpy(d.fogTableCurrent, table, 256);
    for (int i = 0; i < 256; ++i)
        d.fogTableDevice[i] = static_cast<uint32_t>(255 - d.fogTableCurrent[i]) << 24;
    // Vertices made by immediate mode's clipper take their fog from its own copy.
    std::memcpy(LgIm3DGlobal.projection.fogTable, d.fogTableDevice, sizeof(d.fogTableDevice));
}

const uint8_t* LgD3DLinearFogTable() {
    return linearTable.entries;
}
