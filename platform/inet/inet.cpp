// The internet-file service over libcurl's multi interface: an opened URL runs its transfer
// until the response head is in; reads drive the transfer on, waiting in curl's poll, and the
// body passes through a bounded buffer (the transfer pauses while it is full).
#include "platform/inet/inet.h"

#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <strings.h>
#include <vector>

namespace platform {

struct InetHandle {
    bool session = false;
    InetHandle* owner = nullptr;   // a URL's session
    std::vector<InetHandle*> urls; // a session's open URLs
    CURLM* multi = nullptr;
    CURL* easy = nullptr;
    curl_slist* headers = nullptr;
    std::vector<uint8_t> buffer; // received, not yet read, from `taken` on
    size_t taken = 0;
    bool paused = false;
    bool headDone = false;
    bool done = false;
    CURLcode result = CURLE_OK;
};

namespace {

constexpr size_t bufferLimit = 256 * 1024;
constexpr int pollMs = 1000;
constexpr long connectTimeoutS = 30;
constexpr long stallTimeoutS = 120;
constexpr const char* systemCaPath = "/etc/ssl/certs";

thread_local uint32_t lastError = ERROR_SUCCESS;
std::atomic<int> openHandles{0};
std::mutex settingsLock;
std::string extraCaFile;

size_t available(const InetHandle* h) {
    return h->buffer.size() - h->taken;
}

// Takes the data unless the buffer already holds some and this would pass the limit.
size_t on_body(char* data, size_t size, size_t count, void* user) {
    auto* h = static_cast<InetHandle*>(user);
    const size_t length = size * count;
    if (available(h) != 0 && available(h) + length > bufferLimit) {
        h->paused = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    if (h->taken != 0) {
        h->buffer.erase(h->buffer.begin(), h->buffer.begin() + static_cast<ptrdiff_t>(h->taken));
        h->taken = 0;
    }
    h->buffer.insert(h->buffer.end(), data, data + length);
    return length;
}

// The blank line after a final (not informational, not redirecting) status ends the head.
size_t on_header(char* data, size_t size, size_t count, void* user) {
    auto* h = static_cast<InetHandle*>(user);
    const size_t length = size * count;
    if ((length == 2 && data[0] == '\r') || (length == 1 && data[0] == '\n')) {
        long code = 0;
        curl_easy_getinfo(h->easy, CURLINFO_RESPONSE_CODE, &code);
        if (code >= 200 && (code < 300 || code >= 400)) h->headDone = true;
    }
    return length;
}

uint32_t error_of(CURLcode code) {
    switch (code) {
    case CURLE_REMOTE_FILE_NOT_FOUND: return ERROR_FILE_NOT_FOUND;
    case CURLE_COULDNT_RESOLVE_HOST: return ERROR_INTERNET_NAME_NOT_RESOLVED;
    case CURLE_COULDNT_CONNECT: return ERROR_INTERNET_CANNOT_CONNECT;
    case CURLE_OPERATION_TIMEDOUT: return ERROR_INTERNET_TIMEOUT;
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT: return ERROR_INTERNET_UNRECOGNIZED_SCHEME;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CERTPROBLEM: return ERROR_INTERNET_SEC_CERT_ERROR;
    case CURLE_OUT_OF_MEMORY: return ERROR_NOT_ENOUGH_MEMORY;
    default: return ERROR_INTERNET_EXTENDED_ERROR;
    }
}

// Runs the transfer on; with `wait`, first waits (in poll) for something to do.
void pump(InetHandle* h, bool wait) {
    int running = 0;
    if (wait) curl_multi_poll(h->multi, nullptr, 0, pollMs, nullptr);
    curl_multi_perform(h->multi, &running);
    int left = 0;
    while (CURLMsg* m = curl_multi_info_read(h->multi, &left))
        if (m->msg == CURLMSG_DONE) {
            h->done = true;
            h->result = m->data.result;
        }
}

void resume(InetHandle* h) {
    if (!h->paused) return;
    h->paused = false;
    curl_easy_pause(h->easy, CURLPAUSE_CONT);
}

void close_url(InetHandle* h) {
    if (h->multi != nullptr && h->easy != nullptr) curl_multi_remove_handle(h->multi, h->easy);
    if (h->easy != nullptr) curl_easy_cleanup(h->easy);
    if (h->multi != nullptr) curl_multi_cleanup(h->multi);
    curl_slist_free_all(h->headers);
    if (h->owner != nullptr) std::erase(h->owner->urls, h);
    delete h;
    --openHandles;
}

bool start_library() {
    static std::once_flag once;
    static CURLcode result = CURLE_OK;
    std::call_once(once, [] { result = curl_global_init(CURL_GLOBAL_DEFAULT); });
    return result == CURLE_OK;
}

bool configure(InetHandle* h, const char* url, uint32_t flags) {
    CURL* e = h->easy;
    bool ok = curl_easy_setopt(e, CURLOPT_URL, url) == CURLE_OK;
    curl_easy_setopt(e, CURLOPT_PRIVATE, h);
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https,ftp");
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https,ftp");
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT, connectTimeoutS);
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, stallTimeoutS);
    curl_easy_setopt(e, CURLOPT_NOPROXY, "localhost,127.0.0.1,::1");
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, on_body);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, h);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, on_header);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, h);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 2L);
    {
        std::lock_guard guard(settingsLock);
        if (!extraCaFile.empty()) {
            curl_easy_setopt(e, CURLOPT_CAINFO, extraCaFile.c_str());
            curl_easy_setopt(e, CURLOPT_CAPATH, systemCaPath);
        }
    }
    if ((flags & INTERNET_FLAG_RELOAD) != 0) {
        h->headers = curl_slist_append(h->headers, "Cache-Control: no-cache");
        h->headers = curl_slist_append(h->headers, "Pragma: no-cache");
        curl_easy_setopt(e, CURLOPT_HTTPHEADER, h->headers);
    }
    return ok;
}

} // namespace

