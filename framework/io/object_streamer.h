// ObjectStreamer: objects as line-oriented text on a byte stream (tokens, keywords naming
// classes, numbers, escaped strings, comments, keyword definitions, binary blocks).
#pragma once

#include "framework/containers/values.h"
#include "framework/core/class_factory.h"
#include "framework/io/byte_stream.h"

inline constexpr GUID CLSID_ObjectStreamer = om_guid("DE0EADA4-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID IID_IObjectStreamer = om_guid("DE3BFA52-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID IID_IStreamable = om_guid("DE4CAAC8-C84F-11D4-871E-00C04F7963BA");

struct IObjectStreamer;

// Implemented by objects that have a text form.
struct IStreamable : IUnknown {
    virtual OmResult Write(IObjectStreamer* streamer) = 0;
    virtual OmResult Read(IObjectStreamer* streamer) = 0;
};

// Reading: tokens are separated by blanks, tabs, CR and LF. At the start of a line, '#'
// begins a comment running to the line's end and '$' a keyword definition: a keyword, its
// class id and its interface id as GUID text, registered when all three are sound.
//
// Escaped strings (WriteString/ReadString) are one token: '\' is written "\\", every byte up
// to the blank, DEL, '#' and '$' as "\x" and two hexadecimal digits, and the empty text as
// "\_". Reading also accepts any other "\c" as c.
//
// Operations taking (IString*, text) use the String's text when one is given.
struct IObjectStreamer : IUnknown {
    // Registers a keyword with pointers to its ids (which must stay valid). The first failure.
    virtual OmResult RegisterKeyword(const char* name, const GUID* clsid, const GUID* iid) = 0;
    // Copies the keyword's ids out. OM_E_FAIL when it is not registered.
    virtual OmResult LookupKeyword(const char* name, GUID* clsid, GUID* iid) = 0;
    // The stream every operation uses (no reference is held). 0.
    virtual OmResult SetStream(IByteStream* stream) = 0;
    virtual IByteStream* GetStream() = 0;
    // The keyword's class id as GUID text, a blank, its interface id. OM_E_FAIL when unknown.
    virtual OmResult WriteKeywordDefinition(const char* name) = 0;
    // The keyword itself. OM_E_FAIL when unknown.
    virtual OmResult WriteKeyword(const char* name) = 0;
    // Reads a token and looks it up. OM_E_FAIL when there is none or it is unknown.
    virtual OmResult ReadKeyword(GUID* clsid, GUID* iid) = 0;
    // The object's text form: IStreamable's Write, else an Int, Real or String value (a String
    // as an escaped string). OM_E_FAIL for anything else.
    virtual OmResult WriteValue(IUnknown* object) = 0;
    // A new object for the keyword that precedes it: a registered keyword's class read
    // through IStreamable, or "int", "real", "string". Null when unknown or unreadable.
    virtual IUnknown* ReadValue(IString* keyword_string, const char* keyword) = 0;
    // A blank, then the escaped text. OM_E_FAIL without a text.
    virtual OmResult WriteString(IString* string, const char* text) = 0;
    // A new String with the next token unescaped, or null when there is none.
    virtual IString* ReadString() = 0;
    // The text unchanged, no separator. OM_E_FAIL without a text.
    virtual OmResult WriteToken(IString* string, const char* text) = 0;
    // A new String with the next token, or null when there is none.
    virtual IString* ReadToken() = 0;
    // A blank, then "%d".
    virtual OmResult WriteInt(IInt* value_object, int32_t value) = 0;
    // The next token as "%d"; 0 when there is none or it is no number.
    virtual int32_t ReadInt() = 0;
    // A blank, then "%f".
    virtual OmResult WriteReal(IReal* value_object, float value) = 0;
    virtual float ReadReal() = 0;
    // "begin", lines of up to 45 bytes each followed by NewLine, an empty line, "end".
    virtual OmResult WriteBlock(const void* data, uint32_t count) = 0;
    // Reads the lines of a block (the caller expects "begin" and "end" around it) into the
    // buffer; *size holds its capacity on entry and the bytes read on return. OM_E_FAIL for a
    // line longer than the room left or a line cut short.
    virtual OmResult ReadBlock(void* buffer, uint32_t* size) = 0;
    // Reads characters, white space skipped, and compares them with the text's. OM_E_FAIL on
    // the first mismatch or when the stream ends.
    virtual OmResult Expect(IString* string, const char* text) = 0;
    // A comment line: '#', the text up to its first line break, then a line break (and one
    // before, when the output is not at the start of a line).
    virtual OmResult WriteComment(IString* string, const char* text) = 0;
    virtual OmResult WriteSpace() = 0;
    // A line break, then one tab per indentation level.
    virtual OmResult NewLine() = 0;
    virtual OmResult Indent() = 0;
    // OM_E_FAIL at level 0 (the level stays 0).
    virtual OmResult Unindent() = 0;
};

OM_DECLARE_MODULE(ObjectStreamer);

// A new streamer made directly, its default keywords registered (one reference).
OmResult OmNewObjectStreamer(IObjectStreamer** out);
