// Fuzzes IFF reading: whole object graphs (values, SimpleArray, arrays and hashes with shared
// members and cycles) read with TransferObject, and the chunk operations a serialisation
// routine calls on hostile chunk trees. A graph that reads must write, and what it writes
// must read back into a graph that writes as many bytes again.
//
// Input: a mode byte. Even: the rest is a file of objects, read one after another. Odd: a
// part of operation bytes, then the file they walk.
#include "framework/io/iff.h"
#include "fuzz/framework_harness.h"
#include "fuzz/object_graph.h"

#include <vector>

namespace {

using fuzzing::require;

// Most objects read from one file, and most operations run on one.
constexpr int kMaxObjects = 16;
constexpr size_t kMaxOperations = 256;

ComRef<IIFF> file_on(uint32_t mode, IByteStream* stream) {
    ComRef<IIFF> file;
    require(OmNewIFF(file.put()) >= 0, "an IFF is created");
    require(file->SetStream(mode, stream) >= 0, "an IFF takes a stream");
    return file;
}

// The bytes of one graph written by a fresh IFF; false when writing fails.
bool written(IUnknown* object, std::string& out) {
    auto stream = fuzzing::stream_of(std::string_view());
    auto file = file_on(OM_IFF_WRITE, stream.get());
    if (file->TransferObject(&object) < 0) return false;
    out = fuzzing::bytes_of(stream.get());
    return true;
}

void read_objects(std::span<const uint8_t> bytes) {
    auto stream = fuzzing::stream_of(bytes);
    auto file = file_on(OM_IFF_READ, stream.get());
    fuzzing::ObjectGraph graph;
    std::vector<ComRef<IUnknown>> objects;
    for (int i = 0; i < kMaxObjects; ++i) {
        IUnknown* object = nullptr;
        if (file->TransferObject(&object) < 0) {
            require(object == nullptr, "a failed read hands out nothing");
            break;
        }
        objects.push_back(ComRef<IUnknown>::adopt(object));
        graph.add(object);
    }
    for (const auto& object : objects) {
        if (!object) continue;
        std::string first;
        if (!written(object.get(), first)) continue;
        auto again_stream = fuzzing::stream_of(first);
        auto again_file = file_on(OM_IFF_READ, again_stream.get());
        IUnknown* again = nullptr;
        require(again_file->TransferObject(&again) >= 0, "a written graph reads back");
        auto held = ComRef<IUnknown>::adopt(again);
        fuzzing::ObjectGraph again_graph;
        again_graph.add(again);
        std::string second;
        require(written(again, second), "a graph read back writes again");
        // Hashes write their entries in bucket order, which the order of reading changes:
        // the same entries, so the same number of bytes.
        require(first.size() == second.size(), "a graph read back writes as many bytes");
    }
}

// The chunk operations of a serialisation routine, in the order the operation bytes say.
void walk_chunks(std::span<const uint8_t> operations, std::span<const uint8_t> bytes) {
    auto stream = fuzzing::stream_of(bytes);
    auto file = file_on(OM_IFF_READ, stream.get());
    ComRef<IByteStream> inside;
    require(file->QueryInterface(IID_IByteStream, inside.put_void()) >= 0,
            "an IFF is a byte stream");
    fuzzing::ObjectGraph graph;
    std::vector<ComRef<IUnknown>> objects;
    static const uint32_t tags[] = {
        0, OM_TAG_INT, OM_TAG_STRING, OM_TAG_COMARRAY, OM_TAG_SIMPLEARRAY, om_chunk_tag("FORM")};
    std::vector<uint8_t> buffer;
    for (size_t i = 0; i < std::min(operations.size(), kMaxOperations); ++i) {
        const uint8_t op = operations[i];
        const uint8_t argument = op >> 3;
        uint32_t tag = 0, size = 0, position = 0, done = 0;
        switch (op & 7) {
        case 0: file->BeginChunk(tags[argument % std::size(tags)]); break;
        case 1: file->EndChunk(); break;
        case 2:
            if (file->PeekChunk(&tag, &size) >= 0) {
                uint32_t open_tag = 0, open_size = 0;
                file->GetChunk(&open_tag, &open_size);
                require(open_tag == 0 || size <= open_size, "a peeked chunk fits its parent");
            }
            break;
        case 3: file->SkipChunk(); break;
        case 4:
            buffer.assign(argument * 3u, 0);
            file->Transfer(buffer.data(), static_cast<uint32_t>(buffer.size()));
            break;
        case 5:
            buffer.assign(argument * 3u, 0);
            inside->Read(buffer.data(), static_cast<uint32_t>(buffer.size()), &done);
            require(done <= buffer.size(), "a read delivers at most what was asked");
            break;
        case 6:
            inside->Seek(static_cast<int32_t>(argument) - 16, 1 + argument % 3, &position);
            break;
        default: {
            IUnknown* object = nullptr;
            if (file->TransferObject(&object) >= 0 && object) {
                objects.push_back(ComRef<IUnknown>::adopt(object));
                graph.add(object);
            }
            break;
        }
        }
        file->GetChunk(&tag, &size);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::start_framework();
    fuzzing::FrameworkBlocksBalanced balanced;
    fuzzing::FuzzInput input(data, size);
    if ((input.byte() & 1) == 0) {
        read_objects(input.rest());
    } else {
        const auto operations = input.part();
        walk_chunks(operations, input.rest());
    }
    return 0;
}
