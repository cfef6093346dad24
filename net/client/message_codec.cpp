// Direction, position, player-info and plane-state encodings over the packet's bit fields.
#include "net/client/message_codec.h"

#include <cmath>
#include <cstring>

namespace {

bool writing(IBinaryStreamComposer* packet) {
    return packet->GetMode() == OM_COMPOSER_WRITE;
}

// A float to an integer the way a 32-bit conversion would, without undefined behaviour for
// values out of range (NaN gives 0).
int32_t to_int(float v) {
    if (!(v == v)) return 0;
    if (v >= 2147483647.0f) return INT32_MAX;
    if (v <= -2147483648.0f) return INT32_MIN;
    return int32_t(v);
}

void normalise(float* v) {
    float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (length <= 0.0f || !(length == length)) return;
    for (int i = 0; i < 3; ++i) v[i] /= length;
}

// The field kinds the record uses, each stopping at the first failure.
struct FieldRun {
    IBinaryStreamComposer* packet;
    OmResult result = OM_S_OK;
    void field(int32_t kind, uint32_t bits, void* at) {
        if (result >= 0) result = packet->Field(kind, bits, at);
    }
};

// Reads a 32-byte text and keeps it terminated; writes it zero-filled after its terminator,
// so a payload never carries stale bytes from behind a shorter text.
void text_field(FieldRun& run, char* text, bool write) {
    if (write) {
        char copy[32] = {};
        std::memcpy(copy, text, strnlen(text, sizeof copy));
        run.field(OM_FIELD_BYTES, 256, copy);
    } else {
        run.field(OM_FIELD_BYTES, 256, text);
        text[31] = 0;
    }
}

} // namespace

OmResult TvSerializeDirection(IBinaryStreamComposer* packet, float* vector) {
    if (!packet || !vector) return OM_E_FAIL;
    OmResult result = OM_S_OK;
    if (writing(packet)) {
        float v[3] = {vector[0], vector[1], vector[2]};
        normalise(v);
        for (float c : v) {
            uint8_t byte = uint8_t(to_int(c * 127.0f));
            if (result >= 0) result = packet->Field(OM_FIELD_BITS, 8, &byte);
        }
        return result;
    }
    for (int i = 0; i < 3; ++i) {
        uint8_t byte = 0;
        if (result >= 0) result = packet->Field(OM_FIELD_BITS, 8, &byte);
        vector[i] = float(int8_t(byte));
    }
    normalise(vector);
    return result;
}

OmResult TvSerializePosition(IBinaryStreamComposer* packet, float* vector) {
    if (!packet || !vector) return OM_E_FAIL;
    OmResult result = OM_S_OK;
    bool write = writing(packet);
    for (int i = 0; i < 3; ++i) {
        uint32_t bits = write ? uint32_t(to_int(vector[i] * 256.0f)) : 0;
        uint8_t bytes[4];
        std::memcpy(bytes, &bits, 4);
        if (result >= 0) result = packet->Field(OM_FIELD_BITS, 24, bytes);
        if (!write) {
            std::memcpy(&bits, bytes, 4);
            vector[i] = float(int32_t(bits)) / 256.0f;
        }
    }
    return result;
}

OmResult TvSerializePlayerInfo(IBinaryStreamComposer* packet, TvPlayerInfo* record, uint32_t mask) {
    if (!packet || !record) return OM_E_FAIL;
    bool write = writing(packet);
    FieldRun run{packet};
    if (mask & TV_INFO_NAMES) {
        text_field(run, record->name, write);
        text_field(run, record->planeId, write);
    }
    if (mask & TV_INFO_STATUS) {
        run.field(OM_FIELD_INTEGER, 32, &record->status);
        run.field(OM_FIELD_INTEGER, 32, &record->sideFlags);
        run.field(OM_FIELD_INTEGER, 32, &record->word);
        run.field(OM_FIELD_INTEGER, 32, &record->kills);
    }
    if (mask & TV_INFO_MATRIX) run.field(OM_FIELD_BITS, 512, record->matrix);
    if (mask & TV_INFO_SETTINGS) {
        for (int32_t& s : record->settings) run.field(OM_FIELD_INTEGER, 32, &s);
    }
    if (mask & TV_INFO_EXTRA) {
        for (int32_t& e : record->extra) run.field(OM_FIELD_INTEGER, 32, &e);
    }
    return run.result;
}

OmResult TvSerializePlaneState(IBinaryStreamComposer* packet, TvPlaneState* record,
                               uint32_t* slot) {
    if (!packet || !record || !slot) return OM_E_FAIL;
    if (!writing(packet)) {
        *slot = 0;
        record->flag = 0;
        record->value = 0;
    }
    packet->Field(OM_FIELD_INTEGER, 5, slot);
    TvSerializePosition(packet, record->position);
    TvSerializeDirection(packet, record->direction);
    packet->Float(&record->speed);
    packet->Field(OM_FIELD_BIT, 1, &record->flag);
    packet->Field(OM_FIELD_INTEGER, 4, &record->value);
    return OM_S_OK;
}
