// DebugMessage: parameters by name, entries assembled in a bounded buffer, the log opened
// through the storage service at the first report.
#include "framework/platform/debug_message.h"

#include "framework/containers/name_hash.h"
#include "framework/core/class_ids.h"
#include "framework/core/object_manager.h"
#include "framework/core/portable_path.h"
#include "framework/core/static_state.h"
#include "framework/platform/os_service.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

// Appends into a fixed buffer, cutting what does not fit.
class BoundedText {
public:
    BoundedText(char* buffer, size_t capacity) : buffer_(buffer), capacity_(capacity) {
        buffer_[0] = '\0';
    }
    void append(const char* text, size_t n) {
        n = std::min(n, capacity_ - 1 - length_);
        std::memcpy(buffer_ + length_, text, n);
        length_ += n;
        buffer_[length_] = '\0';
    }
    void append(const char* text) { append(text, std::strlen(text)); }
    size_t length() const { return length_; }

private:
    char* buffer_;
    size_t capacity_;
    size_t length_ = 0;
};

// Every occurrence of `find`, left to right, resuming after each replacement; the result is
// cut to the buffer.
void replace_all_bounded(char* text, size_t capacity, const char* find, const char* replacement) {
    size_t find_length = std::strlen(find);
    if (find_length == 0 || !std::strstr(text, find)) return;
    char result[OM_DEBUG_ENTRY_SIZE];
    BoundedText out(result, std::min(capacity, sizeof result));
    for (const char* p = text; *p;) {
        if (std::strncmp(p, find, find_length) == 0) {
            out.append(replacement);
            p += find_length;
        } else {
            out.append(p, 1);
            ++p;
        }
    }
    std::memcpy(text, result, out.length() + 1);
}

// True when the format holds exactly one conversion, one of `conversions`, with flags, width
// and precision only: anything else would read arguments that are not there.
bool single_conversion(const char* format, const char* conversions) {
    int count = 0;
    for (const char* p = format; *p; ++p) {
        if (*p != '%') continue;
        ++p;
        if (*p == '%') continue;
        while (*p && std::strchr("-+ #0", *p)) ++p;
        while (std::isdigit(static_cast<unsigned char>(*p))) ++p;
        if (*p == '.') {
            ++p;
            while (std::isdigit(static_cast<unsigned char>(*p))) ++p;
        }
        if (!*p || !std::strchr(conversions, *p)) return false;
        ++count;
    }
    return count == 1;
}

const char* severity_tag(uint32_t severity) {
    switch (severity) {
    case OM_SEVERITY_INFORMATION: return "[Information]";
    case OM_SEVERITY_WARNING: return "[Warning]";
    default: return "[Fatal]";
    }
}

class DebugMessage final : public OmObject<DebugMessage, IDebugMessage> {
public:
    static DebugMessage* instance;
    static OmResult Create(IUnknown* outer, IUnknown** out) {
        return OmCreateSingleton(instance, outer, out);
    }

