// Immediate-mode 3D: the program-wide transformed-vertex buffers, transform contexts, draw
// hooks and projection constants, the pipeline stages that fill them, and the primitive
// dispatch, back-face tests and clipper that turn them into device triangles and lines.
#pragma once

#include "engine/core/lg_objects.h"

#include <bit>

// The vertex callers hand to LgIm3DTransform (36 bytes; the world's untextured vertices stop
// before u, v at 28 bytes).
struct LgIm3DVertex {
    LgVector position;
    LgVector normal; // the world's instanced vertices keep their normal here
    LgRGBA color;
    float u, v;
};
static_assert(sizeof(LgIm3DVertex) == 36);
constexpr int32_t LgIm3DVertexStrideUntextured = 28;

// Transform flag bits: either asks for the texture coordinates (game callers pass 1, the
// world pipelines 2).
constexpr uint32_t LgIm3DTransformTextured = 0x3;

// The input of the immediate-mode pipeline (LgIm3DTransform builds one).
struct LgIm3DTransformRequest {
    const void* vertices;
    int32_t count;
    uint32_t flags;
    const LgMatrix* matrix; // object to world, or null when the vertices are in world space
};

// The work record the instance stage hands to the later stages.
struct LgIm3DWork {
    const uint8_t* vertices;
    int32_t count;
    int32_t stride;
    uint32_t flags;
    uint16_t mode;
    int32_t first;   // buffer entry of the first vertex
    LgMatrix matrix; // vertices to the camera's normalised space
};

using LgIm3DPerVertexFunc = void* (*)(LgIm3DWork* work);

// One open transform: its block of the vertex buffers and its clip summary.
struct LgIm3DContext {
    int32_t first;          // buffer entry of its first vertex
    int32_t count;          // vertices transformed
    int32_t nextFree;       // next buffer entry for vertices made by clipping
    uint32_t nothingToDraw; // AND of all clip codes: non-zero when every vertex is outside
    uint32_t anyClipped;    // OR of all clip codes
    LgIm3DPerVertexFunc perVertex;
    LgIm3DWork work;
};

constexpr int32_t LgIm3DContextStackSize = 10;
constexpr int32_t LgIm3DMinVertices = 9000;

// Draw hooks. Vertex numbers are relative to the current context's first entry.
struct LgIm3DHooks {
    int32_t (*backfaceCamera)(int32_t i0, int32_t i1, int32_t i2); // 1: cull
    int32_t (*backfaceScreen)(int32_t i0, int32_t i1, int32_t i2); // 1: cull
    void (*clipTriangle)(int32_t i0, int32_t i1, int32_t i2);
    void (*clipLine)(int32_t i0, int32_t i1);
    void (*begin)();
    void (*submitTriangle)(int32_t i0, int32_t i1, int32_t i2);
    void (*submitLine)(int32_t i0, int32_t i1);
    void (*end)();
};

// Camera-space to screen constants, set at each camera begin update.
struct LgIm3DProjection {
    uint32_t projection; // LgCameraPerspective or LgCameraParallel
    float xScale, xOffset;
    float yScale, yOffset;
    float zScale, zOffset;
    float nearClip, farClip;
    float nearScreenZ, farScreenZ;
    float fogStart, fogEnd, fogScale;
    // Set by a device whose fog table counts from the eye (the exponential kinds): the
    // camera set-up then starts the fog at distance 0 instead of the camera's fog distance.
    int32_t fogFromEye;
    // Specular words by fog index: the fog factor sits in the alpha byte.
    uint32_t fogTable[256];
};

struct LgIm3DState {
    LgIm3DContext* current; // the innermost open transform, or null
    LgIm3DContext contexts[LgIm3DContextStackSize];
    int32_t depth;
    int32_t inUse;    // buffer entries held by open transforms
    int32_t capacity; // entries of both buffers
    LgIm3DCameraVertex* cameraVertices;
    LgIm3DScreenVertex* screenVertices;
    uint8_t* vertexMarks; // one bit per buffer entry, for callers that mark vertices done
    LgIm3DHooks hooks;
    LgIm3DProjection projection;
    int32_t gouraud; // render state 5 is 2: clipped polygons keep per-vertex colours
};

extern LgIm3DState LgIm3DGlobal;

