// Win32Dx7DirectMusic: opens the performance, the loader and the segment named by
// "cpFilename", sets the port's reverb, and plays, pauses and stops the segment.
#include "sound/music/win32_dx7_direct_music.h"

#include "framework/containers/com_hash.h"
#include "framework/core/com_ref.h"
#include "framework/core/component.h"
#include "framework/core/object_manager.h"
#include "framework/core/portable_path.h"
#include "framework/platform/os_service.h"
#include "platform/audio/direct_music.h"
#include "sound/music/music_direct_sound.h"

#include <algorithm>
#include <cmath>
#include <string>

int32_t OmDirectMusicMasterVolume(float level) {
    double volume = -100.0 * std::pow(10.0, 2.0 * (1.0 - double(level)));
    return int32_t(std::clamp(volume, -10000.0, 0.0));
}

namespace {

constexpr uint32_t channel_blocks = 4;

std::wstring widen(const std::string& text) {
    // Paths here are ASCII or UTF-8; bytes beyond ASCII are decoded.
    std::wstring out;
    for (size_t i = 0; i < text.size();) {
        uint32_t c = static_cast<unsigned char>(text[i]);
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        if (extra) c &= (0x3F >> extra);
        ++i;
        for (int k = 0; k < extra && i < text.size(); ++k, ++i)
            c = (c << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
        out += wchar_t(c);
    }
    return out;
}

class Win32Dx7DirectMusic final : public OmObject<Win32Dx7DirectMusic, IMusic, IMusicTempo> {
public:
    OmResult init() {
        os_acquired_ = OmOSAcquire() >= 0;
        return OM_S_OK;
    }

    ~Win32Dx7DirectMusic() {
        if (initialised_) performance_->Stop(nullptr, nullptr, 0, 0);
        close();
        if (os_acquired_) OmOSRelease();
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out,
                                  {{&IID_IMusic, static_cast<IMusic*>(this)},
                                   {&IID_IMusicTempo, static_cast<IMusicTempo*>(this)}});
    }

    // --- IMusic ---

    OmResult Init(IUnknown* object) override {
        if (initialised_) return OM_S_OK;
        ComRef<IObjHash> settings;
        if (object) object->QueryInterface(IID_IObjHash, settings.put_void());
        OmResult r = open(settings.get());
        if (r < 0) {
            close();
            return r;
        }
        const char* name = settings ? settings->GetString("cpFilename", nullptr) : nullptr;
        if (!name) {
            close();
            return OM_E_FAIL;
        }
        if ((r = load(name)) < 0 || (r = set_reverb(settings.get())) < 0) {
            close();
            return r;
        }
        initialised_ = true;
        return OM_S_OK;
    }

    OmResult Play(uint32_t flags) override {
        if (!initialised_) return OM_E_FAIL;
        // Without a kept pause time the segment plays from its beginning.
        MUSIC_TIME start = 0;
        if (pause_time_ != 0) performance_->ReferenceToMusicTime(pause_time_, &start);
        segment_->SetStartPoint(start);
        segment_->SetRepeats((flags & 1) ? DMUSIC_LOOP_REPEATS : 0);
        OmResult r = performance_->PlaySegment(segment_.get(), DMUS_SEGF_REFTIME, 0, nullptr);
        pause_time_ = 0;
        return r;
    }

    OmResult Pause() override {
        if (!initialised_) return OM_E_FAIL;
        performance_->GetTime(&pause_time_, nullptr);
        return performance_->Stop(nullptr, nullptr, 0, 0);
    }

    OmResult Stop() override {
        if (!initialised_) return OM_E_FAIL;
        pause_time_ = 0;
        return performance_->Stop(nullptr, nullptr, 0, 0);
    }

    OmResult Eject() override { return Stop(); }
    int32_t GetCount() override { return 1; }
    OmResult Select(int32_t entry) override {
        pause_time_ = 0;
        return entry == 0 ? OM_S_OK : OM_E_FAIL;
    }
    int32_t GetSelection() override { return 0; }
    OmResult GetStatus(uint32_t*) override { return OM_E_FAIL; }
    int32_t GetLength() override { return 0; }
    OmResult SetPosition(int32_t) override { return OM_E_FAIL; }
    int32_t GetPosition() override { return 0; }

    OmResult SetVolume(float level) override {
        volume_ = level;
        if (!performance_) return OM_S_OK;
        int32_t master = OmDirectMusicMasterVolume(level);
        return performance_->SetGlobalParam(GUID_PerfMasterVolume, &master, sizeof master);
    }
    float GetVolume() override { return volume_; }

    // --- IMusicTempo ---

    OmResult SetGrooveLevel(int8_t level) override {
        if (!initialised_) return OM_E_FAIL;
        return performance_->SetGlobalParam(GUID_PerfMasterGrooveLevel, &level, 1);
    }
    int8_t GetGrooveLevel() override {
        int8_t level = 0;
        if (!initialised_ ||
            performance_->GetGlobalParam(GUID_PerfMasterGrooveLevel, &level, 1) < 0)
            return 0;
        return level;
    }
    OmResult SetTempo(float factor) override {
        if (!initialised_) return OM_E_FAIL;
        return performance_->SetGlobalParam(GUID_PerfMasterTempo, &factor, sizeof factor);
    }
    float GetTempo() override {
        float factor = 1.0f;
        if (!initialised_ ||
            performance_->GetGlobalParam(GUID_PerfMasterTempo, &factor, sizeof factor) < 0)
            return 1.0f;
        return factor;
    }

private:
    // The performance on the program's DirectSound object, the loader, the default port with
    // channel groups 1 to 4.
    OmResult open(IObjHash* settings) {
        ComRef<IDirectSound> direct_sound;
        OmResult r = OmMusicDirectSound(settings, direct_sound);
        if (r < 0) return r;
        if ((r = DirectMusicCreateInstance(CLSID_DirectMusicPerformance,
                                           IID_IDirectMusicPerformance, performance_.put_void())) <
            0)
            return r;
        if ((r = DirectMusicCreateInstance(CLSID_DirectMusicLoader, IID_IDirectMusicLoader,
                                           loader_.put_void())) < 0)
            return r;
        ComRef<IOmWindow> window;
        OmCreate(CLSID_Win32OS, IID_IOmWindow, window.put());
        void* handle = window ? static_cast<void*>(window->GetHandle()) : nullptr;
        if ((r = performance_->Init(nullptr, direct_sound.get(), handle)) < 0) return r;
        performance_open_ = true;
        uint32_t download = 1;
        if ((r = performance_->SetGlobalParam(GUID_PerfAutoDownload, &download, sizeof download)) <
            0)
            return r;
        if ((r = performance_->AddPort(nullptr)) < 0) return r;
        if ((r = performance_->PChannelInfo(0, port_.put(), nullptr, nullptr)) < 0) return r;
        for (uint32_t block = 0; block < channel_blocks; ++block)
            if ((r = performance_->AssignPChannelBlock(block, port_.get(), block + 1)) < 0)
                return r;
        return OM_S_OK;
    }

    // The segment from the program directory joined with the name (unless it is absolute).
    OmResult load(const char* name) {
        std::string path;
        if (name[0] == '/') {
            path = name;
        } else {
            char directory[OM_MAX_PATH];
            if (OmOSGetAppPath(directory, sizeof directory) < 0) return OM_E_FAIL;
            path = std::string(directory) + name;
        }
        if (path.size() >= OM_MAX_PATH) return OM_E_FAIL;
        size_t slash = path.rfind('/');
        std::string directory = slash == std::string::npos ? "" : path.substr(0, slash);
        std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
        OmResult r =
            loader_->SetSearchDirectory(GUID_DirectMusicAllTypes, widen(directory).c_str(), 0);
        if (r < 0) return r;
        DMUS_OBJECTDESC desc{};
        desc.dwSize = sizeof desc;
        desc.dwValidData = DMUS_OBJ_CLASS | DMUS_OBJ_FILENAME;
        desc.guidClass = CLSID_DirectMusicSegment;
        std::wstring wide = widen(file);
        if (wide.size() >= std::size(desc.wszFileName)) return OM_E_FAIL;
        std::copy(wide.begin(), wide.end(), desc.wszFileName);
        return loader_->GetObject(&desc, IID_IDirectMusicSegment, segment_.put_void());
    }

    // "nReverb" switches the port's reverb; the reverb record comes from the settings.
    OmResult set_reverb(IObjHash* settings) {
        ComRef<IKsControl> control;
        OmResult r = port_->QueryInterface(IID_IKsControl, control.put_void());
        if (r < 0) return r;
        KSPROPERTY property{GUID_DMUS_PROP_Effects, 0, KSPROPERTY_TYPE_GET};
        uint32_t effects = 0, returned = 0;
        if ((r = control->KsProperty(&property, sizeof property, &effects, sizeof effects,
                                     &returned)) < 0)
            return r;
        if (settings->GetInt("nReverb", 0) != 0)
            effects |= DMUS_EFFECT_REVERB;
        else
            effects &= ~DMUS_EFFECT_REVERB;
        property.Flags = KSPROPERTY_TYPE_SET;
        if ((r = control->KsProperty(&property, sizeof property, &effects, sizeof effects,
                                     &returned)) < 0)
            return r;
        DMUS_WAVES_REVERB_PARAMS reverb{
            settings->GetReal("rInGain", DMUSIC_DEFAULT_IN_GAIN),
            settings->GetReal("rReverbMix", DMUSIC_DEFAULT_REVERB_MIX),
            settings->GetReal("rReverbTime", DMUSIC_DEFAULT_REVERB_TIME),
            settings->GetReal("rHighFreqRTRatio", DMUSIC_DEFAULT_HIGH_FREQ_RT_RATIO)};
        property.Set = GUID_DMUS_PROP_WavesReverb;
        return control->KsProperty(&property, sizeof property, &reverb, sizeof reverb, &returned);
    }

    void close() {
        if (performance_ && performance_open_) performance_->CloseDown();
        performance_open_ = false;
        segment_.reset();
        port_.reset();
        loader_.reset();
        performance_.reset();
        initialised_ = false;
    }

    ComRef<IDirectMusicPerformance> performance_;
    ComRef<IDirectMusicLoader> loader_;
    ComRef<IDirectMusicSegment> segment_;
    ComRef<IDirectMusicPort> port_;
    REFERENCE_TIME pause_time_ = 0;
    float volume_ = 1.0f;
    bool initialised_ = false;
    bool performance_open_ = false;
    bool os_acquired_ = false;
};

const OmClassRecord classes[] = {{&CLSID_Win32Dx7DirectMusic, nullptr, nullptr,
                                  OmCreateComponent<Win32Dx7DirectMusic>, "Win32Dx7DirectMusic"}};

} // namespace

OM_DEFINE_MODULE(Win32Dx7DirectMusic, classes)
