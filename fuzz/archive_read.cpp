// Fuzzes the archiver's text and binary forms: every value type, strings cut to their
// buffers, and object graphs with numbered, shared and nested objects. A graph read from a
// binary archive must write, and read back into a graph that writes the same bytes.
//
// Input: a flags byte (bit 0: binary form), a part of transfer bytes (type and element
// count each), then the archive. Without transfers the archive is read as a list of objects.
#include "fuzz/archivable_node.h"
#include "fuzz/framework_harness.h"

#include <cstring>
#include <vector>

namespace {

using fuzzing::require;

constexpr size_t kMaxTransfers = 128;
constexpr int kMaxObjects = 16;

// One archiver for the whole run, made before the first input is counted.
IArchiver* archiver() {
    static ComRef<IArchiver> archiver = [] {
        ComRef<IArchiver> made;
        require(fuzz_register_archive_node_class() >= 0, "the node class registers");
        require(OmCreate(CLSID_Archiver, IID_IArchiver, made.put()) >= 0, "an archiver is created");
        return made;
    }();
    return archiver.get();
}

ComRef<IArchive> archive_on(uint32_t mode, bool binary, IByteStream* stream) {
    ComRef<IArchive> archive;
    const OmResult r = binary ? archiver()->CreateBinaryArchive(mode, stream, archive.put())
                              : archiver()->CreateArchive(mode, stream, archive.put());
    require(r >= 0, "an archive is created");
    return archive;
}

// Checks what a node read holds, and walks its children.
void check_graph(IUnknown* object, int depth = 0) {
    if (!object) return;
    require(depth < 300, "graphs nest no deeper than the archive allows");
    ComRef<IFuzzArchiveNode> node;
    require(object->QueryInterface(IID_IFuzzArchiveNode, node.put_void()) >= 0,
            "an archive holds only the classes it names");
    require(std::memchr(node->name(), 0, 16) != nullptr, "a read string is terminated");
    for (int i = 0; i < 2; ++i) check_graph(node->children()[i], depth + 1);
}

// The bytes of the objects written in binary form; false when writing fails.
bool written(const std::vector<IUnknown*>& objects, std::string& out) {
    auto stream = fuzzing::stream_of(std::string_view());
    auto archive = archive_on(OM_ARCHIVE_WRITE, true, stream.get());
    for (IUnknown* object : objects)
        if (archive->Write(OM_ARCHIVE_OBJECT, &object, sizeof object) < 0) return false;
    out = fuzzing::bytes_of(stream.get());
    return true;
}

// The objects a read archive hands out, one reference each.
struct Objects {
    std::vector<IUnknown*> list;
    ~Objects() {
        for (IUnknown* object : list)
            if (object) object->Release();
    }
};

void check_round_trip(const std::vector<IUnknown*>& objects) {
    std::string first;
    if (objects.empty() || !written(objects, first)) return;
    auto stream = fuzzing::stream_of(first);
    auto archive = archive_on(OM_ARCHIVE_READ, true, stream.get());
    Objects again;
    for (size_t i = 0; i < objects.size(); ++i) {
        IUnknown* object = nullptr;
        require(archive->Read(OM_ARCHIVE_OBJECT, &object, sizeof object) >= 0,
                "written objects read back");
        again.list.push_back(object);
    }
    std::string second;
    require(written(again.list, second), "objects read back write again");
    require(first == second, "objects read back write the same bytes");
}

void run_transfers(std::span<const uint8_t> transfers, IArchive* archive, Objects& objects) {
    for (size_t i = 0; i < std::min(transfers.size(), kMaxTransfers); ++i) {
        const int32_t type = transfers[i] % 7;
        const uint32_t count = 1 + (transfers[i] >> 3) % 4;
        if (type == OM_ARCHIVE_OBJECT) {
            IUnknown* slots[4] = {};
            archive->Read(type, slots, count * sizeof(IUnknown*));
            for (uint32_t k = 0; k < count; ++k) objects.list.push_back(slots[k]);
            continue;
        }
        // Strings get `count` x 8 bytes of room; everything else `count` elements. The
        // buffer is exactly that large, so a write past it is caught.
        const uint32_t element = type == OM_ARCHIVE_BYTE     ? 1
                                 : type == OM_ARCHIVE_GUID   ? 16
                                 : type == OM_ARCHIVE_STRING ? 8
                                                             : 4;
        const uint32_t bytes = type == OM_ARCHIVE_FLOAT ? 4 : element * count;
        std::vector<uint8_t> buffer(bytes, 0x5A);
        if (archive->Read(type, buffer.data(), bytes) >= 0 && type == OM_ARCHIVE_STRING)
            require(std::memchr(buffer.data(), 0, bytes) != nullptr, "a read string is cut");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::start_framework();
    archiver();
    fuzzing::FrameworkBlocksBalanced balanced;

    fuzzing::FuzzInput input(data, size);
    const bool binary = (input.byte() & 1) != 0;
    const auto transfers = input.part();
    auto stream = fuzzing::stream_of(input.rest());
    Objects objects;
    {
        auto archive = archive_on(OM_ARCHIVE_READ, binary, stream.get());
        if (transfers.empty()) {
            for (int i = 0; i < kMaxObjects; ++i) {
                IUnknown* object = nullptr;
                if (archive->Read(OM_ARCHIVE_OBJECT, &object, sizeof object) < 0) break;
                objects.list.push_back(object);
            }
        } else {
            run_transfers(transfers, archive.get(), objects);
        }
    }
    for (IUnknown* object : objects.list) check_graph(object);
    if (binary) check_round_trip(objects.list);
    return 0;
}
