// DebugMessage: the program-wide message service. Callers set named parameters, then report a
// text of a severity; the entry goes to ormiclog.txt beside the program and, for warnings and
// fatal messages, to the debugger output.
#pragma once

#include "framework/core/class_factory.h"
#include "framework/platform/file_storage.h"

inline constexpr GUID CLSID_DebugMessage = om_guid("9039A284-2FEC-11D5-A4B0-00010239331A");
inline constexpr GUID IID_IDebugMessage = om_guid("9039A283-2FEC-11D5-A4B0-00010239331A");

inline constexpr char OM_DEBUG_LOG_NAME[] = "ormiclog.txt";
// Severities; any value above OM_SEVERITY_WARNING is fatal.
inline constexpr uint32_t OM_SEVERITY_INFORMATION = 0;
inline constexpr uint32_t OM_SEVERITY_WARNING = 1;
inline constexpr uint32_t OM_SEVERITY_FATAL = 2;
// Output flag: add the source location and send warnings to the debugger output.
inline constexpr uint32_t OM_MESSAGE_VERBOSE = 1;
// Bound of one log entry, terminator included; longer entries are cut.
inline constexpr uint32_t OM_DEBUG_ENTRY_SIZE = 300;
// Bound of a log or source file name, terminator included.
inline constexpr uint32_t OM_DEBUG_NAME_SIZE = 260;

// Parameter names carry their braces ("{Path}"), as the message texts do.
struct IDebugMessage : IUnknown {
    // Stores the flags; a storage replaces the held one; a different log name closes the log
    // (the next report opens the new file). OM_E_FAIL for a name that does not fit.
    virtual OmResult SetOutput(IFileStorage* storage, const char* log_name, uint32_t flags) = 0;
    // The source location of the next report. 0.
    virtual OmResult SetLocation(const char* file, uint32_t line) = 0;
    // The value formatted by `format` ("%d" when null; one integer conversion). OM_E_FAIL for
    // another format, OM_E_OUTOFMEMORY.
    virtual OmResult SetParameterInt(const char* name, const char* format, int32_t value) = 0;
    // The same with "%f" and one floating-point conversion.
    virtual OmResult SetParameterReal(const char* name, const char* format, float value) = 0;
    // A copy of the text replaces any value under the name. OM_E_OUTOFMEMORY (left unset).
    virtual OmResult SetParameter(const char* name, const char* text) = 0;
    // The text "(%p)" of the pointer.
    virtual OmResult SetParameterPointer(const char* name, const void* pointer) = 0;
    // Writes the entry and clears every parameter and the location. 0.
    virtual OmResult Report(uint32_t severity, const char* text) = 0;
};

OM_DECLARE_MODULE(DebugMessage);

// Each makes the program-wide service on first use (its creation failure is returned).
OmResult OmReportMessage(uint32_t severity, const char* text);
OmResult OmSetMessageParameter(const char* name, const char* text);
OmResult OmSetMessageParameterInt(const char* name, const char* format, int32_t value);
// Releases the program-wide service, if any (framework shutdown).
void OmReleaseMessageService();
