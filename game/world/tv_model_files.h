// Reading the models and shadow textures that object kinds name in their INI files: the image
// search path set for a load and put back after it, clump files with their error-log lines, and
// shadow textures found in the current dictionary or read once.
#pragma once

#include "engine/core/lg_texture.h"
#include "engine/world/lg_clump.h"

#include <string>

// Sets the engine's image search path and puts the previous one back when it goes.
class TvImagePath {
public:
    explicit TvImagePath(const char* path);
    ~TvImagePath();
    TvImagePath(const TvImagePath&) = delete;
    TvImagePath& operator=(const TvImagePath&) = delete;

private:
    std::string saved_;
};

// The clump of a model file, or null with an error-log line under the caller's source name and
// line ("Couldn't open clump file", "Was not a clump file" or "Clump file corrupt.").
LgClump* TvReadClump(const char* source, int line, const std::string& path);

// The shadow texture of that name (one reference added): the current dictionary's, or read with
// the image path set to the folder, renamed to its upper-case base name and filtered; null when
// it cannot be read.
LgTexture* TvLoadShadowTexture(const char* name, const char* folder);
