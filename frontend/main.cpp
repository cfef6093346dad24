// Program entry of corvel.
#include "platform/headless.h"
#include "platform/startup.h"

#include <cstdio>

int main(int, char**) {
    platform::startup();
    std::printf("corvel: the platform layer started%s and stopped cleanly; the game itself is not "
                "built yet.\n",
                platform::headless() ? " headless" : "");
    return 0;
}
