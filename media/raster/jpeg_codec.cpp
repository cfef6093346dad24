// Jpeg: JPEG reader and writer over libjpeg (6.2 interface) with source and destination
// managers on the framework's streams.
#include "media/raster/codec_support.h"
#include "media/raster/image_codecs.h"
#include "media/raster/raster_access.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jerror.h>
#include <jpeglib.h>

namespace {

constexpr uint32_t stream_buffer_size = 4096;

// The library's fatal errors must not return: the handler jumps back to the operation, which
// destroys the library object and fails.
struct JpegErrors {
    jpeg_error_mgr manager;
    jmp_buf back;
};

void jpeg_fail(j_common_ptr info) {
    longjmp(reinterpret_cast<JpegErrors*>(info->err)->back, 1);
}
void jpeg_quiet(j_common_ptr) {}

void install_errors(JpegErrors* errors) {
    jpeg_std_error(&errors->manager);
    errors->manager.error_exit = jpeg_fail;
    errors->manager.output_message = jpeg_quiet;
}

// Source manager: reads the stream through a buffer; at the end of the stream it supplies an
// end-of-image marker, so a truncated file ends its picture instead of failing.
struct StreamSource {
    jpeg_source_mgr manager;
    IByteStream* stream;
    bool ended; // the stream ran out and an end-of-image marker was supplied
    JOCTET buffer[stream_buffer_size];
};

void source_init(j_decompress_ptr) {}

boolean source_fill(j_decompress_ptr info) {
    auto* source = reinterpret_cast<StreamSource*>(info->src);
    uint32_t done = 0;
    source->stream->Read(source->buffer, stream_buffer_size, &done);
    if (done == 0 || done > stream_buffer_size) {
        WARNMS(info, JWRN_JPEG_EOF);
        source->ended = true;
        source->buffer[0] = 0xFF;
        source->buffer[1] = JPEG_EOI;
        done = 2;
    }
    source->manager.next_input_byte = source->buffer;
    source->manager.bytes_in_buffer = done;
    return TRUE;
}

void source_skip(j_decompress_ptr info, long count) {
    auto* source = reinterpret_cast<StreamSource*>(info->src);
    while (count > 0) {
        if (size_t(count) <= source->manager.bytes_in_buffer) {
            source->manager.next_input_byte += count;
            source->manager.bytes_in_buffer -= size_t(count);
            return;
        }
        count -= long(source->manager.bytes_in_buffer);
        source->manager.bytes_in_buffer = 0;
        if (source->ended) return;
        source_fill(info);
    }
}

void source_term(j_decompress_ptr) {}

void attach_source(j_decompress_ptr info, StreamSource* source, IByteStream* stream) {
    source->stream = stream;
    source->ended = false;
    source->manager.init_source = source_init;
    source->manager.fill_input_buffer = source_fill;
    source->manager.skip_input_data = source_skip;
    source->manager.resync_to_restart = jpeg_resync_to_restart;
    source->manager.term_source = source_term;
    source->manager.next_input_byte = nullptr;
    source->manager.bytes_in_buffer = 0;
    info->src = &source->manager;
}

// Destination manager: writes its buffer through the stream.
struct StreamDestination {
    jpeg_destination_mgr manager;
    IByteStream* stream;
    JOCTET buffer[stream_buffer_size];
};

void destination_init(j_compress_ptr info) {
    auto* d = reinterpret_cast<StreamDestination*>(info->dest);
    d->manager.next_output_byte = d->buffer;
    d->manager.free_in_buffer = stream_buffer_size;
}

void write_out(j_compress_ptr info, uint32_t count) {
    auto* d = reinterpret_cast<StreamDestination*>(info->dest);
    uint32_t done = 0;
    if (count && (d->stream->Write(d->buffer, count, &done) < 0 || done != count))
        ERREXIT(info, JERR_FILE_WRITE);
}

boolean destination_empty(j_compress_ptr info) {
    write_out(info, stream_buffer_size);
    destination_init(info);
    return TRUE;
}

void destination_term(j_compress_ptr info) {
    auto* d = reinterpret_cast<StreamDestination*>(info->dest);
    write_out(info, uint32_t(stream_buffer_size - d->manager.free_in_buffer));
}

// One decode: the library object, its managers and what it made, in memory that outlives a
// jump out of the library.
struct DecodeJob {
    jpeg_decompress_struct info;
    JpegErrors errors;
    StreamSource source;
    IRaster* raster;
    JSAMPLE* row;
    bool created;
    bool locked;
};

void finish_decode(DecodeJob* job) {
    if (job->locked) job->raster->Unlock();
    job->locked = false;
    if (job->row) OmFreeMemory(job->row);
    job->row = nullptr;
    if (job->created) jpeg_destroy_decompress(&job->info);
    job->created = false;
}

// Reads the header; refuses pictures that are not grey, YCbCr or RGB.
OmResult start_decompressor(DecodeJob* job, IByteStream* stream) {
    install_errors(&job->errors);
    job->info.err = &job->errors.manager;
    jpeg_create_decompress(&job->info);
    job->created = true;
    attach_source(&job->info, &job->source, stream);
    jpeg_read_header(&job->info, TRUE);
    switch (job->info.jpeg_color_space) {
    case JCS_GRAYSCALE: job->info.out_color_space = JCS_GRAYSCALE; return OM_S_OK;
    case JCS_YCbCr:
    case JCS_RGB: job->info.out_color_space = JCS_RGB; return OM_S_OK;
    default: return OM_E_FAIL; // CMYK and YCCK are not read
    }
}

[[gnu::noinline]] OmResult decode_job(DecodeJob* job, IByteStream* stream,
                                      IRasterCreate* description) {
    if (setjmp(job->errors.back)) return OM_E_FAIL;
    OmResult r = start_decompressor(job, stream);
    if (r < 0) return r;
    uint32_t width = job->info.image_width, height = job->info.image_height;
    if ((r = om_make_decoded_raster(description, width, height, OM_FORMAT_RGB888, &job->raster)) <
        0)
        return r;
    jpeg_start_decompress(&job->info);
    uint32_t components = uint32_t(job->info.output_components);
    if (job->info.output_width != width || (components != 1 && components != 3)) return OM_E_FAIL;
    job->row = static_cast<JSAMPLE*>(OmAllocMemory(size_t(width) * components));
    if (!job->row) return OM_E_OUTOFMEMORY;
    void* base;
    int32_t stride;
    if ((r = job->raster->Lock(OM_LOCK_WRITE, &base, &stride)) < 0) return r;
    job->locked = true;
    for (uint32_t y = 0; y < height; ++y) {
        JSAMPROW rows[1] = {job->row};
        if (jpeg_read_scanlines(&job->info, rows, 1) != 1) return OM_E_FAIL;
        uint8_t* out = static_cast<uint8_t*>(base) + int64_t(y) * stride;
        if (components == 3) {
            std::memcpy(out, job->row, size_t(width) * 3);
        } else {
            for (uint32_t x = 0; x < width; ++x)
                out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = job->row[x];
        }
    }
    job->raster->Unlock();
    job->locked = false;
    jpeg_finish_decompress(&job->info);
    return OM_S_OK;
}

struct DecodeContext {
    IByteStream* stream;
};

OmResult decode_jpeg(void* context, IRasterCreate* description, IRaster** out) {
    auto* job = static_cast<DecodeJob*>(OmAllocMemory(sizeof(DecodeJob)));
    if (!job) return OM_E_OUTOFMEMORY;
    std::memset(job, 0, sizeof(*job));
    OmResult r = decode_job(job, static_cast<DecodeContext*>(context)->stream, description);
    finish_decode(job);
    if (r < 0) {
        if (job->raster) job->raster->Release();
    } else {
        *out = job->raster;
    }
    OmFreeMemory(job);
    return r;
}

struct EncodeJob {
    jpeg_compress_struct info;
    JpegErrors errors;
    StreamDestination destination;
    JSAMPLE* row;
    bool created;
    bool locked;
    IRaster* raster;
};

[[gnu::noinline]] OmResult encode_job(EncodeJob* job, IByteStream* stream, uint32_t quality) {
    install_errors(&job->errors);
    job->info.err = &job->errors.manager;
    if (setjmp(job->errors.back)) return OM_E_FAIL;
    jpeg_create_compress(&job->info);
    job->created = true;
    job->destination.stream = stream;
    job->destination.manager.init_destination = destination_init;
    job->destination.manager.empty_output_buffer = destination_empty;
    job->destination.manager.term_destination = destination_term;
    job->info.dest = &job->destination.manager;
    uint32_t width = job->raster->GetWidth(), height = job->raster->GetHeight();
    job->info.image_width = width;
    job->info.image_height = height;
    job->info.input_components = 3;
    job->info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&job->info);
    jpeg_set_quality(&job->info, int(quality > 100 ? 100 : quality), TRUE);
    jpeg_start_compress(&job->info, TRUE);
    job->row = static_cast<JSAMPLE*>(OmAllocMemory(size_t(width) * 3 + 1));
    if (!job->row) return OM_E_OUTOFMEMORY;
    void* base;
    int32_t stride;
    OmResult r = job->raster->Lock(OM_LOCK_READ, &base, &stride);
    if (r < 0) return r;
    job->locked = true;
    for (uint32_t y = 0; y < height; ++y) {
        std::memcpy(job->row, static_cast<uint8_t*>(base) + int64_t(y) * stride, size_t(width) * 3);
        JSAMPROW rows[1] = {job->row};
        jpeg_write_scanlines(&job->info, rows, 1);
    }
    jpeg_finish_compress(&job->info);
    return OM_S_OK;
}

