// The INI reader behind PropertySheet::Load.
#pragma once

#include "framework/containers/property_sheet.h"

// Longest text line (without its line end) and the name limits of INI text.
inline constexpr uint32_t OM_SHEET_MAX_LINE = 2047;
inline constexpr uint32_t OM_SHEET_MAX_SECTION_NAME = 255;
inline constexpr uint32_t OM_SHEET_MAX_KEY_NAME = 254;

// Reads the stream a byte per Read until it fails or delivers nothing, and enters each line
// into `sheet` through UseSection/SetSection and SetString.
OmResult om_load_sheet_text(IPropertySheet* sheet, IByteStream* stream);
