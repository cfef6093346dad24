// Object graphs that a reader handed out: every member touched whole (so a short buffer shows
// under ASan), and the cycles a hostile file can build through references broken before the
// graph goes, so what is left over afterwards is a leak of the reader and not of the file.
#pragma once

#include "framework/containers/com_array.h"
#include "framework/containers/com_hash.h"
#include "framework/containers/simple_array.h"
#include "framework/containers/values.h"
#include "framework/core/com_ref.h"
#include "fuzz/fuzz_support.h"

#include <cstring>
#include <set>
#include <vector>

namespace fuzzing {

// Every object reachable from the roots through the framework containers, each held once.
class ObjectGraph {
public:
    ObjectGraph() = default;
    ~ObjectGraph() { break_cycles(); }
    ObjectGraph(const ObjectGraph&) = delete;
    ObjectGraph& operator=(const ObjectGraph&) = delete;

    void add(IUnknown* root) {
        std::vector<IUnknown*> pending{root};
        while (!pending.empty()) {
            IUnknown* object = pending.back();
            pending.pop_back();
            if (!object || !seen_.insert(object).second) continue;
            held_.push_back(ComRef<IUnknown>::share(object));
            visit(object, pending);
        }
    }

    // Empties every container, so the graph falls apart when the last outside reference goes.
    void break_cycles() {
        for (auto& object : arrays_) object->RemoveAll();
        for (auto& object : hashes_) object->RemoveAll();
        arrays_.clear();
        hashes_.clear();
        held_.clear();
        seen_.clear();
    }

private:
    void visit(IUnknown* object, std::vector<IUnknown*>& pending) {
        ComRef<ICOMArray> array;
        if (object->QueryInterface(IID_ICOMArray, array.put_void()) >= 0 && array) {
            const int32_t count = array->Count();
            require(count >= 0, "an array's count is not negative");
            for (int32_t i = 0; i < count; ++i) pending.push_back(array->GetAt(i));
            arrays_.push_back(std::move(array));
        }
        ComRef<ICOMHash> hash;
        if (object->QueryInterface(IID_ICOMHash, hash.put_void()) >= 0 && hash) {
            uint32_t entries = 0;
            struct Walk {
                std::vector<IUnknown*>* pending;
                uint32_t* entries;
            } walk{&pending, &entries};
            hash->ForEach(
                [](const char* name, IUnknown* member, void* context) -> OmResult {
                    auto* w = static_cast<Walk*>(context);
                    require(name != nullptr, "a hash entry has a name");
                    (void)std::strlen(name);
                    w->pending->push_back(member);
                    ++*w->entries;
                    return OM_S_OK;
                },
                &walk);
            require(entries == hash->Count(), "a hash walks as many entries as it counts");
            hashes_.push_back(std::move(hash));
        }
        ComRef<ISimpleArray> simple;
        if (object->QueryInterface(IID_ISimpleArray, simple.put_void()) >= 0 && simple) {
            int32_t element_size = 0;
            simple->GetKind(nullptr, &element_size);
            const int32_t count = simple->Count();
            require(count >= 0 && element_size >= 0, "a simple array's shape is sound");
            // Only elements that are there are copied: an empty array's element may be huge.
            std::vector<uint8_t> copy(count > 0 ? static_cast<size_t>(element_size) : 0);
            for (int32_t i = 0; i < count; ++i) {
                const void* element = simple->GetAt(i);
                require(element != nullptr, "every counted element is there");
                if (element_size) std::memcpy(copy.data(), element, copy.size());
            }
        }
        ComRef<IString> text;
        if (object->QueryInterface(IID_IString, text.put_void()) >= 0 && text) {
            const char* value = text->Get();
            require(value != nullptr, "a string value has a text");
            require(std::strlen(value) == static_cast<size_t>(text->Length()),
                    "a string's length is its text's");
        }
    }

    std::set<IUnknown*> seen_;
    std::vector<ComRef<IUnknown>> held_;
    std::vector<ComRef<ICOMArray>> arrays_;
    std::vector<ComRef<ICOMHash>> hashes_;
};

} // namespace fuzzing
