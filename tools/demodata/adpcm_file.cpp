// Runs the framework for the length of one write: a plain sound is filled with the samples
// and handed to Win32Adpcm, which writes into a memory stream.
#include "tools/demodata/adpcm_file.h"

#include "framework/core/com_ref.h"
#include "framework/core/framework_startup.h"
#include "framework/core/object_manager.h"
#include "framework/io/memory_stream.h"
#include "framework/io/object_rw.h"
#include "program/module_groups.h"
#include "sound/base/base_sound_create.h"
#include "sound/base/sound_format.h"
#include "sound/base/sound_params.h"
#include "sound/files/win32_adpcm.h"

#include <cstring>

namespace demodata {
namespace {

// The framework started for one scope and shut down again.
struct FrameworkRun {
    OmResult started = OmStartup();
    ~FrameworkRun() { OmShutdown(); }
};

OmResult write_adpcm(const SynthSound& sound, std::vector<uint8_t>& out) {
    IObjectManager* manager = OmGetObjectManager();
    OmRegisterContainerModules(manager);
    OmRegisterStorageModules(manager);
    OmRegisterSystemModules(manager);
    OmRegisterSoundModules(manager);

    ComRef<ISoundCreate> maker;
    OmResult r = OmCreate(CLSID_BaseSoundCreate, IID_ISoundCreate, maker.put());
    if (r < 0) return r;
    maker->SetProperty(MAKER_FORMAT,
                       sound.channels == 2 ? SOUND_FORMAT_STEREO16 : SOUND_FORMAT_MONO16);
    maker->SetProperty(MAKER_LENGTH, sound.frames());
    maker->SetProperty(MAKER_RATE, sound.rate);
    ComRef<ISound> plain;
    if ((r = maker->CreateSound(plain.put())) < 0) return r;
    void* memory = nullptr;
    if ((r = plain->Lock(1, &memory)) < 0) return r;
    std::memcpy(memory, sound.samples.data(), sound.samples.size() * sizeof(int16_t));
    plain->Unlock();

    ComRef<IObjectRW> writer;
    if ((r = OmCreate(CLSID_Win32Adpcm, IID_IObjectRW, writer.put())) < 0) return r;
    ComRef<IByteStream> stream;
    if ((r = OmNewMemoryStream(stream.put())) < 0) return r;
    if ((r = writer->WriteStream(stream.get(), "adpcm", plain.get())) < 0) return r;
    uint32_t end = 0;
    if ((r = stream->Seek(0, OM_SEEK_END, &end)) < 0) return r;
    stream->Seek(0, OM_SEEK_START, nullptr);
    out.assign(end, 0);
    return end ? stream->Read(out.data(), end, nullptr) : OM_S_OK;
}

} // namespace

bool adpcm_bytes(const SynthSound& sound, std::vector<uint8_t>& out, std::string& error) {
    FrameworkRun framework;
    if (framework.started < 0) {
        error = "the framework did not start";
        return false;
    }
    const OmResult r = write_adpcm(sound, out);
    if (r < 0) {
        char text[64];
        std::snprintf(text, sizeof(text), "the ADPCM writer failed (0x%08x)", unsigned(r));
        error = text;
        return false;
    }
    return true;
}

} // namespace demodata
