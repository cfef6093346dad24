// The small integer kinds by which sound, control and maker parameters are addressed.
#pragma once

#include <cstdint>

// ISound integer parameters (values are intptr_t: some carry pointers).
inline constexpr int32_t SOUND_INT_FRAME_BYTES = 1;    // read only
inline constexpr int32_t SOUND_INT_FORMAT = 2;         // read only
inline constexpr int32_t SOUND_INT_LENGTH = 3;         // read only, frames
inline constexpr int32_t SOUND_INT_FREQUENCY = 4;      // Hz
inline constexpr int32_t SOUND_INT_PRIORITY = 5;       // higher wins
inline constexpr int32_t SOUND_INT_3D = 6;             // read only
inline constexpr int32_t SOUND_INT_CURSOR = 7;         // read only
inline constexpr int32_t SOUND_INT_PAUSED = 8;         // read only
inline constexpr int32_t SOUND_INT_PROPERTY1 = 9;      // read only: maker property 1
inline constexpr int32_t SOUND_INT_PROPERTY10 = 10;    // read only: maker property 10
inline constexpr int32_t SOUND_INT_OWNER = 11;         // pointer: the owning control or device
inline constexpr int32_t SOUND_INT_SOURCE = 12;        // pointer: the sound to wrap or make from
inline constexpr int32_t SOUND_INT_TIME_STEP = 14;     // elapsed milliseconds
inline constexpr int32_t SOUND_INT_LOADED = 15;        // the sound set has finished loading
inline constexpr int32_t SOUND_INT_LOOP_CONTROL = 16;  // 1 always, -1 never, 0 play flags
inline constexpr int32_t SOUND_INT_FUNCTION_DESC = 18; // pointer: function description
inline constexpr int32_t SOUND_INT_META_DESC = 19;     // pointer: meta description

// ISound real parameters.
inline constexpr int32_t SOUND_REAL_VOLUME = 1;
inline constexpr int32_t SOUND_REAL_OVERALL_VOLUME = 2;
inline constexpr int32_t SOUND_REAL_PAN = 3;
inline constexpr int32_t SOUND_REAL_MIN_RADIUS = 4;
inline constexpr int32_t SOUND_REAL_MAX_RADIUS = 5;
inline constexpr int32_t SOUND_REAL_INNER_CONE_ANGLE = 6;
inline constexpr int32_t SOUND_REAL_OUTER_CONE_ANGLE = 7;
inline constexpr int32_t SOUND_REAL_OUTER_CONE_VOLUME = 8;
inline constexpr int32_t SOUND_REAL_PARAM1 = 9; // 9..12: Param1..Param4
inline constexpr int32_t SOUND_REAL_PARAM2 = 10;
inline constexpr int32_t SOUND_REAL_PARAM3 = 11;
inline constexpr int32_t SOUND_REAL_PARAM4 = 12;

// ISoundControl integer parameters.
inline constexpr int32_t CONTROL_INT_VOICES = 1; // device: number of voices; limits
inline constexpr int32_t CONTROL_INT_LIMITER_ENABLE = 2;
inline constexpr int32_t CONTROL_INT_ADD_MEMBER = 0x100; // pointer: a member control
inline constexpr int32_t CONTROL_INT_MEMBER = 0x101;     // pointer

// ISoundControl real parameters.
inline constexpr int32_t CONTROL_REAL_VOLUME = 0; // device: master volume
inline constexpr int32_t CONTROL_REAL_ROLLOFF = 1;
inline constexpr int32_t CONTROL_REAL_DOPPLER = 2;
inline constexpr int32_t CONTROL_REAL_DISTANCE = 3;
inline constexpr int32_t CONTROL_REAL_LIMITER_MAX = 4;

// ISoundControl object lists.
inline constexpr int32_t CONTROL_LIST_ATTACHED = 0; // every object made or attached, no reference
inline constexpr int32_t CONTROL_LIST_ACTIVE = 1;   // the sounds that play, referenced

// ISoundControl::Init flags.
inline constexpr uint32_t CONTROL_INIT_EXCLUSIVE = 0x1;      // device: exclusive cooperative level
inline constexpr uint32_t CONTROL_INIT_3D = 0x2;             // device: 3D listener
inline constexpr uint32_t CONTROL_INIT_FORWARD_UPDATE = 0x4; // controls: Update reaches the parent

// ISound::Play flags.
inline constexpr int32_t SOUND_PLAY_LOOP = 0x1;

// ISound::CreateInstance flags.
inline constexpr uint32_t SOUND_INSTANCE_SHARE = 0x1;

// ISoundCreate properties (values are intptr_t: 11 and 13 carry pointers).
inline constexpr int32_t MAKER_PROPERTY1 = 1;
inline constexpr int32_t MAKER_FORMAT = 2;
inline constexpr int32_t MAKER_LENGTH = 3;
inline constexpr int32_t MAKER_RATE = 4;
inline constexpr int32_t MAKER_PRIORITY = 5;
inline constexpr int32_t MAKER_3D = 6;
inline constexpr int32_t MAKER_CURSOR = 7;
// Volumes: set and read as floats with Set/GetPropertyReal; GetProperty gives thousandths.
inline constexpr int32_t MAKER_VOLUME = 8;
inline constexpr int32_t MAKER_OVERALL_VOLUME = 9;
inline constexpr int32_t MAKER_PROPERTY10 = 10;
inline constexpr int32_t MAKER_CONTROL = 11; // pointer: wrapping makers' control
inline constexpr int32_t MAKER_INNER = 13;   // pointer: wrapping makers' inner maker

// A device sound's CreateInstance without SOUND_INSTANCE_SHARE: its samples are not copied.
inline constexpr int32_t SOUND_E_NOT_SHARED = int32_t(0x80050105u);
