// MousePointer: the pointer the program draws itself, a picture of several frames described by
// an INI file, animated by elapsed time and drawn by blitting into a target raster or as a
// textured quad through a renderer.
#pragma once

#include "framework/core/class_factory.h"
#include "media/display/renderer.h"
#include "media/raster/raster.h"

#include <cstdint>

inline constexpr GUID CLSID_MousePointer = om_guid("D881B41C-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID IID_IMousePointer = om_guid("D88678D0-C84F-11D4-871E-00C04F7963BA");

// One frame of the pointer picture, as the INI file's numbered sections give it.
struct MousePointerFrame {
    int32_t offset_x;
    int32_t offset_y;
    int32_t width;
    int32_t height;
    int32_t hotspot_x; // the point of the frame placed at the pointer position
    int32_t hotspot_y;
    int32_t next_image; // the frame that follows
    int32_t next_time;  // how long the frame is shown, in the units of Update
};

// Drawing: with a renderer the frame is drawn as a textured quad through it and the target
// raster, when one is set, only gives the scale (target size / 640 x 480); with no renderer
// the frame is blitted into the target. A pointer with both never draws twice.
struct IMousePointer : IUnknown {
    // Holds the renderer (a reference; the one held before is released). Null clears. 0.
    virtual OmResult SetRenderer(IRenderer* renderer) = 0;
    // Holds the target raster likewise. 0.
    virtual OmResult SetTarget(IRaster* target) = 0;
    virtual OmResult SetParameter(int32_t value) = 0;
    virtual int32_t GetParameter() = 0;
    virtual OmResult SetPosition(int32_t x, int32_t y) = 0;
    virtual OmResult MovePosition(int32_t dx, int32_t dy) = 0;
    // Either output may be null.
    virtual OmResult GetPosition(int32_t* x, int32_t* y) = 0;
    // A new index (0..count-1) becomes the current and requested frame; an invalid one 0;
    // the requested frame again changes nothing.
    virtual OmResult SetFrame(int32_t index) = 0;
    virtual int32_t GetFrame() = 0;
    // Reads the pointer INI file through the program directory's storage; its picture
    // ("Image" of [Raster]) is made from `description` (its CreateRaster, sized to the
    // picture) and keyed on its top-left pixel. The storage's, sheet's or reader's failure;
    // the pointer keeps what it had on failure.
    virtual OmResult Load(const char* path, IRasterCreate* description) = 0;
    // Advances the animation by the elapsed time.
    virtual OmResult Update(int32_t elapsed) = 0;
    // OM_E_FAIL without frames; nothing drawn without a picture or with nothing to draw on.
    virtual OmResult Draw() = 0;
};

OM_DECLARE_MODULE(MousePointer);
