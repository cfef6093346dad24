// Test hooks read from the environment at program start: they make end-to-end runs of the
// program deterministic and are not features of the game.
//   CORVEL_AUDIO_CAPTURE    a WAV file: the sound is mixed at every shown frame up to the
//                           clock's time and written there (platform/audio/capture.h) in
//                           place of an audio device
//   CORVEL_PROGRAM_DIR      the program directory (data, settings and logs) in place of the
//                           executable's own
//   CORVEL_HEADLESS         no display and no audio device (read by the platform layer)
//   CORVEL_VIRTUAL_CLOCK    "1": time moves only as frames are shown and the program sleeps
//   CORVEL_INPUT_PLAYBACK   an input recording the input component plays back in place of
//                           the devices
//   CORVEL_FRAME_SHOTS      a directory for the frames shown (frame_shots.h); with
//   CORVEL_FRAME_SHOT_AT    a comma-separated list of frame numbers to keep besides the last
//   CORVEL_STAGE_LOG        a file for the wall-clock time of every mission frame's stages
//                           (stage_log.h)
//   CORVEL_MASTER_LIST_HOLES  a number of empty entries added to the game's master object
//                           list after each mission is created (master_list_holes.h)
//   CORVEL_KEY_SCRIPT       a file of key events given to the program as typed keys after
//                           given frames ("FRAME down|up KEY" lines, platform/window/key_script.h)
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TvTestHooks {
    std::string audio_capture;
    std::string program_dir;
    bool virtual_clock = false;
    std::string input_playback;
    std::string frame_shots;
    std::vector<uint64_t> frame_shot_at;
    std::string key_script;
    int32_t master_list_holes = 0;
};

// Reads the hooks and applies those the platform layer serves (program directory, clock) and
// starts the frame shots.
void TvApplyTestHooks();
// The hooks read by the last TvApplyTestHooks.
const TvTestHooks& TvGetTestHooks();
