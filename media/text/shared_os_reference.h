// The reference every text component holds on the program's shared OS service while it
// lives (taken when the service can be had; the components work without it).
#pragma once

#include "framework/platform/os_service.h"

class OmSharedOSReference {
public:
    OmSharedOSReference() : held_(OmOSAcquire() >= 0) {}
    ~OmSharedOSReference() {
        if (held_) OmOSRelease();
    }
    OmSharedOSReference(const OmSharedOSReference&) = delete;
    OmSharedOSReference& operator=(const OmSharedOSReference&) = delete;

private:
    bool held_;
};
