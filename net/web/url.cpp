// URL: a URL kept as scheme, host, path and file name; parses absolute and relative texts and
// opens the stream component that suits the scheme.
#include "framework/core/com_ref.h"
#include "framework/core/component.h"
#include "framework/core/object_manager.h"
#include "net/web/url_fields.h"
#include "net/web/url_parts.h"

#include <cstring>
#include <string>

namespace {

class URL final : public OmObject<URL, IOmUrl> {
public:
    OmResult init() {
        scheme_.set("http");
        host_.set("localhost");
        path_.set("/Ormic6/");
        file_.set("ponents.txt");
        return OM_S_OK;
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IOmUrl, static_cast<IOmUrl*>(this)}});
    }

    OmResult SetPart(uint32_t id, const char* text) override {
        if (text == nullptr) return OM_E_FAIL;
        switch (id) {
        case OM_URL_TEXT:
        case OM_URL_RELATIVE: return parse(text);
        case OM_URL_SCHEME:
            if (scheme_.set(text) < 0) return OM_E_FAIL;
            host_.clear();
            path_.clear();
            file_.clear();
            return OM_S_OK;
        case OM_URL_HOST:
            if (host_.set(text) < 0) return OM_E_FAIL;
            path_.clear();
            file_.clear();
            return OM_S_OK;
        case OM_URL_PATH: {
            omweb::Field<OM_URL_PATH_MAX> path;
            if (path.set(omweb::normalised_path(text)) < 0) return OM_E_FAIL;
            path_ = path;
            file_.clear();
            return OM_S_OK;
        }
        case OM_URL_FILE: return file_.set(text);
        case OM_URL_RELOAD: reload_ = text[0] != 0 ? 1 : 0; return OM_S_OK;
        default: return OM_E_FAIL;
        }
    }

    OmResult GetPart(uint32_t id, char* buffer, uint32_t size) override {
        switch (id) {
        case OM_URL_TEXT:
            return omweb::copy_out(
                (std::string(scheme_.text) + "://" + host_.text + path_.text + file_.text).c_str(),
                buffer, size);
        case OM_URL_SCHEME: return omweb::copy_out(scheme_.text, buffer, size);
        case OM_URL_HOST: return omweb::copy_out(host_.text, buffer, size);
        case OM_URL_PATH: return omweb::copy_out(path_.text, buffer, size);
        case OM_URL_FILE: return omweb::copy_out(file_.text, buffer, size);
        case OM_URL_RELATIVE:
            return omweb::copy_out((std::string(path_.text) + file_.text).c_str(), buffer, size);
        case OM_URL_RELOAD:
            if (buffer == nullptr || size < 1) return OM_E_FAIL;
            buffer[0] = static_cast<char>(reload_);
            return OM_S_OK;
        default: return OM_E_FAIL;
        }
    }

    OmResult Open(IByteStream** out) override {
        if (out == nullptr) return OM_E_FAIL;
        *out = nullptr;
        const std::string scheme = scheme_.text;
        ComRef<IOmUrlParts> parts;
        OmResult r;
        const bool inet = scheme == "https" || scheme == "ftp";
        if (scheme == "http")
            r = OmCreateInstanceOfCategory(CATID_OrmicHttpTP, nullptr, 0, IID_IOmUrlParts,
                                           parts.put_void());
        else if (scheme == "file")
            r = OmCreate(CLSID_File, IID_IOmUrlParts, parts.put());
        else if (inet)
            r = OmCreate(CLSID_Win32InetStream, IID_IOmUrlParts, parts.put());
        else
            return OM_E_UNKNOWNSCHEME;
        if (r < 0) return r;
        if (!parts) return OM_E_UNKNOWNSCHEME;
        ComRef<IByteStream> stream;
        if (parts->QueryInterface(IID_IByteStream, stream.put_void()) < 0 || !stream)
            return OM_E_NOBYTESTREAM;
        if ((r = parts->SetPart(OM_PART_HOST, host_.text)) < 0) return r;
        if ((r = parts->SetPart(OM_PART_PATH, path_.text)) < 0) return r;
        // The WinINet stream fetches with the URL's own scheme.
        if (inet && (r = parts->SetPart(OM_PART_SCHEME, scheme_.text)) < 0) return r;
        const char reload[4] = {static_cast<char>(reload_), 0, 0, 0};
        parts->SetPart(OM_PART_RELOAD, reload);
        if ((r = parts->SetPart(OM_PART_FILE, file_.text)) < 0) return r;
        *out = stream.get();
        (*out)->AddRef();
        return OM_S_OK;
    }

private:
    // Absolute texts give every part; relative ones keep the scheme and host and give the
    // path (from the current one unless the text begins with '/') and the file name. Nothing
    // changes when a part is too long, the text is malformed, or the parts' whole text would
    // not read back as them.
    OmResult parse(const std::string& text) {
        omweb::Field<OM_URL_SCHEME_MAX> scheme = scheme_;
        omweb::Field<OM_URL_HOST_MAX> host = host_;
        omweb::Field<OM_URL_PATH_MAX> path = path_;
        omweb::Field<OM_URL_FILE_MAX> file;
        const size_t mark = text.find("://");
        if (mark != std::string::npos) {
            if (text.find("://", mark + 1) != std::string::npos) return OM_E_FAIL;
            const std::string rest = text.substr(mark + 3);
            const size_t first = rest.find('/');
            if (first == std::string::npos) return OM_E_FAIL;
            const size_t last = rest.rfind('/');
            if (scheme.set(text.substr(0, mark)) < 0 || host.set(rest.substr(0, first)) < 0 ||
                path.set(rest.substr(first, last - first + 1)) < 0 ||
                file.set(rest.substr(last + 1)) < 0)
                return OM_E_FAIL;
        } else {
            const size_t last = text.rfind('/');
            if (last == std::string::npos) {
                if (file.set(text) < 0) return OM_E_FAIL;
            } else {
                const std::string head = text.substr(0, last + 1);
                if (path.set(text[0] == '/' ? head : std::string(path_.text) + head) < 0 ||
                    file.set(text.substr(last + 1)) < 0)
                    return OM_E_FAIL;
            }
        }
        // The whole text must read back as these parts: a relative path beginning with "//"
        // after a host ending in ':' would make a second "://" of it.
        const std::string whole =
            std::string(scheme.text) + "://" + host.text + path.text + file.text;
        if (whole.find("://", std::strlen(scheme.text) + 1) != std::string::npos) return OM_E_FAIL;
        scheme_ = scheme;
        host_ = host;
        path_ = path;
        file_ = file;
        return OM_S_OK;
    }

    uint32_t reload_ = 0;
    omweb::Field<OM_URL_SCHEME_MAX> scheme_;
    omweb::Field<OM_URL_HOST_MAX> host_;
    omweb::Field<OM_URL_PATH_MAX> path_;
    omweb::Field<OM_URL_FILE_MAX> file_;
};

const OmClassRecord classes[] = {{&CLSID_URL, nullptr, nullptr, OmCreateComponent<URL>, "URL"}};

} // namespace

OM_DEFINE_MODULE(URL, classes)
