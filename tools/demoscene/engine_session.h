// The engine brought up the way the game's video start-up does it, over a started framework:
// init with the framework's memory functions, the random and world plug-ins, the Direct3D
// driver opened on a window with the BMP reader registered, a sub-system and a video mode
// chosen, started; and taken down again in reverse order.
#pragma once

#include <cstdint>
#include <string>

namespace demoscene {

struct SessionConfig {
    void* window = nullptr; // the window handle the engine opens on
    int32_t width = 640;
    int32_t height = 480;
    int32_t depth = 16;
    bool fullScreen = true;
};

class EngineSession {
public:
    EngineSession() = default;
    ~EngineSession() { end(); }
    EngineSession(const EngineSession&) = delete;
    EngineSession& operator=(const EngineSession&) = delete;

    // Brings the engine up; false (with error() saying which step failed) leaves nothing
    // behind. The framework must have been started.
    bool begin(const SessionConfig& config);
    // Stops, closes and terminates whatever begin brought up; safe to call twice.
    void end();

    bool started() const { return stage_ == Stage::Started; }
    // The chosen sub-system's name and video mode index.
    const std::string& subsystem() const { return subsystem_; }
    int32_t mode() const { return mode_; }
    const std::string& error() const { return error_; }
    // The handle word the engine was opened with (the show calls take its value).
    void* window() const { return reinterpret_cast<void*>(windowWord_); }

private:
    bool fail(const std::string& step);

    enum class Stage { None, Initialised, Opened, Started };
    Stage stage_ = Stage::None;
    uintptr_t windowWord_ = 0;
    std::string subsystem_;
    int32_t mode_ = -1;
    std::string error_;
};

} // namespace demoscene