OmResult encode_jpeg(IByteStream* stream, IRaster* raster, uint32_t quality) {
    // The picture is written from red, green, blue bytes: other formats are converted first.
    IRaster* rgb;
    if (raster->GetFormat() == OM_FORMAT_RGB888) {
        raster->AddRef();
        rgb = raster;
    } else {
        OmResult r =
            OmNewMemoryRaster(raster->GetWidth(), raster->GetHeight(), OM_FORMAT_RGB888, &rgb);
        if (r < 0) return r;
        r = rgb->BlitConvert(nullptr, raster, nullptr, OM_BLIT_CARRY_KEY | OM_BLIT_CONVERT);
        if (r < 0) {
            rgb->Release();
            return r;
        }
    }
    auto* job = static_cast<EncodeJob*>(OmAllocMemory(sizeof(EncodeJob)));
    if (!job) {
        rgb->Release();
        return OM_E_OUTOFMEMORY;
    }
    std::memset(job, 0, sizeof(*job));
    job->raster = rgb;
    OmResult r = encode_job(job, stream, quality);
    if (job->locked) rgb->Unlock();
    if (job->created) jpeg_destroy_compress(&job->info);
    OmFreeMemory(job->row);
    OmFreeMemory(job);
    rgb->Release();
    return r;
}

