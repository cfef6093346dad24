// The group registration functions. Each lists the modules of its group in registration
// order; a module joins its list, at its place, when it is built into the program.
#include "program/module_groups.h"

#include "framework/containers/bit_field_int_set.h"
#include "framework/containers/com_array.h"
#include "framework/containers/com_hash.h"
#include "framework/containers/com_list.h"
#include "framework/containers/com_set.h"
#include "framework/containers/com_stack.h"
#include "framework/containers/property_sheet.h"
#include "framework/containers/simple_array.h"
#include "framework/containers/values.h"
#include "framework/core/std_c_memory.h"
#include "framework/crypto/cipher.h"
#include "framework/crypto/digital_signature.h"
#include "framework/crypto/secure_storage.h"
#include "framework/crypto/secure_storage_create.h"
#include "framework/io/archiver.h"
#include "framework/io/binary_stream_composer.h"
#include "framework/io/fifo_stream.h"
#include "framework/io/iff.h"
#include "framework/io/lex_analyser.h"
#include "framework/io/memory_stream.h"
#include "framework/io/meta_object_rw.h"
#include "framework/io/object_rw.h"
#include "framework/io/object_streamer.h"
#include "framework/io/sync_stream.h"
#include "framework/maths/expression.h"
#include "framework/maths/expression_parser.h"
#include "framework/maths/random.h"
#include "framework/maths/std_c_maths.h"
#include "framework/platform/cpuid.h"
#include "framework/platform/debug_message.h"
#include "framework/platform/file_storage.h"
#include "framework/platform/os_extension.h"
#include "framework/platform/os_service.h"
#include "framework/platform/profile.h"
#include "framework/platform/registry.h"
#include "framework/platform/timer.h"
#include "frontend/html/html_browser.h"
#include "frontend/html/html_menu.h"
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
#include "net/session/network.h"
#include "net/tcp/win32_tcp.h"
#include "net/transport/om_transport.h"
#include "net/transport/packet_queue.h"
#include "net/web/url_parts.h"

#include <initializer_list>

namespace {

// Calls each register function in order; their results are ignored, as a missing or
// failing module must not keep the others out.
OmResult register_each(std::initializer_list<OmRegisterFunction> modules, IObjectManager* manager) {
    for (OmRegisterFunction register_module : modules) register_module(manager);
    return OM_S_OK;
}

const OmModuleGroup startup_order[] = {
    {"display", OmRegisterDisplayModules}, {"containers", OmRegisterContainerModules},
    {"sound", OmRegisterSoundModules},     {"crypto", OmRegisterCryptoModules},
    {"web", OmRegisterWebModules},         {"input", OmRegisterInputModules},
    {"maths", OmRegisterMathsModules},     {"memory", OmRegisterMemoryModule},
    {"network", OmRegisterNetworkModules}, {"system", OmRegisterSystemModules},
    {"storage", OmRegisterStorageModules}, {"text", OmRegisterTextModules},
};

} // namespace

// One module per line, in the group's order, so each module joins its place alone.
// clang-format off
OmResult OmRegisterTextModules(IObjectManager* manager) {
    return register_each({
        FontCache_RegisterClasses,
        TextRenderer_RegisterClasses,
        TextBlt_RegisterClasses,
        DFALexAnalyser_RegisterClasses,
        NFALexAnalyser_RegisterClasses,
        CompressedFont_RegisterClasses,
        GeneralFont_RegisterClasses,
        SimpleFontCache_RegisterClasses,
        Win32TrueTypeFont_RegisterClasses,
    }, manager);
}

OmResult OmRegisterStorageModules(IObjectManager* manager) {
    return register_each({
        Archiver_RegisterClasses,
        SyncStream_RegisterClasses,
        FifoStream_RegisterClasses,
        MemoryStream_RegisterClasses,
        ObjectStreamer_RegisterClasses,
        IFF_RegisterClasses,
        ObjectRW_RegisterClasses,
        MetaObjectRW_RegisterClasses,
        BinaryStreamComposer_RegisterClasses,
        SecureStorage_RegisterClasses,
        SecureStorageCreate_RegisterClasses,
        Win32Storage_RegisterClasses,
    }, manager);
}

