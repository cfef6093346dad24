// Component libraries: shared objects listed in dlls.ini that register further classes and
// may supply a replacement object manager.
#pragma once

#include "framework/core/memory.h"
#include "framework/core/object_manager.h"

// The class a library registers to replace the built-in object manager.
inline constexpr GUID CLSID_SuppliedObjectManager = om_guid("DB9BA32E-C84F-11D4-871E-00C04F7963BA");

inline constexpr char OM_COMPONENT_LIST_NAME[] = "dlls.ini";
// Longest line of the list, terminator included.
inline constexpr uint32_t OM_COMPONENT_LINE_SIZE = 260;

// Entry points a component library exports with C linkage:
//   OmResult DllSetCOM(IObjectManager* manager, IMemory* allocator);
//   OmResult DllRegisterServer();
using OmDllSetCOMFunction = OmResult (*)(IObjectManager* manager, IMemory* allocator);
using OmDllRegisterServerFunction = OmResult (*)();

// Processes the list (default "dlls.ini"), then adopts a supplied object manager if a library
// registered one and processes the list again through it. A missing list fails.
OmResult OmLoadComponentDlls(const char* list_name);
// Installs the object manager a library supplies; its creation failure when none does.
OmResult OmAdoptSuppliedObjectManager();
// Loads each library of the list; the first failure shows "Unable to load '<line>'" and ends
// the list. Empty lines and lines starting with '#' or a blank are skipped.
OmResult OmProcessComponentList(const char* list_name);
// Loads one library (a path relative to the program directory unless it starts with '/'),
// hands it the program's services and lets it register. OM_E_NOTFOUND when it does not load,
// OM_E_FAIL when an entry point is missing.
OmResult OmLoadComponentDll(const char* line);
// The program's directory as a portable path ending in '/'. OM_E_FAIL when it does not fit
// into `size` bytes.
OmResult OmGetProgramDirectory(char* out, uint32_t size);

// For the DllSetCOM of a component library: points the library's own copy of the framework
// at the program's object manager and allocator, taking no references.
void OmUseProgramServices(IObjectManager* manager, IMemory* allocator);
