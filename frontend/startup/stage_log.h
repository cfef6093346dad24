// The stage log of whole-program benchmark runs: the wall-clock microseconds of every profiler
// stage of every mission frame, whatever clock the game runs on (the profiler reads the
// platform counter, which stands still on the virtual clock). Set by the test hook
// CORVEL_STAGE_LOG=FILE; the file gets one "frame stage microseconds" line per stage.
#pragma once

#include <string>

struct IProfile;

// Starts logging when `path` is not empty.
void TvStartStageLog(const std::string& path);
// A mission frame begins; the stages that follow are timed from here.
void TvStageLogBeginFrame();
// The time since the frame began or the last mark goes to `stage`.
void TvStageLogMark(const char* stage);
// The profiler to give the game: while logging, one that passes every sample to `real` and
// marks the stage log too, so the game's own stages ("Object Update", "World Render", ...)
// are logged between the mission loop's; otherwise `real` itself.
IProfile* TvStageLogProfiler(IProfile* real);
// Writes the log and stops.
void TvFinishStageLog();
