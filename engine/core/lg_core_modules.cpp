// The core engine modules in registration order: they open in this order at start and close
// in the reverse order at stop.
#include "engine/core/lg_core_modules.h"

#include "engine/core/lg_driver_module.h"
#include "engine/core/lg_engine_instance.h"
#include "engine/core/lg_error.h"
#include "engine/core/lg_frame.h"
#include "engine/core/lg_image.h"
#include "engine/core/lg_matrix.h"
#include "engine/core/lg_raster.h"
#include "engine/core/lg_stream.h"
#include "engine/core/lg_texture.h"
#include "engine/core/lg_vector.h"

namespace {

struct CoreModule {
    uint32_t id;
    int32_t sliceSize;
    LgModuleOpenFunc open;
    LgModuleCloseFunc close;
};

// Modules of later layers (cameras 0x405, pipelines 0x409, immediate mode 0x40e, its 3D
// pipeline 0x40a, resources 0x40b) take their places in this order as they are built.
const CoreModule coreModules[] = {
    {LgModuleError, sizeof(LgError), LgErrorOpen, LgErrorClose},
    {LgModuleVector, sizeof(LgVectorSlice), LgVectorOpen, LgVectorClose},
    {LgModuleDriver, 0, LgD3DDriverOpen, LgD3DDriverClose},
    {LgModuleMatrix, sizeof(LgMatrixSlice), LgMatrixOpen, LgMatrixClose},
    {LgModuleFrame, sizeof(LgFrameSlice), LgFrameOpen, LgFrameClose},
    {LgModuleStream, sizeof(LgStreamSlice), LgStreamModuleOpen, LgStreamModuleClose},
    {LgModuleImage, sizeof(LgImageSlice), LgImageOpen, LgImageClose},
    {LgModuleRaster, sizeof(LgRasterSlice), LgRasterOpen, LgRasterClose},
    {LgModuleTexture, sizeof(LgTextureSlice), LgTextureOpen, LgTextureClose},
};

} // namespace

int32_t LgEngineRegisterCoreModules() {
    int32_t combined = 0;
    for (const CoreModule& m : coreModules)
        combined |= LgEngineRegisterPlugin(m.sliceSize, m.id, m.open, m.close);
    return combined;
}
