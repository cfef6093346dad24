// The 3D engine's public header: everything the game and the engine's own layers call.
#pragma once

#include "engine/core/lg_bbox.h"
#include "engine/core/lg_camera.h"
#include "engine/core/lg_engine_instance.h"
#include "engine/core/lg_error.h"
#include "engine/core/lg_fpu.h"
#include "engine/core/lg_frame.h"
#include "engine/core/lg_free_list.h"
#include "engine/core/lg_matrix.h"
#include "engine/core/lg_objects.h"
#include "engine/core/lg_os_functions.h"
#include "engine/core/lg_plugin_registry.h"
#include "engine/core/lg_stream.h"
#include "engine/core/lg_string_stream.h"
#include "engine/core/lg_types.h"
#include "engine/core/lg_vector.h"
