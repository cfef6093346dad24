// Process-wide set-up of the platform layer.
#include "platform/startup.h"

#include "platform/headless.h"

#include <clocale>
#include <cstdlib>

namespace platform {

void startup() {
    std::setlocale(LC_ALL, "C");
    if (headless()) {
        // SDL's dummy drivers: no display and no audio device are needed.
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
    }
}

} // namespace platform