// Clip code of a camera-space position. The sign tests read the float bits, so -0 counts as
// outside the x = 0 and y = 0 planes; the other tests compare values, which keeps them right
// for points behind the eye as well.
inline uint32_t LgIm3DClipCode(float x, float y, float z, const LgIm3DProjection& p) {
    uint32_t code = 0;
    if (std::bit_cast<int32_t>(x) < 0) code |= LgClipLeft;
    if (std::bit_cast<int32_t>(y) < 0) code |= LgClipTop;
    if (z < p.nearClip) code |= LgClipNear;
    if (z > p.farClip) code |= LgClipFar;
    const float limit = p.projection == LgCameraParallel ? 1.0f : z;
    if (x > limit) code |= LgClipRight;
    if (y > limit) code |= LgClipBottom;
    return code;
}

// The specular word for a camera-space depth.
inline uint32_t LgIm3DFogForDepth(float z, const LgIm3DProjection& p) {
    if (z <= p.fogStart) return p.fogTable[0];
    if (z >= p.fogEnd) return p.fogTable[255];
    int32_t index = static_cast<int32_t>((z - p.fogStart) * p.fogScale + 0.5f);
    index = index < 0 ? 0 : (index > 255 ? 255 : index);
    return p.fogTable[index];
}

// Pipeline stages of immediate mode. The instance stage takes an LgIm3DTransformRequest.
void* LgIm3DInstanceStage(void* request);
void LgIm3DColorStage(void* work);
// The device-independent transform stage (camera space, clip codes, projection of the
// vertices inside); devices install it as stage 1 when they answer request 9.
void LgIm3DTransformStage(void* work);
// Immediate mode's stages on a pipeline; 1, 0 for null.
int32_t LgIm3DPipelineInit(LgPipeline* pipeline);

// Draw functions over the current transform (the device record's 3D hooks); all return 1.
int32_t LgIm3DDrawTriangle(int32_t i0, int32_t i1, int32_t i2);
int32_t LgIm3DDrawLine(int32_t i0, int32_t i1);
int32_t LgIm3DDrawPrimitive(int32_t type);
int32_t LgIm3DDrawIndexedPrimitive(int32_t type, const uint16_t* indices, int32_t count);

// The steps the draw functions are made of, for render stages that walk their own triangles
// (the hooks above do the culling, clipping and submitting):
// starts a batch over the current transform: 0 when no transform is open or every vertex is
// outside one plane; otherwise the clip area is emptied, the device told a batch begins, 1.
// The batch ends with hooks.end(), which flushes it.
int32_t LgIm3DBeginBatch();
// Makes room for the vertices the clipper may add for one primitive; 0 when it cannot.
int32_t LgIm3DEnsureClipRoom();

// Installs the back-face tests and clippers of the projection.
void LgIm3DSetProjection(uint32_t projection);
int32_t LgIm3DBackfacePerspective(int32_t i0, int32_t i1, int32_t i2);
int32_t LgIm3DBackfaceScreen(int32_t i0, int32_t i1, int32_t i2);
int32_t LgIm3DBackfaceParallel(int32_t i0, int32_t i1, int32_t i2);
void LgIm3DClipTrianglePerspective(int32_t i0, int32_t i1, int32_t i2);
void LgIm3DClipTriangleParallel(int32_t i0, int32_t i1, int32_t i2);
void LgIm3DClipLinePerspective(int32_t i0, int32_t i1);
void LgIm3DClipLineParallel(int32_t i0, int32_t i1);

// Transform contexts: the pipeline module's open and close while immediate mode is open.
int32_t LgIm3DPushContext(LgPipeline* pipeline);
int32_t LgIm3DPopContext();

// Makes room for count more vertices than are in use (at least LgIm3DMinVertices); 1/0.
int32_t LgIm3DReserveVertices(int32_t count);

// Entries of immediate mode reached through the pipeline core: registering the immediate
// mode module, per-camera set-up at begin update, and immediate mode's pipeline stages.
int32_t LgIm3DModuleInit();
LgCamera* LgIm3DCameraBeginHook(LgCamera* camera);
int32_t LgIm3DSetupPipeline(LgPipeline* pipeline);

// The immediate-mode 3D pipeline holder (engine module 0x40a).
struct LgIm3DPipelineSlice {
    LgPipeline* pipeline;
};
LgPipeline* LgIm3DGetPipeline();
void* LgIm3DPipelineOpen(void* instance, int32_t offset, int32_t size);
void* LgIm3DPipelineClose(void* instance, int32_t offset, int32_t size);
