// PropertySheet: the component through which every INI file is read and written.
#pragma once

#include "framework/containers/move_modes.h"
#include "framework/core/class_factory.h"
#include "framework/io/byte_stream.h"

inline constexpr GUID CLSID_PropertySheet = om_guid("DA8E3974-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID IID_IPropertySheet = om_guid("DACC3698-C84F-11D4-871E-00C04F7963BA");

// Bytes of the current section and key names, NUL included: names longer than
// OM_SHEET_NAME_SIZE - 1 characters are refused wherever they would become current.
inline constexpr uint32_t OM_SHEET_NAME_SIZE = 256;

// Ordered sections of ordered key/value strings. The current section is held by name and
// looked up again (first of that name) by every operation that needs it; names compare
// exactly, case included. Failures are OM_E_FAIL unless a stream's own code is passed on.
struct IPropertySheet : IUnknown {
    // Back to one empty section "" which is current.
    virtual OmResult Clear() = 0;
    // Merges INI text from the stream's position: "[name]" headers, "key = value" lines, '#'
    // comments. A header of an existing section continues it; a repeated key takes the last
    // value. Fails on a line of 2048 or more bytes, a header without ']' or a name of 256 or
    // more characters, or a key of 255 or more; what was read before stays.
    virtual OmResult Load(IByteStream* stream) = 0;
    // Writes "\n[name]\n" and then "key=value\n" per key, for every section in order.
    virtual OmResult Save(IByteStream* stream) = 0;
    // Makes the section current, appending it when absent; the current key becomes "".
    virtual OmResult UseSection(const char* name) = 0;
    // Removes the current section with its keys; both current names become "". Always 0.
    virtual OmResult RemoveSection() = 0;
    // Makes an existing section current (current key ""); fails and changes nothing when absent.
    virtual OmResult SetSection(const char* name) = 0;
    // OM_MOVE_NEXT/PREVIOUS/FIRST/LAST over the sections; the reached one becomes current.
    virtual OmResult MoveSection(int32_t mode) = 0;
    // Copies the current section name into `buffer` (OM_SHEET_NAME_SIZE bytes). 0.
    virtual OmResult GetSectionName(char* buffer) = 0;
    // Renames the current section, which stays current under its new name.
    virtual OmResult RenameSection(const char* name) = 0;
    // Sets a key of the current section (appended when absent); the key becomes current.
    virtual OmResult SetString(const char* key, const char* value) = 0;
    // Copies the value with its NUL; fails (copying nothing) when size < length + 1.
    virtual OmResult GetString(const char* key, char* buffer, uint32_t size) = 0;
    // The value's length + 1, or 0 when the section, key or value is missing.
    virtual uint32_t GetStringLength(const char* key) = 0;
    // Removes a key of the current section; the current key name stays.
    virtual OmResult RemoveKey(const char* key) = 0;
    // Steps the current key (modes as MoveSection; a walk starts with OM_MOVE_FIRST); the
    // reached key's name goes to `name` (OM_SHEET_NAME_SIZE bytes) and its value's length to
    // `length`, each when given.
    virtual OmResult MoveKey(char* name, uint32_t* length, int32_t mode) = 0;
};

OM_DECLARE_MODULE(PropertySheet);
