// Fuzzes the object streamer's text form: tokens, escaped strings, numbers, keywords and
// keyword definitions, comments, values of registered classes nested in each other, and
// binary blocks. A value that reads must write, and its text must read back into a value that
// writes the same text.
//
// Input: a part of operation bytes, then the text. Without operations the text is read as a
// sequence of keyword-and-value pairs.
#include "fuzz/framework_harness.h"
#include "fuzz/streamable_node.h"

#include <vector>

namespace {

using fuzzing::require;

constexpr size_t kMaxOperations = 256;
constexpr int kMaxValues = 64;

ComRef<IObjectStreamer> streamer_on(IByteStream* stream) {
    ComRef<IObjectStreamer> streamer;
    require(fuzz_new_streamer(streamer.put()) >= 0, "a streamer is created");
    streamer->SetStream(stream);
    return streamer;
}

// The text form of a value behind its keyword; false when it has none.
bool written(IUnknown* value, std::string& out) {
    auto stream = fuzzing::stream_of(std::string_view());
    auto streamer = streamer_on(stream.get());
    if (fuzz_write_keyed_value(streamer.get(), value) < 0) return false;
    out = fuzzing::bytes_of(stream.get());
    return true;
}

// A keyword and the value behind it, as a caller reads them; null when either is missing.
ComRef<IUnknown> read_keyed_value(IObjectStreamer* streamer) {
    ComRef<IString> keyword = ComRef<IString>::adopt(streamer->ReadToken());
    if (!keyword) return nullptr;
    return ComRef<IUnknown>::adopt(streamer->ReadValue(keyword.get(), nullptr));
}

void check_round_trip(IUnknown* value) {
    std::string first;
    if (!written(value, first)) return;
    auto stream = fuzzing::stream_of(first);
    auto streamer = streamer_on(stream.get());
    ComRef<IUnknown> again = read_keyed_value(streamer.get());
    require(again.get() != nullptr, "a written value reads back");
    std::string second;
    require(written(again.get(), second), "a value read back writes again");
    require(first == second, "a value read back writes the same text");
}

void check_string(IString* text) {
    if (!text) return;
    require(text->Get() != nullptr, "a read string has a text");
    require(std::strlen(text->Get()) == static_cast<size_t>(text->Length()),
            "a read string's length is its text's");
}

void run_operations(std::span<const uint8_t> operations, IObjectStreamer* streamer,
                    std::vector<ComRef<IUnknown>>& values) {
    static const char* const expected[] = {"begin", "end", "node", "#", ""};
    std::vector<uint8_t> block;
    for (size_t i = 0; i < std::min(operations.size(), kMaxOperations); ++i) {
        const uint8_t op = operations[i];
        const uint8_t argument = op >> 3;
        switch (op & 7) {
        case 0: check_string(ComRef<IString>::adopt(streamer->ReadToken()).get()); break;
        case 1: check_string(ComRef<IString>::adopt(streamer->ReadString()).get()); break;
        case 2: streamer->ReadInt(); break;
        case 3: streamer->ReadReal(); break;
        case 4: {
            GUID clsid, iid;
            streamer->ReadKeyword(&clsid, &iid);
            break;
        }
        case 5:
            if (auto value = read_keyed_value(streamer)) values.push_back(std::move(value));
            break;
        case 6: {
            // Exactly the room the streamer is told of, so a write past it is caught.
            block.assign(argument * 8u, 0);
            uint32_t room = static_cast<uint32_t>(block.size());
            streamer->ReadBlock(block.data(), &room);
            require(room <= block.size(), "a block read stays within its room");
            break;
        }
        default: streamer->Expect(nullptr, expected[argument % std::size(expected)]); break;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::start_framework();
    static const bool registered = fuzz_register_stream_node_class() >= 0;
    require(registered, "the node class registers");
    fuzzing::FrameworkBlocksBalanced balanced;

    fuzzing::FuzzInput input(data, size);
    const auto operations = input.part();
    auto stream = fuzzing::stream_of(input.rest());
    auto streamer = streamer_on(stream.get());
    std::vector<ComRef<IUnknown>> values;
    if (operations.empty()) {
        for (int i = 0; i < kMaxValues; ++i) {
            auto value = read_keyed_value(streamer.get());
            if (!value) break;
            values.push_back(std::move(value));
        }
    } else {
        run_operations(operations, streamer.get(), values);
    }
    for (const auto& value : values) check_round_trip(value.get());
    return 0;
}
