// The sound files of the demo set: every sample of sound/sounds.ini and every file of
// music.ini, synthesised by seeded code (tools/demodata/sound_synth.h).
#pragma once

#include "tools/demodata/output_tree.h"

namespace demodata {

// Writes every synthesised sample, music loop, the MIDI tune and the CD track. Fails when
// sounds.ini or music.ini names a file that is neither made here nor supplied by the source
// tree.
bool write_demo_sounds(OutputTree& out);

} // namespace demodata
