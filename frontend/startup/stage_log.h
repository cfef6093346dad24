// The stage log of whole-program benchmark runs: the wall-clock microseconds of every profiler
// stage of every mission frame, whatever clock the game runs on (the profiler reads the
// platform counter, which stands still on the virtual clock). Set by the test hook
// CORVEL_STAGE_LOG=FILE; the file gets one "frame stage microseconds" line per stage, and per
// frame the live objects and planes as "frame # live objects N" and "frame # live planes N"
// (counts, not times: the "#" keeps them apart from the stages).
#pragma once

#include <string>

struct IProfile;
struct ITvGame;

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
// The frame's live objects and, of them, live planes (the counts the game's update grows
// with). Called after the frame's last stage, so the counting is timed in none.
void TvStageLogCountLive(ITvGame* game);
// Writes the log and stops.
void TvFinishStageLog();