OmResult OmRegisterSystemModules(IObjectManager* manager) {
    return register_each({
        Timer_RegisterClasses,
        DebugMessage_RegisterClasses,
        Win32CPUID_RegisterClasses,
        Win32Registry_RegisterClasses,
        Win32OS_RegisterClasses,
        Win32OSExt_RegisterClasses,
        Win32HighResTimer_RegisterClasses,
        Win32Profile_RegisterClasses,
    }, manager);
}

OmResult OmRegisterNetworkModules(IObjectManager* manager) {
    return register_each({
        Network_RegisterClasses,
        NullTransport_RegisterClasses,
        PacketQueue_RegisterClasses,
        Win32TCP_RegisterClasses,
        Win32Dx5Transport_RegisterClasses,
        Win32Dx6Transport_RegisterClasses,
    }, manager);
}

OmResult OmRegisterMemoryModule(IObjectManager* manager) {
    return register_each({
        StdCMemory_RegisterClasses,
    }, manager);
}

OmResult OmRegisterMathsModules(IObjectManager* manager) {
    return register_each({
        Random_RegisterClasses,
        Expression_RegisterClasses,
        ExpressionParser_RegisterClasses,
        StdCMaths_RegisterClasses,
    }, manager);
}

OmResult OmRegisterInputModules(IObjectManager* manager) {
    return register_each({
        Input_RegisterClasses,
        StdInput_RegisterClasses,
        IO_RegisterClasses,
        Keyboard_RegisterClasses,
        DX5InputDevice_RegisterClasses,
        Win32DxKeyboard_RegisterClasses,
        Win32DxMouse_RegisterClasses,
    }, manager);
}

OmResult OmRegisterWebModules(IObjectManager* manager) {
    return register_each({
        File_RegisterClasses,
        HTTP_RegisterClasses,
        HTMLBlitBrowser_RegisterClasses,
        HTMLBrowser_RegisterClasses,
        HTMLNullBrowser_RegisterClasses,
        HTMLMenu_RegisterClasses,
        URL_RegisterClasses,
        Win32InetStream_RegisterClasses,
    }, manager);
}

OmResult OmRegisterCryptoModules(IObjectManager* manager) {
    return register_each({
        AsciiCrypt_RegisterClasses,
        CryptPW_RegisterClasses,
        TinyCrypt_RegisterClasses,
        DigitalSignature_RegisterClasses,
    }, manager);
}

// The Guid value sits with the other values so chunked files can create it by its tag.
OmResult OmRegisterContainerModules(IObjectManager* manager) {
    return register_each({
        COMArray_RegisterClasses,
        COMHash_RegisterClasses,
        COMStack_RegisterClasses,
        ObjHash_RegisterClasses,
        COMList_RegisterClasses,
        PropertySheet_RegisterClasses,
        BitFieldIntSet_RegisterClasses,
        Int_RegisterClasses,
        Ptr_RegisterClasses,
        Real_RegisterClasses,
        String_RegisterClasses,
        Guid_RegisterClasses,
        SimpleArray_RegisterClasses,
        COMSet_RegisterClasses,
    }, manager);
}

OmResult OmRegisterDisplayModules(IObjectManager* manager) {
    return register_each({
        MousePointer_RegisterClasses,
        AnimRaster_RegisterClasses,
        AnimRasterCreate_RegisterClasses,
        Blitter_RegisterClasses,
        ImageProc_RegisterClasses,
        ImageProcessor_RegisterClasses,
        RasterCreate_RegisterClasses,
        Bmp_RegisterClasses,
        Jpeg_RegisterClasses,
        Png_RegisterClasses,
        SunRaster_RegisterClasses,
        RasterIni_RegisterClasses,
        AnimRenderer_RegisterClasses,
        Sw16Renderer_RegisterClasses,
        Sw8Renderer_RegisterClasses,
        Win32Dx5Renderer_RegisterClasses,
        Win32Dx5Display_RegisterClasses,
        Win32DIBDisplay_RegisterClasses,
        Win32DirectDrawDisplay_RegisterClasses,
        Win32DirectDrawDisplay_RegisterClasses,
    }, manager);
}
// clang-format on

std::span<const OmModuleGroup> OmModuleGroupsInStartupOrder() {
    return startup_order;
}

OmResult OmRegisterAllModuleGroups(IObjectManager* manager) {
    for (const OmModuleGroup& group : startup_order) group.register_modules(manager);
    return OM_S_OK;
}
