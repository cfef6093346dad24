// The driver's floating-point mode switch for camera updates and its fixed-order multiply.
#pragma once

#include "engine/core/lg_types.h"

// With SSE arithmetic there is no x87 precision or rounding mode to switch: both are no-ops,
// kept so the camera update reads as the driver's contract describes it.
void LgFpuSetSingleRoundDown();
void LgFpuRestore();

// dst = a x b with a fixed summation order (second and third products summed first); each row
// of a is read whole before dst's row is written, so dst may be a. The flags word is not
// written. dst must not be b (LgMatrixMultiply guards that).
void LgMatrixMultiplyAsm(LgMatrix* dst, const LgMatrix* a, const LgMatrix* b);
