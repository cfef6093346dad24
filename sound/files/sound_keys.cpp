// Reading and applying the sound keys of sound descriptions.
#include "sound/files/sound_keys.h"

#include "framework/core/text_fields.h"
#include "framework/core/text_parse.h"
#include "framework/platform/debug_message.h"
#include "sound/base/sound_format.h"

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <string>
#include <strings.h>

namespace {

struct Choice {
    const char* word;
    int32_t value;
};

constexpr Choice format_choices[] = {{"MONO16", int32_t(SOUND_FORMAT_MONO16)},
                                     {"STEREO16", int32_t(SOUND_FORMAT_STEREO16)},
                                     {"MONO8", int32_t(SOUND_FORMAT_MONO8)},
                                     {"STEREO8", int32_t(SOUND_FORMAT_STEREO8)}};
constexpr Choice frequency_choices[] = {{"44khz", 44100}, {"22khz", 22050}, {"11khz", 11025}};
constexpr Choice loop_choices[] = {{"Always", 1}, {"Never", -1}, {"Default", 0}};

// The key's value into `buffer`; fails when absent or longer than the buffer.
template <uint32_t N>
bool read_text(IPropertySheet* sheet, const char* key, char (&buffer)[N]) {
    return OmReadSoundKeyText(sheet, key, buffer, N) >= 0;
}

// The "C" locale, made once for the process.
locale_t c_locale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t(0));
    return locale;
}

template <size_t N>
bool find_choice(const char* text, const Choice (&choices)[N], int32_t* out) {
    for (const Choice& c : choices) {
        if (strcasecmp(text, c.word) == 0) {
            *out = c.value;
            return true;
        }
    }
    return false;
}

void report_invalid(const char* key, const char* value) {
    OmSetMessageParameter("{key}", key);
    OmSetMessageParameter("{value}", value);
    OmReportMessage(OM_SEVERITY_WARNING, "Key '{key}' is not set to a valid value '{value}'");
}

template <size_t N>
OmResult read_reported_choice(IPropertySheet* sheet, const char* key, const Choice (&choices)[N],
                              int32_t* out) {
    char text[SOUND_KEY_WORD_SIZE];
    if (!read_text(sheet, key, text)) return OM_E_FAIL;
    if (find_choice(text, choices, out)) return OM_S_OK;
    report_invalid(key, text);
    return OM_E_FAIL;
}

void cross(const float* a, const float* b, float* out) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

void apply_real(IPropertySheet* sheet, const char* key, ISound* sound, int32_t kind) {
    float value;
    if (OmReadSoundKeyReal(sheet, key, &value) >= 0) sound->SetParamReal(kind, value);
}

} // namespace

float OmParseSoundReal(const char* text) {
    if (!text) return 0.0f;
    const locale_t locale = c_locale();
    return float(locale ? strtod_l(text, nullptr, locale) : std::strtod(text, nullptr));
}

OmResult OmReadSoundKeyText(IPropertySheet* sheet, const char* key, char* buffer, uint32_t size) {
    if (!sheet || !key || !buffer || size == 0 || sheet->GetStringLength(key) == 0)
        return OM_E_FAIL;
    return sheet->GetString(key, buffer, size) >= 0 ? OM_S_OK : OM_E_FAIL;
}

OmResult OmReadSoundKeyReal(IPropertySheet* sheet, const char* key, float* out, uint32_t size) {
    std::string text(size ? size : 1, '\0');
    if (!out || OmReadSoundKeyText(sheet, key, text.data(), size) < 0) return OM_E_FAIL;
    *out = OmParseSoundReal(text.c_str());
    return OM_S_OK;
}

OmResult OmReadSoundKeyInteger(IPropertySheet* sheet, const char* key, int32_t* out) {
    char text[SOUND_KEY_NUMBER_SIZE];
    if (!out || !read_text(sheet, key, text)) return OM_E_FAIL;
    return OmParseInteger(text, out);
}

OmResult OmReadSoundKeyBool(IPropertySheet* sheet, const char* key, int32_t* out) {
    char text[SOUND_KEY_WORD_SIZE];
    if (!out || !read_text(sheet, key, text)) return OM_E_FAIL;
    return OmParseBool(text, out);
}

OmResult OmReadSoundKeyFlag(IPropertySheet* sheet, const char* key, const char* word,
                            int32_t* out) {
    char text[SOUND_KEY_NUMBER_SIZE];
    if (!out || !word || !read_text(sheet, key, text)) return OM_E_FAIL;
    const uint32_t count = OmCountFields(text, '|');
    for (uint32_t i = 0; i < count; ++i) {
        char field[20];
        if (OmGetField(text, '|', i, field, sizeof field) >= 0 && std::strcmp(field, word) == 0) {
            *out = 1;
            return OM_S_OK;
        }
    }
    *out = 0;
    return OM_S_OK;
}

OmResult OmReadSoundKeyFormat(IPropertySheet* sheet, const char* key, uint32_t* out) {
    int32_t value = 0;
    if (!out) return OM_E_FAIL;
    OmResult r = read_reported_choice(sheet, key, format_choices, &value);
    if (r >= 0) *out = uint32_t(value);
    return r;
}

