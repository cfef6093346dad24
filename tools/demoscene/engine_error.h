// The engine's recorded error as text for the demo scene's failure messages.
#pragma once

#include "engine/core/lg_error.h"

#include <cstdio>
#include <string>

namespace demoscene {

// " (engine error {group, code})", or a note that none was recorded.
inline std::string recorded_engine_error() {
    LgError e{};
    LgErrorGet(&e);
    if (e == LgErrorNone) return " (no engine error recorded)";
    char text[48];
    std::snprintf(text, sizeof(text), " (engine error {%u, 0x%x})", e.pluginId,
                  static_cast<uint32_t>(e.code));
    return text;
}

} // namespace demoscene
