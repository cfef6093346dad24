// The stage log of whole-program benchmark runs: the wall-clock microseconds of every profiler
// stage of every mission frame, whatever clock the game runs on (the profiler reads the
// platform counter, which stands still on the virtual clock). Set by the test hook
// CORVEL_STAGE_LOG=FILE; the file gets one "frame stage microseconds" line per stage.
#pragma once

#include <string>

// Starts logging when `path` is not empty.
void TvStartStageLog(const std::string& path);
// A mission frame begins; the stages that follow are timed from here.
void TvStageLogBeginFrame();
// The time since the frame began or the last mark goes to `stage`.
void TvStageLogMark(const char* stage);
// Writes the log and stops.
void TvFinishStageLog();
