// HTTP: the framework's own HTTP/1.1 client. Setting the file name sends one GET over the TCP
// stream, reads the response head (following redirects) and leaves the body to be read
// through a SyncStream over the connection.
#include "framework/core/class_registry.h"
#include "framework/core/com_ref.h"
#include "framework/core/component.h"
#include "framework/core/object_manager.h"
#include "framework/core/text_edit.h"
#include "framework/core/text_fields.h"
#include "framework/io/fifo_stream.h"
#include "framework/io/stream_helpers.h"
#include "framework/io/sync_stream.h"
#include "net/tcp/win32_tcp.h"
#include "net/web/url_fields.h"
#include "net/web/url_parts.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

// Between the head reader and the request loop only.
constexpr OmResult redirectResult = int32_t(0x80030200u);
constexpr uint16_t defaultPort = 80;
// Host, path and file name together, so the request fits its 2064-byte text.
constexpr size_t requestPartsMax = 2040;
constexpr int maxRedirects = 10;
constexpr uint32_t headerFieldMax = 19;
constexpr uint8_t CR = '\r';
constexpr uint8_t LF = '\n';

struct FreeText {
    void operator()(char* p) const { OmFreeMemory(p); }
};

// "name:digits" names a port; anything else is a name on port 80.
void split_host(const std::string& host, std::string& name, uint16_t& port) {
    name = host;
    port = defaultPort;
    const size_t colon = host.rfind(':');
    if (colon == std::string::npos || colon + 1 == host.size() || host.size() - colon > 6) return;
    uint32_t value = 0;
    for (size_t i = colon + 1; i < host.size(); ++i) {
        if (host[i] < '0' || host[i] > '9') return;
        value = value * 10 + uint32_t(host[i] - '0');
    }
    if (value == 0 || value > 0xffff) return;
    name = host.substr(0, colon);
    port = static_cast<uint16_t>(value);
}

// The response options of the body stream (expected length, bytes delivered) are visible
// through this component's ISyncStream, which forwards to it.
class HTTP final : public OmObject<HTTP, IOmUrlParts, IByteStream, ISyncStream> {
public:
    OmResult init() {
        OmResult r = OmCreate(CLSID_Win32TCP, IID_IOmTcp, tcp_.put());
        if (r < 0) return r;
        if ((r = tcp_->SetOption(OM_TCP_PORT, defaultPort)) < 0) return r;
        if ((r = OmCreate(CLSID_SyncStream, IID_ISyncStream, sync_.put())) < 0) return r;
        ComRef<IByteStream> source;
        if ((r = tcp_->QueryInterface(IID_IByteStream, source.put_void())) < 0) return r;
        if ((r = sync_->SetOption(OM_SYNC_INNER_STREAM, reinterpret_cast<intptr_t>(source.get()))) <
            0)
            return r;
        return sync_->QueryInterface(IID_IByteStream, body_.put_void());
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out,
                                  {{&IID_IOmUrlParts, static_cast<IOmUrlParts*>(this)},
                                   {&IID_IByteStream, static_cast<IByteStream*>(this)},
                                   {&IID_ISyncStream, static_cast<ISyncStream*>(this)}});
    }

    // --- IOmUrlParts ---

    OmResult SetPart(uint32_t id, const char* text) override {
        if (text == nullptr) return OM_E_FAIL;
        switch (id) {
        case OM_PART_HOST: return host_.set(text);
        case OM_PART_PATH:
            if (std::strlen(text) > OM_URL_PATH_MAX) return OM_E_FAIL;
            return path_.set(omweb::normalised_path(text));
        case OM_PART_FILE:
            if (file_.set(text) < 0) return OM_E_FAIL;
            return fetch();
        default: return OM_E_FAIL;
        }
    }

    OmResult GetPart(uint32_t id, char* buffer, uint32_t size) override {
        switch (id) {
        case OM_PART_HOST: return omweb::copy_out(host_.text, buffer, size);
        case OM_PART_PATH: return omweb::copy_out(path_.text, buffer, size);
        case OM_PART_FILE: return omweb::copy_out(file_.text, buffer, size);
        default: return OM_E_FAIL;
        }
    }

    // --- IByteStream ---

    // A body byte read with the end of the head comes first.
    OmResult Read(void* buffer, uint32_t count, uint32_t* done) override {
        auto* out = static_cast<uint8_t*>(buffer);
        uint32_t held = 0;
        if (count != 0 && held_ >= 0) {
            out[0] = static_cast<uint8_t>(held_);
            held_ = -1;
            held = 1;
            intptr_t delivered = 0;
            sync_->GetOption(OM_SYNC_BYTES_READ, &delivered);
            sync_->SetOption(OM_SYNC_BYTES_READ, delivered + 1);
        }
        uint32_t got = 0;
        const OmResult r = body_->Read(out + held, count - held, &got);
        if (done) *done = got + held;
        return r;
    }

    OmResult Write(const void* buffer, uint32_t count, uint32_t* done) override {
        return body_->Write(buffer, count, done);
    }

    OmResult Seek(int32_t, uint32_t, uint32_t*) override { return OM_E_FAIL; }

    // --- ISyncStream (the body stream's options; its source cannot be replaced) ---

    OmResult SetOption(uint32_t id, intptr_t value) override {
        if (id == OM_SYNC_INNER_STREAM) return OM_E_FAIL;
        return sync_->SetOption(id, value);
    }
    OmResult GetOption(uint32_t id, intptr_t* out) override { return sync_->GetOption(id, out); }

