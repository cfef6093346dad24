// The front end's loop. Until the menu pages and the command dispatcher are part of the
// program, the start command is not dispatched and the front end flies the engine's demo
// scene in their place.
#include "frontend/menus/front_end.h"

#include "frontend/menus/demo_flight.h"
#include "frontend/startup/program_options.h"

OmResult TvRunFrontEnd(const char* /*start_command*/) {
    return TvFlyDemo(TvGetProgramOptions().frames);
}