OmResult OmReadSoundKeyFrequency(IPropertySheet* sheet, const char* key, int32_t* out) {
    char text[SOUND_KEY_WORD_SIZE];
    if (!out || !read_text(sheet, key, text)) return OM_E_FAIL;
    if (!find_choice(text, frequency_choices, out)) *out = std::atoi(text);
    return OM_S_OK;
}

OmResult OmReadSoundKeyLoopControl(IPropertySheet* sheet, const char* key, int32_t* out) {
    if (!out) return OM_E_FAIL;
    return read_reported_choice(sheet, key, loop_choices, out);
}

OmResult OmReadSoundKeyVector(IPropertySheet* sheet, const char* key, float* out) {
    if (!out || !key) return OM_E_FAIL;
    float v[3];
    for (int i = 0; i < 3; ++i) {
        const std::string name = std::string(key) + char('X' + i);
        if (OmReadSoundKeyReal(sheet, name.c_str(), &v[i]) < 0) return OM_E_FAIL;
    }
    std::memcpy(out, v, sizeof v);
    return OM_S_OK;
}

OmResult OmApplySoundMakerKeys(IPropertySheet* sheet, ISoundCreate* maker, uint32_t* format_out) {
    if (format_out) *format_out = 0;
    if (!sheet || !maker) return OM_E_FAIL;
    int32_t flag;
    if (OmReadSoundKeyBool(sheet, "Priority", &flag) >= 0) maker->SetProperty(MAKER_PRIORITY, flag);
    if (OmReadSoundKeyBool(sheet, "3d", &flag) >= 0) maker->SetProperty(MAKER_3D, flag);
    if (OmReadSoundKeyBool(sheet, "Cursor", &flag) >= 0) maker->SetProperty(MAKER_CURSOR, flag);
    uint32_t format;
    if (OmReadSoundKeyFormat(sheet, "Format", &format) >= 0) {
        maker->SetProperty(MAKER_FORMAT, intptr_t(format));
        if (format_out) *format_out = format;
    }
    int32_t rate;
    if (OmReadSoundKeyFrequency(sheet, "Frequency", &rate) >= 0)
        maker->SetProperty(MAKER_RATE, rate);
    return OM_S_OK;
}

OmResult OmApplySoundKeys(IPropertySheet* sheet, ISound* sound) {
    if (!sheet || !sound) return OM_E_FAIL;
    int32_t flag;
    if (OmReadSoundKeyBool(sheet, "Priority", &flag) >= 0)
        sound->SetParamInt(SOUND_INT_PRIORITY, flag);
    if (OmReadSoundKeyBool(sheet, "3d", &flag) >= 0) sound->SetParamInt(SOUND_INT_3D, flag);
    apply_real(sheet, "Volume", sound, SOUND_REAL_VOLUME);
    apply_real(sheet, "Pan", sound, SOUND_REAL_PAN);
    apply_real(sheet, "OverallVolume", sound, SOUND_REAL_OVERALL_VOLUME);
    apply_real(sheet, "MinRadius", sound, SOUND_REAL_MIN_RADIUS);
    apply_real(sheet, "MaxRadius", sound, SOUND_REAL_MAX_RADIUS);
    apply_real(sheet, "InnerConeAngle", sound, SOUND_REAL_INNER_CONE_ANGLE);
    apply_real(sheet, "OuterConeAngle", sound, SOUND_REAL_OUTER_CONE_ANGLE);
    apply_real(sheet, "OuterConeVolume", sound, SOUND_REAL_OUTER_CONE_VOLUME);
    apply_real(sheet, "Param1", sound, SOUND_REAL_PARAM1);
    apply_real(sheet, "Param2", sound, SOUND_REAL_PARAM2);
    apply_real(sheet, "Param3", sound, SOUND_REAL_PARAM3);
    apply_real(sheet, "Param4", sound, SOUND_REAL_PARAM4);
    int32_t rate;
    if (OmReadSoundKeyFrequency(sheet, "Frequency", &rate) >= 0)
        sound->SetParamInt(SOUND_INT_FREQUENCY, rate);

    float frame[12] = {}, velocity[3] = {};
    sound->Get3D(frame, velocity);
    float at[3], up[3];
    if (OmReadSoundKeyVector(sheet, "At", at) >= 0 && OmReadSoundKeyVector(sheet, "Up", up) >= 0) {
        cross(up, at, frame);
        std::memcpy(frame + 3, up, sizeof up);
        std::memcpy(frame + 6, at, sizeof at);
    }
    OmReadSoundKeyVector(sheet, "Position", frame + 9);
    OmReadSoundKeyVector(sheet, "Velocity", velocity);
    sound->Set3D(frame, velocity);

    int32_t loop;
    if (OmReadSoundKeyLoopControl(sheet, "LoopControl", &loop) >= 0)
        sound->SetParamInt(SOUND_INT_LOOP_CONTROL, loop);
    return OM_S_OK;
}
