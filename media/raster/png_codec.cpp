// Png: PNG reader and writer over libpng, with the framework's allocator and streams.
#include "media/raster/codec_support.h"
#include "media/raster/image_codecs.h"
#include "media/raster/raster_access.h"

#include <png.h>

#include <csetjmp>
#include <cstring>

namespace {

// What one read or write holds; libpng gets it as its I/O pointer, so it lives in memory that
// a longjmp out of the library leaves intact.
struct PngJob {
    IByteStream* stream;
    png_structp png;
    png_infop info;
    IRaster* raster;
    png_bytep* rows;
    bool locked;
};

png_voidp png_alloc(png_structp, png_alloc_size_t size) {
    return OmAllocMemory(size);
}
void png_release(png_structp, png_voidp block) {
    if (block) OmFreeMemory(block);
}
void png_fail(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void png_quiet(png_structp, png_const_charp) {}

void png_read_stream(png_structp png, png_bytep data, size_t length) {
    auto* job = static_cast<PngJob*>(png_get_io_ptr(png));
    if (length > 0xFFFFFFFFu || om_read_exact(job->stream, data, uint32_t(length)) < 0)
        png_error(png, "read");
}
void png_write_stream(png_structp png, png_bytep data, size_t length) {
    auto* job = static_cast<PngJob*>(png_get_io_ptr(png));
    uint32_t done = 0;
    if (length > 0xFFFFFFFFu || job->stream->Write(data, uint32_t(length), &done) < 0 ||
        done != length)
        png_error(png, "write");
}
void png_flush_stream(png_structp) {}

// Releases everything a job holds.
void finish(PngJob* job, bool reading) {
    if (job->rows) OmFreeMemory(job->rows);
    job->rows = nullptr;
    if (job->locked) job->raster->Unlock();
    job->locked = false;
    if (job->png) {
        if (reading)
            png_destroy_read_struct(&job->png, &job->info, nullptr);
        else
            png_destroy_write_struct(&job->png, &job->info);
    }
}

OmResult lock_rows(PngJob* job, uint32_t mode) {
    void* base;
    int32_t stride;
    OmResult r = job->raster->Lock(mode, &base, &stride);
    if (r < 0) return r;
    job->locked = true;
    uint32_t height = job->raster->GetHeight();
    job->rows = static_cast<png_bytep*>(OmAllocMemory(sizeof(png_bytep) * (height ? height : 1)));
    if (!job->rows) return OM_E_OUTOFMEMORY;
    for (uint32_t y = 0; y < height; ++y)
        job->rows[y] = static_cast<png_bytep>(base) + int64_t(y) * stride;
    return OM_S_OK;
}

// Sets up the transforms for the colour type; the decoded format, or 0 when refused.
uint32_t choose_transforms(png_structp png, png_infop info) {
    int type = png_get_color_type(png, info);
    int depth = png_get_bit_depth(png, info);
    png_set_strip_16(png);
    switch (type) {
    case PNG_COLOR_TYPE_RGB:
        png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
        png_set_bgr(png);
        return OM_FORMAT_ARGB8888;
    case PNG_COLOR_TYPE_PALETTE:
        if (png_get_valid(png, info, PNG_INFO_tRNS)) {
            png_set_palette_to_rgb(png);
            png_set_tRNS_to_alpha(png);
            png_set_bgr(png);
            return OM_FORMAT_ARGB8888;
        }
        // Indices below 8 bits are unpacked to one byte each.
        if (depth < 8) png_set_packing(png);
        return OM_FORMAT_PALETTE8;
    case PNG_COLOR_TYPE_GRAY_ALPHA: png_set_gray_to_rgb(png); return OM_FORMAT_ARGB8888;
    case PNG_COLOR_TYPE_RGB_ALPHA: png_set_bgr(png); return OM_FORMAT_ARGB8888;
    default: return 0; // grey without alpha is not read
    }
}

// The library's read and info objects over the job's stream; false when they cannot be made.
bool create_reader(PngJob* job) {
    job->png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, job, png_fail, png_quiet, job,
                                        png_alloc, png_release);
    if (job->png) job->info = png_create_info_struct(job->png);
    if (!job->info) return false;
    // Only the header, palette, transparency and image data are used. The library buffers
    // every other chunk it knows (texts, profiles) whole before testing its checksum, so a
    // few bytes claiming a 2 GB text would be a 2 GB allocation: those chunks are skipped.
    png_set_keep_unknown_chunks(job->png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    png_set_read_fn(job->png, job, png_read_stream);
    return true;
}

[[gnu::noinline]] OmResult decode_png_job(PngJob* job, IRasterCreate* description) {
    if (!create_reader(job)) return OM_E_FAIL;
    if (setjmp(png_jmpbuf(job->png))) return OM_E_FAIL;
    png_read_info(job->png, job->info);
    uint32_t format = choose_transforms(job->png, job->info);
    if (!format) return OM_E_FAIL;
    png_set_interlace_handling(job->png);
    png_read_update_info(job->png, job->info);
    uint32_t width = png_get_image_width(job->png, job->info);
    uint32_t height = png_get_image_height(job->png, job->info);
    if (png_get_rowbytes(job->png, job->info) != uint64_t(width) * (om_pixel_bits(format) / 8))
        return OM_E_FAIL;
    OmResult r = om_make_decoded_raster(description, width, height, format, &job->raster);
    if (r < 0) return r;
    if (format == OM_FORMAT_PALETTE8) {
        png_colorp entries = nullptr;
        int count = 0;
        uint32_t colours[256] = {};
        if (png_get_PLTE(job->png, job->info, &entries, &count) && count > 256) count = 256;
        for (int i = 0; i < count; ++i)
            colours[i] = 0xFF000000u | uint32_t(entries[i].red) << 16 |
                         uint32_t(entries[i].green) << 8 | entries[i].blue;
        if ((r = om_attach_palette(description, job->raster, colours, uint32_t(count))) < 0)
            return r;
    }
    if ((r = lock_rows(job, OM_LOCK_WRITE)) < 0) return r;
    png_read_image(job->png, job->rows);
    return OM_S_OK;
}

OmResult decode_png(IByteStream* stream, IRasterCreate* description, IRaster** out) {
    PngJob job = {};
    job.stream = stream;
    OmResult r = decode_png_job(&job, description);
    finish(&job, true);
    if (r < 0) {
        if (job.raster) job.raster->Release();
        return r;
    }
    *out = job.raster;
    return OM_S_OK;
}

[[gnu::noinline]] OmResult encode_png_job(PngJob* job) {
    IRaster* raster = job->raster;
    uint32_t bits = om_pixel_bits(raster->GetFormat());
    if (bits != 8 && bits != 32) return OM_E_FAIL;
    OmPaletteWords palette = {};
    if (bits == 8) {
        IRaster* p = om_raster_palette(raster);
        if (!p) return OM_E_FAIL;
        OmResult r = om_read_palette(p, &palette);
        if (r < 0) return r;
        if (!palette.count) return OM_E_FAIL;
    }
    job->png = png_create_write_struct_2(PNG_LIBPNG_VER_STRING, job, png_fail, png_quiet, job,
                                         png_alloc, png_release);
    if (!job->png) return OM_E_FAIL;
    job->info = png_create_info_struct(job->png);
    if (!job->info) return OM_E_FAIL;
    if (setjmp(png_jmpbuf(job->png))) return OM_E_FAIL;
    png_set_write_fn(job->png, job, png_write_stream, png_flush_stream);
    png_set_compression_level(job->png, 9);
    png_set_compression_mem_level(job->png, 8);
    png_set_compression_strategy(job->png, 0);
    png_set_compression_window_bits(job->png, 15);
    png_set_compression_method(job->png, 8);
    png_set_compression_buffer_size(job->png, 8192);

    png_text text = {};
    text.compression = PNG_TEXT_COMPRESSION_NONE;
    text.key = const_cast<png_charp>("Software");
    text.text = const_cast<png_charp>("Ormic6");
    png_set_text(job->png, job->info, &text, 1);

    int type = bits == 8 ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB_ALPHA;
    png_set_IHDR(job->png, job->info, raster->GetWidth(), raster->GetHeight(), 8, type,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (bits == 8) {
        png_color entries[256];
        for (uint32_t i = 0; i < palette.count; ++i) {
            entries[i].red = png_byte(palette.words[i] >> 16);
            entries[i].green = png_byte(palette.words[i] >> 8);
            entries[i].blue = png_byte(palette.words[i]);
        }
        png_set_PLTE(job->png, job->info, entries, int(palette.count));
    }
    png_write_info(job->png, job->info);
    if (bits == 32) png_set_bgr(job->png);
    OmResult r = lock_rows(job, OM_LOCK_READ);
    if (r < 0) return r;
    png_write_image(job->png, job->rows);
    png_write_end(job->png, job->info);
    return OM_S_OK;
}

OmResult encode_png(IByteStream* stream, IRaster* raster) {
    PngJob job = {};
    job.stream = stream;
    job.raster = raster;
    OmResult r = encode_png_job(&job);
    finish(&job, false);
    return r;
}

class Png final : public OmPictureRW<Png> {
public:
    Png() { extensions_ = "png"; }
    OmResult ReadStream(IByteStream* stream, const char*, IUnknown* context, const GUID& iid,
                        void** out) override {
        return om_read_picture_stream(options_[OM_IMAGE_OPTION_CONVERT], stream, context, iid,
                                      decode_png, out);
    }
    OmResult WriteStream(IByteStream* stream, const char*, IUnknown* object) override {
        return om_write_picture_stream(stream, object, encode_png);
    }
    OmResult ReadInfoStream(IByteStream* stream, const char*, IUnknown* info, uint32_t) override {
        if (!stream) return OM_E_FAIL;
        PngJob job = {};
        job.stream = stream;
        uint32_t header[3] = {};
        OmResult r = describe(&job, header);
        finish(&job, true);
        stream->Seek(0, OM_SEEK_START, nullptr);
        if (r < 0) return r;
        return om_describe(info, header[0], header[1], header[2]);
    }

private:
    // The header's width, height and the format its colour type describes (0 for unknown
    // types). OM_E_FAIL when the header cannot be read.
    [[gnu::noinline]] static OmResult describe(PngJob* job, uint32_t* header) {
        if (!create_reader(job)) return OM_E_FAIL;
        if (setjmp(png_jmpbuf(job->png))) return OM_E_FAIL;
        png_read_info(job->png, job->info);
        header[0] = png_get_image_width(job->png, job->info);
        header[1] = png_get_image_height(job->png, job->info);
        switch (png_get_color_type(job->png, job->info)) {
        case PNG_COLOR_TYPE_GRAY: header[2] = OM_FORMAT_PALETTE4; break;
        case PNG_COLOR_TYPE_RGB: header[2] = OM_FORMAT_RGB888; break;
        case PNG_COLOR_TYPE_PALETTE: header[2] = OM_FORMAT_PALETTE8; break;
        case PNG_COLOR_TYPE_GRAY_ALPHA:
        case PNG_COLOR_TYPE_RGB_ALPHA: header[2] = OM_FORMAT_ARGB8888; break;
        default: header[2] = 0; break;
        }
        return OM_S_OK;
    }
};

const GUID* const categories[] = {&CATID_RasterObjectRW, nullptr};
const OmClassRecord classes[] = {
    {&CLSID_Png, categories, nullptr, OmCreateComponent<Png>, "Png"},
};

} // namespace

OM_DEFINE_MODULE(Png, classes)
