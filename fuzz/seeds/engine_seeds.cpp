// Seeds of the engine's chunk harnesses, written by the engine's own stream writers.
#include "fuzz/engine_harness.h"
#include "fuzz/seeds/seed_set.h"

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using fuzzing::FuzzInputWriter;

// What `write` puts into a fresh memory write stream (the engine must be started).
std::vector<uint8_t> written(const std::function<void(LgStream*)>& write) {
    fuzzing::MemoryWriteStream out;
    write(out.get());
    return out.take();
}

void chunk(LgStream* out, uint32_t type, const void* body, uint32_t length,
           uint32_t version = LgChunkVersion) {
    LgStreamWriteChunkHeader(out, type, length, version);
    LgStreamWriteInt32s(out, body, length);
}

void numbers(LgStream* out, uint32_t type, std::initializer_list<uint32_t> values) {
    const std::vector<uint32_t> v(values);
    chunk(out, type, v.data(), static_cast<uint32_t>(v.size() * 4));
}

// A 0x13 chunk: 16-bit characters, low byte first.
void wide_string(LgStream* out, const std::string& text) {
    std::vector<uint8_t> body;
    for (char c : text) body.insert(body.end(), {static_cast<uint8_t>(c), 0});
    chunk(out, LgChunkWideString, body.data(), static_cast<uint32_t>(body.size()));
}

// An extension chunk of the given plug-in sub-chunks.
void extension(LgStream* out, const std::vector<std::pair<uint32_t, std::string>>& subChunks) {
    uint32_t length = 0;
    for (const auto& [id, body] : subChunks)
        length += LgChunkHeaderSize + static_cast<uint32_t>(body.size());
    LgStreamWriteChunkHeader(out, LgChunkExtension, length, LgChunkVersion);
    for (const auto& [id, body] : subChunks)
        chunk(out, id, body.data(), static_cast<uint32_t>(body.size()));
}

std::vector<uint8_t> with_byte(uint8_t first, const std::vector<uint8_t>& stream) {
    return FuzzInputWriter().byte(first).rest(stream).bytes();
}

} // namespace

FUZZ_SEEDS(engine_chunks) {
    enginetest::StartedEngine engine;
    const auto model = written([](LgStream* out) {
        numbers(out, LgChunkStruct, {1, 2, 3, 4});
        LgStringStreamWrite("wing", out);
        extension(out, {});
        numbers(out, LgChunkStruct, {5});
    });
    seeds.add("struct_string_extension", with_byte(LgChunkStruct, model));
    seeds.add("find_extension", with_byte(LgChunkExtension, model));
    // A clump-like chunk whose body nests further chunks; find-chunk stays at its level.
    const auto nested = written([](LgStream* out) {
        const auto body = written([](LgStream* in) {
            numbers(in, LgChunkStruct, {7, 8});
            LgStringStreamWrite("frame", in);
        });
        chunk(out, LgChunkClump, body.data(), static_cast<uint32_t>(body.size()));
        LgStringStreamWrite("after", out);
    });
    seeds.add("nested", with_byte(LgChunkString, nested));
    const auto versions = written([](LgStream* out) {
        numbers(out, LgChunkStruct, {0});
        chunk(out, LgChunkString, "a\0\0\0", 4, LgChunkVersionMin);
        chunk(out, LgChunkString, "b\0\0\0", 4, LgChunkVersionMax + 1);
        chunk(out, LgChunkString, nullptr, 0);
    });
    seeds.add("versions", with_byte(LgChunkString, versions));
}

FUZZ_SEEDS(engine_strings) {
    enginetest::StartedEngine engine;
    const auto names = written([](LgStream* out) {
        LgStringStreamWrite("wing", out);
        LgStringStreamWrite("", out);
        LgStringStreamWrite("a_texture_name_longer_than_sixteen", out);
    });
    seeds.add("narrow", with_byte(31, names));
    seeds.add("narrow_cut", with_byte(7, names));
    const auto wide = written([](LgStream* out) {
        wide_string(out, "sky");
        numbers(out, LgChunkStruct, {1});
        wide_string(out, "cockpit_glass");
        LgStringStreamWrite("mask", out);
    });
    seeds.add("wide", with_byte(63, wide));
    seeds.add("wide_cut", with_byte(4, wide));
}

// The plug-ins that fuzz/engine_extensions.cpp registers: an owner slot (4 bytes), numbers
// (16 bytes), a checked slot (8 bytes) and one without a stream read.
FUZZ_SEEDS(engine_extensions) {
    enginetest::StartedEngine engine;
    const std::string numbersBody("\x01\0\0\0\x02\0\0\0\x03\0\0\0\x04\0\0\0", 16);
    const auto object = written([&](LgStream* out) {
        numbers(out, LgChunkStruct, {1});
        extension(out, {{0x601, std::string("\x10\x20\x30\x40", 4)},
                        {0x503, numbersBody},
                        {0x504, "checked!"},
                        {0x509, "skipped."},
                        {0x777, "unknown"}});
        extension(out, {});
        extension(out, {{0x601, "longer than the slot"}});
    });
    seeds.add("object", object);
    const auto refused = written([](LgStream* out) {
        extension(out, {{0x504, std::string("\xff", 1)}, {0x601, "abcd"}});
    });
    seeds.add("refused", refused);
}
