// The media library's classes for the tests below the program: displays, renderers and
// pictures, input devices, fonts and text, each in the order the program's groups use.
#pragma once

#include "media/display/anim_renderer.h"
#include "media/display/d3d/dx5_renderer.h"
#include "media/display/displays/display_classes.h"
#include "media/display/software_renderer.h"
#include "media/input/dx5_input_device.h"
#include "media/input/dx_stream_devices.h"
#include "media/input/input.h"
#include "media/input/io.h"
#include "media/input/keyboard_filter.h"
#include "media/input/std_input.h"
#include "media/raster/anim_raster.h"
#include "media/raster/blitter.h"
#include "media/raster/image_codecs.h"
#include "media/raster/image_processor.h"
#include "media/raster/mouse_pointer.h"
#include "media/raster/raster.h"
#include "media/text/font.h"
#include "media/text/font_cache.h"
#include "media/text/text_renderer.h"
#include "tests/support/framework_classes.h"

namespace testsupport {

inline void register_display_classes(IObjectManager* manager) {
    for (OmRegisterFunction f :
         {MousePointer_RegisterClasses, AnimRaster_RegisterClasses,
          AnimRasterCreate_RegisterClasses, Blitter_RegisterClasses, ImageProc_RegisterClasses,
          ImageProcessor_RegisterClasses, RasterCreate_RegisterClasses, Bmp_RegisterClasses,
          Jpeg_RegisterClasses, Png_RegisterClasses, SunRaster_RegisterClasses,
          RasterIni_RegisterClasses, AnimRenderer_RegisterClasses, Sw16Renderer_RegisterClasses,
          Sw8Renderer_RegisterClasses, Win32Dx5Renderer_RegisterClasses,
          Win32Dx5Display_RegisterClasses, Win32DIBDisplay_RegisterClasses,
          Win32DirectDrawDisplay_RegisterClasses})
        f(manager);
}

inline void register_input_classes(IObjectManager* manager) {
    for (OmRegisterFunction f :
         {Input_RegisterClasses, StdInput_RegisterClasses, IO_RegisterClasses,
          Keyboard_RegisterClasses, DX5InputDevice_RegisterClasses, Win32DxKeyboard_RegisterClasses,
          Win32DxMouse_RegisterClasses})
        f(manager);
}

// Fonts, font caches and the text renderers.
inline void register_text_classes(IObjectManager* manager) {
    for (OmRegisterFunction f :
         {FontCache_RegisterClasses, TextRenderer_RegisterClasses, TextBlt_RegisterClasses,
          CompressedFont_RegisterClasses, GeneralFont_RegisterClasses,
          SimpleFontCache_RegisterClasses, Win32TrueTypeFont_RegisterClasses})
        f(manager);
}

// Every class of the framework and of the media library.
inline void register_media_classes(IObjectManager* manager) {
    register_display_classes(manager);
    register_input_classes(manager);
    register_framework_classes(manager);
    register_text_classes(manager);
}

} // namespace testsupport
