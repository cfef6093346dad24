// Control layout files into the settings sheet.
#include "frontend/menus/control_layout.h"

#include "framework/containers/property_sheet.h"
#include "framework/core/com_ref.h"
#include "framework/core/object_manager.h"
#include "framework/io/memory_stream.h"
#include "framework/platform/file_storage.h"
#include "frontend/settings/data_storage.h"
#include "frontend/settings/program_settings.h"
#include "frontend/settings/settings_values.h"

#include <cstring>

namespace {

// The file read whole into memory, so that it can be tried before the sheet is touched.
OmResult read_whole(const char* file, IByteStream** out) {
    ComRef<IByteStream> stream;
    if (TvOpenDataFile(file, OM_OPEN_TEXT, stream.put()) < 0 || !stream) return OM_E_FAIL;
    ComRef<IByteStream> copy;
    if (OmNewMemoryStream(copy.put()) < 0) return OM_E_FAIL;
    char chunk[4096];
    for (;;) {
        uint32_t done = 0;
        const OmResult r = stream->Read(chunk, sizeof chunk, &done);
        if (done) copy->Write(chunk, done, nullptr);
        if (r == OM_E_ENDOFSTREAM || (r >= 0 && done < sizeof chunk)) break;
        if (r < 0) return r;
    }
    *out = copy.detach();
    return OM_S_OK;
}

} // namespace

int32_t TvControlLayoutType(const char* file) {
    static const struct {
        const char* name;
        int32_t type;
    } types[] = {
        {"mousekeys.ini", 0}, {"joystick.ini", 1}, {"keyboard.ini", 3}, {"joystickkeys.ini", 2}};
    if (file)
        for (const auto& entry : types)
            if (std::strcmp(entry.name, file) == 0) return entry.type;
    return -1;
}

OmResult TvLoadControlLayout(IPropertySheet* sheet, const char* file) {
    if (!sheet || !file) return OM_E_FAIL;
    if (!TvGetDataStorage() && tvfe::TvOpenDemoRecordings() < 0) return OM_E_FAIL;

    // Tried on a sheet of its own first, so a file that cannot be read leaves the settings as
    // they were.
    ComRef<IByteStream> copy;
    if (read_whole(file, copy.put()) < 0) return OM_E_FAIL;
    ComRef<IPropertySheet> trial;
    if (OmCreate(CLSID_PropertySheet, IID_IPropertySheet, trial.put()) < 0) return OM_E_FAIL;
    copy->Seek(0, OM_SEEK_START, nullptr);
    if (trial->Load(copy.get()) < 0) return OM_E_FAIL;

    if (const int32_t type = TvControlLayoutType(file); type >= 0)
        TvGetProgramSettings().control_type = type;
    if (sheet->UseSection(TV_SECTION_GLOBALCONTROL) >= 0)
        TvSettingsSetInt(sheet, TV_KEY_TYPE, TvGetProgramSettings().control_type);
    for (const char* section : TV_CONTROL_LAYOUT_SECTIONS)
        if (sheet->SetSection(section) >= 0) sheet->RemoveSection();
    // Keys before the file's first header belong to the unnamed section, whichever section the
    // removals left current.
    sheet->UseSection("");
    copy->Seek(0, OM_SEEK_START, nullptr);
    return sheet->Load(copy.get());
}
