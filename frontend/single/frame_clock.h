// The milliseconds between frames of the front end's own loops: the game's Timer when there is
// one, else the program's clock; and one pump of the window messages.
#pragma once

#include <cstdint>

class TvFrameClock {
public:
    TvFrameClock();
    // Milliseconds since the previous sample (or since the clock was made).
    uint32_t sample();

private:
    uint32_t last_;
};

// Window messages pumped once; a close request sets the quit flag.
void TvPumpWindowMessages();