private:
    OmResult fetch() {
        for (int redirects = 0;; ++redirects) {
            if (host_.length() + path_.length() + file_.length() > requestPartsMax)
                return OM_E_FAIL;
            // A line end inside a part would end the request line or the Host header early
            // and let the rest pass for headers of the caller's making.
            for (const char* part : {host_.text, path_.text, file_.text})
                if (std::strpbrk(part, "\r\n") != nullptr) return OM_E_FAIL;
            std::string name;
            uint16_t port;
            split_host(host_.text, name, port);
            OmResult r = tcp_->SetOption(OM_TCP_PORT, port);
            if (r >= 0) r = tcp_->Connect(name.c_str());
            if (r < 0) return r;
            const std::string request = std::string("GET ") + path_.text + file_.text +
                                        " HTTP/1.1\nHost: " + host_.text + " \n\n";
            r = body_->Write(request.data(), static_cast<uint32_t>(request.size()), nullptr);
            if (r < 0) return r;
            r = read_head();
            if (r == redirectResult) {
                if (redirects == maxRedirects) return OM_E_FAIL;
                continue;
            }
            return r < 0 ? r : OM_S_OK;
        }
    }

    OmResult read_byte(uint8_t& byte) {
        uint32_t got = 0;
        const OmResult r = body_->Read(&byte, 1, &got);
        if (r < 0) return r;
        return got == 1 ? OM_S_OK : OM_E_FAIL;
    }

    // Lines end at CR, LF or a CR LF / LF CR pair; the empty line ends the head. The byte
    // read after the empty line's end is the body's first unless it completes a pair.
    OmResult read_head() {
        ComRef<IByteStream> line;
        OmResult r = OmCreate(CLSID_FifoStream, IID_IByteStream, line.put());
        if (r < 0) return r;
        end_of_head_ = false;
        held_ = -1;
        status_ = 0;
        sync_->SetOption(OM_SYNC_EXPECTED_LENGTH, -1);
        while (!end_of_head_) {
            uint8_t c;
            if ((r = read_byte(c)) < 0) return r;
            if (c != CR && c != LF) {
                if ((r = line->Write(&c, 1, nullptr)) < 0) return r;
                continue;
            }
            uint8_t n;
            if ((r = read_byte(n)) < 0) return r;
            if ((r = read_response(line.get())) < 0) return r;
            if (end_of_head_) {
                if (!((n == CR || n == LF) && n != c)) held_ = n;
                break;
            }
            if (n != CR && n != LF) {
                if ((r = line->Write(&n, 1, nullptr)) < 0) return r;
            } else if (n == c) {
                if ((r = read_response(line.get())) < 0) return r;
            }
        }
        return OM_S_OK;
    }

    // One head line: the empty line ends the head; headers give the body's length or a
    // redirect (on a 3xx status); a 404 status line fails the fetch.
    OmResult read_response(IByteStream* line) {
        char* raw = nullptr;
        OmResult r = OmStreamReadAll(line, &raw);
        if (r < 0) return r;
        const std::unique_ptr<char, FreeText> text(raw);
        if (text.get()[0] == 0) {
            end_of_head_ = true;
            return sync_->SetOption(OM_SYNC_BYTES_READ, 0);
        }
        char field[headerFieldMax + 1];
        if (OmCountFields(text.get(), ':') > 1) {
            OmGetField(text.get(), ':', 0, field, sizeof field);
            OmStringToLower(field);
            if (std::strcmp(field, "content-length") == 0) {
                char value[headerFieldMax + 1];
                OmGetField(text.get(), ':', 1, value, sizeof value);
                char* end = nullptr;
                const long length = std::strtol(value, &end, 10);
                if (end != value && length >= 0 && length <= INT32_MAX)
                    sync_->SetOption(OM_SYNC_EXPECTED_LENGTH, length);
            } else if (std::strcmp(field, "location") == 0 && status_ >= 300 && status_ < 400) {
                const char* value = std::strchr(text.get(), ':') + 1;
                if (*value == ' ') ++value;
                return redirect_to(value);
            }
            return OM_S_OK;
        }
        if (OmCountFields(text.get(), ' ') > 1) {
            OmGetField(text.get(), ' ', 0, field, sizeof field);
            OmStringToLower(field);
            if (std::strncmp(field, "http/1.", 7) == 0 && field[7] != 0 && field[8] == 0) {
                char code[headerFieldMax + 1];
                OmGetField(text.get(), ' ', 1, code, sizeof code);
                status_ = std::atoi(code);
                if (status_ == 404) return OM_E_NODOCUMENT;
            }
        }
        return OM_S_OK;
    }

    // An absolute Location names host, path and file name (the query stays with the file
    // name); one beginning with '/' keeps the host and its port; others are refused.
    OmResult redirect_to(const char* value) {
        std::string host = host_.text;
        std::string rest; // path, file name and query
        if (value[0] == '/') {
            rest = value;
        } else {
            if (std::strstr(value, "://") == nullptr) return OM_E_FAIL;
            char name[OM_URL_HOST_MAX + 1];
            if (OmUrlGetHost(value, name, sizeof name) < 0) return OM_E_FAIL;
            host = name;
            rest = std::strstr(value, "//") + 2 + host.size();
        }
        const size_t query = rest.find('?');
        const size_t last = rest.substr(0, query).rfind('/');
        std::string path = last == std::string::npos ? "/" : rest.substr(0, last + 1);
        std::string file = last == std::string::npos ? rest : rest.substr(last + 1);
        omweb::Field<OM_URL_HOST_MAX> h;
        omweb::Field<OM_URL_PATH_MAX> p;
        omweb::Field<OM_URL_FILE_MAX> f;
        if (h.set(host) < 0 || p.set(path) < 0 || f.set(file) < 0) return OM_E_FAIL;
        host_ = h;
        path_ = p;
        file_ = f;
        return redirectResult;
    }

    ComRef<IOmTcp> tcp_;
    ComRef<ISyncStream> sync_;
    ComRef<IByteStream> body_;
    int32_t held_ = -1;
    int32_t status_ = 0;
    bool end_of_head_ = false;
    omweb::Field<OM_URL_HOST_MAX> host_;
    omweb::Field<OM_URL_PATH_MAX> path_;
    omweb::Field<OM_URL_FILE_MAX> file_;
};

const GUID* const categories[] = {&CATID_OrmicHttpTP, nullptr};

const OmClassRecord classes[] = {
    {&CLSID_HTTP, categories, nullptr, OmCreateComponent<HTTP>, "HTTP"}};

} // namespace

OmResult HTTP_GetClassObject(const GUID& clsid, const GUID& iid, void** out) {
    return OmGetClassObjectFromTable(classes, int32_t(std::size(classes)), clsid, iid, out);
}

// HTTP is the category's selected class, so "http" URLs come here rather than to whichever
// other class of the category the registry lists first.
OmResult HTTP_RegisterClasses(IObjectManager* manager) {
    OmResult r =
        OmRegisterClassTable(classes, int32_t(std::size(classes)), HTTP_GetClassObject, manager);
    if (r < 0) return r;
    return OmSelectClassOfCategory(manager->GetClassRegistry(), CLSID_HTTP);
}

OmResult HTTP_UnregisterClasses(IObjectManager* manager) {
    return OmUnregisterClassTable(classes, int32_t(std::size(classes)), manager);
}
