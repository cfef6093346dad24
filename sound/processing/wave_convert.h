// OmWaveConvert: the converting read of the sound-file readers. The file is read at its own
// format, rate and length, the caller's maker settles the final description, and the samples
// are converted into the sound it makes.
#pragma once

#include "framework/io/object_rw.h"

// `reader`'s option 2 is cleared for the nested plain read and restored on every path; the
// arguments after the reader are those of IObjectRW::ReadStream (`maker` answers ISoundCreate;
// it keeps the file's format, length and rate as properties 2, 3 and 4). The failure of the
// nested read, of the maker or of the conversion, with every temporary released.
OmResult OmWaveConvert(IObjectRW* reader, IByteStream* stream, const char* extension,
                       IUnknown* maker, const GUID& iid, void** out);