[[gnu::noinline]] OmResult describe_job(DecodeJob* job, IByteStream* stream, uint32_t* size) {
    if (setjmp(job->errors.back)) return OM_E_FAIL;
    OmResult r = start_decompressor(job, stream);
    size[0] = job->info.image_width;
    size[1] = job->info.image_height;
    return r;
}

class Jpeg final : public ObjectRWBase<Jpeg> {
public:
    Jpeg() { extensions_ = "jpeg;jpg"; }
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IObjectRW, this}});
    }
    OmResult ReadStream(IByteStream* stream, const char*, IUnknown* context, const GUID& iid,
                        void** out) override {
        if (!out) return OM_E_FAIL;
        *out = nullptr;
        if (!stream || !(iid == IID_IRaster)) return OM_E_FAIL;
        DecodeContext decode{stream};
        IRaster* raster;
        OmResult r = om_deliver_picture(options_[OM_IMAGE_OPTION_CONVERT], context, &decode,
                                        decode_jpeg, &raster);
        if (r >= 0) *out = raster;
        return r;
    }
    OmResult WriteStream(IByteStream* stream, const char*, IUnknown* object) override {
        IRaster* raster = om_object_raster(object);
        if (!raster || !stream) {
            if (raster) raster->Release();
            return OM_E_FAIL;
        }
        OmResult r = encode_jpeg(stream, raster, options_[OM_IMAGE_OPTION_QUALITY]);
        raster->Release();
        return r;
    }
    OmResult ReadInfoStream(IByteStream* stream, const char*, IUnknown* info, uint32_t) override {
        if (!stream) return OM_E_FAIL;
        auto* job = static_cast<DecodeJob*>(OmAllocMemory(sizeof(DecodeJob)));
        if (!job) return OM_E_OUTOFMEMORY;
        std::memset(job, 0, sizeof(*job));
        uint32_t size[2] = {};
        OmResult r = describe_job(job, stream, size);
        finish_decode(job);
        OmFreeMemory(job);
        stream->Seek(0, OM_SEEK_START, nullptr);
        if (r < 0) return r;
        return om_describe(info, size[0], size[1], OM_FORMAT_RGB888);
    }
};

const GUID* const categories[] = {&CATID_RasterObjectRW, nullptr};
const OmClassRecord classes[] = {
    {&CLSID_Jpeg, categories, nullptr, OmCreateComponent<Jpeg>, "Jpeg"},
};

} // namespace

OM_DEFINE_MODULE(Jpeg, classes)
