// Making the archives an Archiver hands out.
#pragma once

#include "framework/io/archiver.h"

// A new archive on the stream in one direction, text or binary, holding a reference on its
// owner and on the stream. OM_E_OUTOFMEMORY.
OmResult OmNewArchive(IArchiver* owner, uint32_t mode, bool text, IByteStream* stream,
                      IArchive** out);
