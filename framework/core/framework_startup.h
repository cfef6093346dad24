// Framework start-up and shutdown: the allocator service, the object manager and the default
// class redirections.
#pragma once

#include "framework/core/class_ids.h"
#include "framework/core/object_manager.h"

struct OmRedirection {
    const GUID* from;
    const GUID* to;
};

// The redirections start-up installs, in order.
extern const OmRedirection om_default_redirections[9];

// Creates the allocator service and the object manager, installs them program-wide and sets
// the default redirections. A failure is returned with nothing rolled back; a framework that
// is already started refuses with OM_E_FAIL.
OmResult OmStartup();
// Releases the object manager (and with it every registered class and global object) and the
// allocator service.
void OmShutdown();
