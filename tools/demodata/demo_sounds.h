// The sound files the sound set and the music list name: short silent WAVs until real sounds
// are made for them.
#pragma once

#include "tools/demodata/output_tree.h"

namespace demodata {

// For every sound of sound/sounds.ini that a device channel reads (its "Sample", else its
// name) and every "filename" of music.ini, writes a silent WAV there unless the source tree
// already supplied the file.
bool write_silent_sounds(OutputTree& out);

} // namespace demodata
