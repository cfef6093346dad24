// Fuzzes the engine's BMP reader: the bytes are a BMP file, opened through the engine's file
// functions under a name the harness serves from memory (so the reader runs exactly as on a
// file from disk), read into an image the rest of the engine must be able to work on, which is
// then resampled as the texture reader does (up to a million pixels) and destroyed.
//
// Input: the file's bytes.
#include "fuzz/model_harness.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kInputName = "fuzz-input.bmp";
constexpr int64_t kLargestResampled = int64_t{1} << 20; // pixels

const uint8_t* inputData = nullptr;
size_t inputSize = 0;
void* (*diskOpen)(const char* path, const char* mode) = nullptr;

void* open_input(const char* path, const char* mode) {
    if (path != nullptr && std::strcmp(path, kInputName) == 0)
        return fmemopen(const_cast<uint8_t*>(inputData), inputSize, mode);
    return diskOpen(path, mode);
}

void check_image(const LgImage* image) {
    const int32_t depth = LgImageGetDepth(image);
    fuzzing::require(depth == 4 || depth == 8 || depth == 32, "images have a usable depth");
    fuzzing::require(image->width > 0 && image->height > 0, "images have pixels");
    fuzzing::require(image->stride == LgImageStrideFor(image->width, depth),
                     "rows are as long as the depth says");
    fuzzing::require(image->pixels != nullptr, "pixels are allocated");
    fuzzing::require((depth == 32) == (image->palette == nullptr),
                     "palettised images, and only they, have a palette");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    LgTexDictionary* dictionary = fuzzing::start_model_engine();
    if (diskOpen == nullptr) {
        diskOpen = LgEngineInstancePtr->fileFunctions.open;
        LgEngineInstancePtr->fileFunctions.open = open_input;
    }
    // An empty file cannot be served from memory; the reader's short reads are covered by
    // every cut-off input anyway.
    if (size == 0) return 0;
    fuzzing::ModelRunBalanced balanced(dictionary);
    inputData = data;
    inputSize = size;
    LgImage* image = LgImageReadBMP(kInputName);
    if (image == nullptr) return 0;
    check_image(image);
    // Large images (the reader takes up to 256 MB) would only slow the search down here.
    if (int64_t{image->width} * image->height <= kLargestResampled) {
        LgImage* small = LgImageCreateResampled(image, 3, 2);
        fuzzing::require(small != nullptr, "a read image resamples");
        LgImageDestroy(small);
    }
    LgImageDestroy(image);
    return 0;
}
