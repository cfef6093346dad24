// The core engine modules in registration order: they open in this order at start and close
// in the reverse order at stop.
#include "engine/core/lg_core_modules.h"

#include "engine/core/lg_camera.h"
#include "engine/core/lg_driver_module.h"
#include "engine/core/lg_engine_instance.h"
#include "engine/core/lg_error.h"
#include "engine/core/lg_frame.h"
#include "engine/core/lg_im3d.h"
#include "engine/core/lg_image.h"
#include "engine/core/lg_immediate.h"
#include "engine/core/lg_matrix.h"
#include "engine/core/lg_pipeline.h"
#include "engine/core/lg_raster.h"
#include "engine/core/lg_resources.h"
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

// The core modules in their fixed registration order.
const CoreModule coreModules[] = {
    {LgModuleError, sizeof(LgError), LgErrorOpen, LgErrorClose},
    {LgModuleVector, sizeof(LgVectorSlice), LgVectorOpen, LgVectorClose},
    {LgModuleDriver, 0, LgD3DDriverOpen, LgD3DDriverClose},
    {LgModuleMatrix, sizeof(LgMatrixSlice), LgMatrixOpen, LgMatrixClose},
    {LgModuleFrame, sizeof(LgFrameSlice), LgFrameOpen, LgFrameClose},
    {LgModuleStream, sizeof(LgStreamSlice), LgStreamModuleOpen, LgStreamModuleClose},
    {LgModuleCamera, sizeof(LgCameraSlice), LgCameraOpen, LgCameraClose},
    {LgModuleImage, sizeof(LgImageSlice), LgImageOpen, LgImageClose},
    {LgModuleRaster, sizeof(LgRasterSlice), LgRasterOpen, LgRasterClose},
    {LgModuleTexture, sizeof(LgTextureSlice), LgTextureOpen, LgTextureClose},
    {LgModulePipeline, sizeof(LgPipelineSlice), LgPipelineModuleOpen, LgPipelineModuleClose},
    {LgModuleImmediate, 0, LgImmediateOpen, LgImmediateClose},
    {LgModuleIm3DPipeline, sizeof(LgIm3DPipelineSlice), LgIm3DPipelineOpen, LgIm3DPipelineClose},
    {LgModuleResources, sizeof(LgResourcesSlice), LgResourcesOpen, LgResourcesClose},
};

} // namespace

int32_t LgEngineRegisterCoreModules() {
    int32_t combined = 0;
    for (const CoreModule& m : coreModules)
        combined |= LgEngineRegisterPlugin(m.sliceSize, m.id, m.open, m.close);
    return combined;
}
