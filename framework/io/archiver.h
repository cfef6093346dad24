// Archiver: graphs of objects and plain values on a byte stream, as readable text or as raw
// binary, with shared objects written once and referred to by number.
#pragma once

#include "framework/core/class_factory.h"
#include "framework/io/byte_stream.h"

inline constexpr GUID CLSID_Archiver = om_guid("DDFB9AD4-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID IID_IArchiver = om_guid("DE300E90-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID IID_IArchive = om_guid("DE21C074-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID IID_IArchivable = om_guid("DE2B49DC-C84F-11D4-871E-00C04F7963BA");

// Value types of the archive's transfers.
enum OmArchiveType : int32_t {
    OM_ARCHIVE_FLOAT = 0,  // 32-bit float: "%f "
    OM_ARCHIVE_INT = 1,    // 32-bit integer: "%d "
    OM_ARCHIVE_CODE = 2,   // four-character code, first character in the lowest byte
    OM_ARCHIVE_STRING = 3, // NUL-terminated text: "\"text\" "
    OM_ARCHIVE_BYTE = 4,   // "%02x "
    OM_ARCHIVE_OBJECT = 5, // object pointer: "NULL ", "OBJECT n ", "REFERENCE n "
    OM_ARCHIVE_GUID = 6,   // "XXXXXXXX-XXXX-XXXX-XX,XX-XX,XX,XX,XX,XX,XX "
};

// Directions of CreateArchive.
inline constexpr uint32_t OM_ARCHIVE_READ = 0;
inline constexpr uint32_t OM_ARCHIVE_WRITE = 1;

// A four-character code as the archive holds it: the first character in the lowest byte.
consteval uint32_t om_archive_code(const char (&text)[5]) {
    return uint32_t(uint8_t(text[0])) | uint32_t(uint8_t(text[1])) << 8 |
           uint32_t(uint8_t(text[2])) << 16 | uint32_t(uint8_t(text[3])) << 24;
}

// One pass over a stream in one direction. Objects are numbered from 1 in the order they are
// first met; a later meeting writes a reference to the number.
//
// `size` is in bytes: elements of 4 bytes for OM_ARCHIVE_INT and OM_ARCHIVE_CODE, one pointer
// for OM_ARCHIVE_OBJECT, 1 byte for OM_ARCHIVE_BYTE and 16 for OM_ARCHIVE_GUID are handled one
// after another; a float, a string and any size of 0 are one element. A string being read is
// cut to `size` bytes with its NUL (a size of 0 cannot hold one: OM_E_FAIL). Text tokens are
// cut to 80 characters (160 for a GUID). Every call that writes text ends the line.
struct IArchive : IUnknown {
    // Non-zero when reading.
    virtual int32_t IsReading() = 0;
    // Non-zero when writing.
    virtual int32_t IsWriting() = 0;
    // OM_E_FAIL when writing; else as Transfer, except that codes and GUIDs are read too.
    virtual OmResult Read(int32_t type, void* data, uint32_t size) = 0;
    // OM_E_FAIL when reading; else as Transfer.
    virtual OmResult Write(int32_t type, void* data, uint32_t size) = 0;
    // Writes or reads as the direction says; a reading archive passes codes and GUIDs over
    // (0, nothing consumed), since an object's reader has read them before the object reads
    // itself. OM_E_FAIL for an unknown type or a malformed token or object (bad number,
    // unknown class); OM_E_OUTOFMEMORY; stream failures.
    virtual OmResult Transfer(int32_t type, void* data, uint32_t size) = 0;
};

// Objects that archive themselves: Transfer writes or reads the object through the archive,
// beginning with its class id (OM_ARCHIVE_GUID) and its four-character code (OM_ARCHIVE_CODE).
struct IArchivable : IUnknown {
    virtual OmResult Transfer(IArchive* archive) = 0;
};

struct IArchiver : IUnknown {
    // A text archive on the stream (OM_ARCHIVE_READ, else writing), holding this Archiver.
    // OM_E_OUTOFMEMORY.
    virtual OmResult CreateArchive(uint32_t mode, IByteStream* stream, IArchive** out) = 0;
    // Stores `value` under `key` in the table that the id's first 32-bit word selects; an
    // existing entry stays. OM_E_OUTOFMEMORY.
    virtual OmResult Register(const GUID* id, uint32_t key, uint32_t value) = 0;
    // OM_E_FAIL when either level lacks the entry.
    virtual OmResult Unregister(const GUID* id, uint32_t key) = 0;
    // As CreateArchive, in binary form: values as raw little-endian bytes, strings as a
    // 4-byte length, the characters and zero bytes up to a multiple of 4, and object pointers
    // as the codes "NULL", "OBJ " or "REF " followed by the number.
    virtual OmResult CreateBinaryArchive(uint32_t mode, IByteStream* stream, IArchive** out) = 0;
};

OM_DECLARE_MODULE(Archiver);
