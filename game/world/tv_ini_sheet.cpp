// Reading the game's INI files through the storage service and a property sheet.
#include "game/world/tv_ini_sheet.h"

#include "framework/core/class_ids.h"
#include "framework/core/com_ref.h"
#include "framework/core/object_manager.h"
#include "framework/platform/file_storage.h"

#include <cmath>
#include <cstdio>

OmResult TvLoadIniSheet(const char* path, IPropertySheet** out) {
    bool open_failed = false;
    return TvLoadIniSheet(path, out, &open_failed);
}

OmResult TvLoadIniSheet(const char* path, IPropertySheet** out, bool* open_failed) {
    *out = nullptr;
    *open_failed = false;
    ComRef<IFileStorage> storage;
    OmResult r = OmCreate(CLSID_Storage, IID_IFileStorage, storage.put());
    if (r < 0) return r;
    ComRef<IByteStream> stream;
    r = storage->Open(path, OM_OPEN_READ, OM_OPEN_TEXT, stream.put());
    if (r < 0 || !stream) {
        *open_failed = true;
        return r < 0 ? r : OM_E_FAIL;
    }
    ComRef<IPropertySheet> sheet;
    r = OmCreate(CLSID_PropertySheet, IID_IPropertySheet, sheet.put());
    if (r < 0) return r;
    sheet->Load(stream.get());
    *out = sheet.detach();
    return OM_S_OK;
}

bool TvIniString(IPropertySheet* sheet, const char* key, char (&value)[kTvIniValueSize]) {
    return sheet->GetString(key, value, kTvIniValueSize) >= 0;
}

bool TvIniFloat(IPropertySheet* sheet, const char* key, float* out) {
    char value[kTvIniValueSize];
    if (!TvIniString(sheet, key, value)) return false;
    // "nan", "inf" and numbers beyond a float scan as numbers; none is a value of a data file.
    float read = 0.0f;
    if (std::sscanf(value, "%f", &read) != 1 || !std::isfinite(read)) return false;
    *out = read;
    return true;
}
