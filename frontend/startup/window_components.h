// The program's two references to the Win32OS component: its window and its OS services.
#pragma once

#include "framework/core/result_codes.h"

struct IOmOS;
struct IOmWindow;

// Creates Win32OS for IOmWindow and for IOmOS. OM_E_FAIL when either fails (the failure is
// written to the error log; nothing is kept).
OmResult TvOpenWindowComponents();
// Releases both references (each when held) and closes the error log.
void TvCloseWindowComponents();

// The references while open (no reference added), else null.
IOmWindow* TvGetMainWindow();
IOmOS* TvGetOS();