HINTERNET InternetOpenA(const char*, uint32_t, const char*, const char*, uint32_t) {
    if (!start_library()) {
        lastError = ERROR_INTERNET_EXTENDED_ERROR;
        return nullptr;
    }
    auto* h = new InetHandle;
    h->session = true;
    ++openHandles;
    lastError = ERROR_SUCCESS;
    return h;
}

HINTERNET InternetOpenUrlA(HINTERNET session, const char* url, const char*, uint32_t,
                           uint32_t flags, uintptr_t) {
    if (session == nullptr || !session->session || url == nullptr) {
        lastError = ERROR_INVALID_HANDLE;
        return nullptr;
    }
    auto* h = new InetHandle;
    ++openHandles;
    h->owner = session;
    session->urls.push_back(h);
    h->multi = curl_multi_init();
    h->easy = curl_easy_init();
    if (h->multi == nullptr || h->easy == nullptr || !configure(h, url, flags) ||
        curl_multi_add_handle(h->multi, h->easy) != CURLM_OK) {
        close_url(h);
        lastError = ERROR_INTERNET_UNRECOGNIZED_SCHEME;
        return nullptr;
    }
    pump(h, false);
    while (!h->done && !h->headDone && available(h) == 0) {
        if (h->paused) resume(h);
        pump(h, true);
    }
    uint32_t error = ERROR_SUCCESS;
    if (h->done && h->result != CURLE_OK && available(h) == 0) error = error_of(h->result);
    long code = 0;
    curl_easy_getinfo(h->easy, CURLINFO_RESPONSE_CODE, &code);
    const char* scheme = nullptr;
    curl_easy_getinfo(h->easy, CURLINFO_SCHEME, &scheme);
    const bool web =
        scheme != nullptr && (strcasecmp(scheme, "http") == 0 || strcasecmp(scheme, "https") == 0);
    if (error == ERROR_SUCCESS && web && code == 404) error = ERROR_FILE_NOT_FOUND;
    if (error != ERROR_SUCCESS) {
        close_url(h);
        lastError = error;
        return nullptr;
    }
    lastError = ERROR_SUCCESS;
    return h;
}

bool InternetReadFile(HINTERNET file, void* buffer, uint32_t toRead, uint32_t* read) {
    if (read != nullptr) *read = 0;
    if (file == nullptr || file->session || read == nullptr) {
        lastError = ERROR_INVALID_HANDLE;
        return false;
    }
    auto* out = static_cast<uint8_t*>(buffer);
    uint32_t total = 0;
    while (total < toRead) {
        if (const size_t ready = available(file); ready != 0) {
            const size_t n = std::min<size_t>(ready, toRead - total);
            std::memcpy(out + total, file->buffer.data() + file->taken, n);
            file->taken += n;
            total += static_cast<uint32_t>(n);
            if (file->taken == file->buffer.size()) {
                file->buffer.clear();
                file->taken = 0;
            }
            continue;
        }
        if (file->done) {
            if (file->result != CURLE_OK && total == 0) {
                lastError = error_of(file->result);
                return false;
            }
            break;
        }
        resume(file);
        pump(file, true);
    }
    if (available(file) < bufferLimit) resume(file);
    *read = total;
    lastError = ERROR_SUCCESS;
    return true;
}

bool InternetCloseHandle(HINTERNET handle) {
    if (handle == nullptr) {
        lastError = ERROR_INVALID_HANDLE;
        return false;
    }
    if (handle->session) {
        while (!handle->urls.empty()) close_url(handle->urls.back());
        delete handle;
        --openHandles;
    } else {
        close_url(handle);
    }
    lastError = ERROR_SUCCESS;
    return true;
}

uint32_t InternetGetLastError() {
    return lastError;
}

void inet_set_extra_ca_file(const char* path) {
    std::lock_guard guard(settingsLock);
    extraCaFile = path != nullptr ? path : "";
}

int inet_open_handles() {
    return openHandles.load();
}

uint32_t inet_buffered_bytes(HINTERNET file) {
    return file == nullptr || file->session ? 0 : static_cast<uint32_t>(available(file));
}

} // namespace platform
