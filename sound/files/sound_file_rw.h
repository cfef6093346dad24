// SoundFileRW: the part the sample-file readers/writers share: the IObjectRW identity, and a
// stream read that goes through OmWaveConvert while option 2 is set and otherwise hands the
// caller's maker to the reader's plain read.
#pragma once

#include "framework/core/com_ref.h"
#include "framework/io/object_rw.h"
#include "sound/base/sound_create.h"
#include "sound/processing/wave_convert.h"

// Derived supplies read_plain(stream, maker, ComRef<ISound>& out): the file's samples at its
// own format, rate and length in a sound the maker makes.
template <class Derived>
class SoundFileRW : public ObjectRWBase<Derived> {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IObjectRW, this}});
    }

    OmResult ReadStream(IByteStream* stream, const char* extension, IUnknown* context,
                        const GUID& iid, void** out) override {
        if (!out) return OM_E_FAIL;
        *out = nullptr;
        if (this->options_[2]) return OmWaveConvert(this, stream, extension, context, iid, out);
        ComRef<ISoundCreate> maker;
        if (!stream || !context || context->QueryInterface(IID_ISoundCreate, maker.put_void()) < 0)
            return OM_E_FAIL;
        ComRef<ISound> sound;
        OmResult r = static_cast<Derived*>(this)->read_plain(stream, maker.get(), sound);
        if (r < 0) return r;
        return sound->QueryInterface(iid, out);
    }
};