    OmResult init() {
        OmResult r = OmNameHashInit(&parameters_, 0);
        if (r < 0) return r;
        hash_ready_ = true;
        std::strcpy(log_name_, OM_DEBUG_LOG_NAME);
        // Without either service messages still reach what is left: the log needs storage,
        // the debugger output the OS service.
        if (OmCreateInstance(CLSID_Win32OS, nullptr, 0, IID_IOmOS, reinterpret_cast<void**>(&os_)) <
            0)
            os_ = nullptr;
        create_storage();
        return OM_S_OK;
    }
    ~DebugMessage() {
        if (hash_ready_) {
            clear_parameters();
            OmNameHashDestroy(&parameters_);
        }
        if (os_) os_->Release();
        if (log_) log_->Release();
        if (storage_) storage_->Release();
        instance = nullptr;
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IDebugMessage, this}});
    }

    OmResult SetOutput(IFileStorage* storage, const char* log_name, uint32_t flags) override {
        if (log_name && std::strlen(log_name) >= sizeof log_name_) return OM_E_FAIL;
        flags_ = flags;
        if (storage) {
            storage->AddRef();
            if (storage_) storage_->Release();
            storage_ = storage;
        }
        if (log_name && std::strcmp(log_name, log_name_) != 0) {
            if (log_) log_->Release();
            log_ = nullptr;
            std::strcpy(log_name_, log_name);
        }
        return OM_S_OK;
    }

    OmResult SetLocation(const char* file, uint32_t line) override {
        BoundedText(source_file_, sizeof source_file_).append(file ? file : "");
        line_ = line;
        return OM_S_OK;
    }

    OmResult SetParameterInt(const char* name, const char* format, int32_t value) override {
        if (!format) format = "%d";
        if (!single_conversion(format, "diouxXc")) return OM_E_FAIL;
        char text[64];
        std::snprintf(text, sizeof text, format, value);
        return SetParameter(name, text);
    }

    OmResult SetParameterReal(const char* name, const char* format, float value) override {
        if (!format) format = "%f";
        if (!single_conversion(format, "fFeEgGaA")) return OM_E_FAIL;
        char text[64];
        std::snprintf(text, sizeof text, format, double(value));
        return SetParameter(name, text);
    }

    OmResult SetParameter(const char* name, const char* text) override {
        if (!name || !text) return OM_E_FAIL;
        if (void* old = OmNameHashGet(&parameters_, name)) {
            OmFreeMemory(old);
            OmNameHashRemove(&parameters_, name);
        }
        size_t size = std::strlen(text) + 1;
        auto* copy = static_cast<char*>(OmAllocMemory(size));
        if (!copy) return OM_E_OUTOFMEMORY;
        std::memcpy(copy, text, size);
        OmResult r = OmNameHashSet(&parameters_, name, copy);
        if (r < 0) OmFreeMemory(copy);
        return r;
    }

    OmResult SetParameterPointer(const char* name, const void* pointer) override {
        char text[40];
        std::snprintf(text, sizeof text, "(%p)", pointer);
        return SetParameter(name, text);
    }

    OmResult Report(uint32_t severity, const char* text) override {
        char body[OM_DEBUG_ENTRY_SIZE];
        BoundedText(body, sizeof body).append(text ? text : "");
        struct Replace {
            char* body;
        } replace{body};
        OmNameHashForEach(
            &parameters_,
            [](const char* name, void* value, void* context) {
                replace_all_bounded(static_cast<Replace*>(context)->body, OM_DEBUG_ENTRY_SIZE, name,
                                    static_cast<const char*>(value));
                return OM_S_OK;
            },
            &replace);

        // The closing blank line always survives a cut, so entries stay apart in the log.
        char entry[OM_DEBUG_ENTRY_SIZE];
        BoundedText out(entry, sizeof entry - 2);
        out.append(severity_tag(severity));
        out.append("\n");
        out.append(body);
        if ((flags_ & OM_MESSAGE_VERBOSE) && line_ != 0) {
            char line[16];
            std::snprintf(line, sizeof line, "%u", line_);
            out.append("\nFile :");
            out.append(source_file_);
            out.append("    Line :");
            out.append(line);
        }
        size_t length = out.length();
        std::memcpy(entry + length, "\n\n", 3);
        length += 2;

        bool to_debugger = severity > OM_SEVERITY_WARNING ||
                           (severity == OM_SEVERITY_WARNING && (flags_ & OM_MESSAGE_VERBOSE));
        if (to_debugger && os_) os_->DebugOutput(entry);
        if (!log_) open_log();
        if (log_) log_->Write(entry, uint32_t(length), nullptr);

        clear_parameters();
        line_ = 0;
        source_file_[0] = '\0';
        return OM_S_OK;
    }

private:
    void create_storage() {
        if (OmCreateInstance(CLSID_Storage, nullptr, 0, IID_IFileStorage,
                             reinterpret_cast<void**>(&storage_)) < 0)
            storage_ = nullptr;
    }

    // A failure leaves the log closed; the next report tries again.
    void open_log() {
        char path[OM_MAX_PATH + OM_DEBUG_NAME_SIZE] = "";
        if (log_name_[0] != '/' && os_ && os_->GetAppPath(path, OM_MAX_PATH) < 0) path[0] = '\0';
        std::strcat(path, log_name_);
        if (!storage_) create_storage();
        if (!storage_) return;
        if (storage_->Open(path, OM_OPEN_WRITE, OM_OPEN_TEXT, &log_) < 0) log_ = nullptr;
    }

    void clear_parameters() {
        OmNameHashForEach(
            &parameters_,
            [](const char*, void* value, void*) {
                OmFreeMemory(value);
                return OM_S_OK;
            },
            nullptr);
        OmNameHashClear(&parameters_);
    }

    OmNameHash parameters_;
    bool hash_ready_;
    uint32_t line_;
    char source_file_[OM_DEBUG_NAME_SIZE];
    char log_name_[OM_DEBUG_NAME_SIZE];
    IOmOS* os_;
    IByteStream* log_;
    IFileStorage* storage_;
    uint32_t flags_;
};

DebugMessage* DebugMessage::instance = nullptr;
IDebugMessage* message_service = nullptr;

const OmStaticStateReset reset_debug_message([] {
    DebugMessage::instance = nullptr;
    message_service = nullptr;
});

OmResult ensure_message_service() {
    if (message_service) return OM_S_OK;
    OmResult r = OmCreateInstance(CLSID_DebugMessage, nullptr, 0, IID_IDebugMessage,
                                  reinterpret_cast<void**>(&message_service));
    if (r < 0) message_service = nullptr;
    return r;
}

const OmClassRecord classes[] = {
    {&CLSID_DebugMessage, nullptr, nullptr, DebugMessage::Create, "DebugMessage"}};

} // namespace

OmResult OmReportMessage(uint32_t severity, const char* text) {
    OmResult r = ensure_message_service();
    return r < 0 ? r : message_service->Report(severity, text);
}

OmResult OmSetMessageParameter(const char* name, const char* text) {
    OmResult r = ensure_message_service();
    return r < 0 ? r : message_service->SetParameter(name, text);
}

OmResult OmSetMessageParameterInt(const char* name, const char* format, int32_t value) {
    OmResult r = ensure_message_service();
    return r < 0 ? r : message_service->SetParameterInt(name, format, value);
}

void OmReleaseMessageService() {
    if (IDebugMessage* service = message_service) {
        message_service = nullptr;
        service->Release();
    }
}

OM_DEFINE_MODULE(DebugMessage, classes)
