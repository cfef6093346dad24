// The component base types come with the platform, which its COM stand-ins build on.
#pragma once

#include "platform/com/result_codes.h"
