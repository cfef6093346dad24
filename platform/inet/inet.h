// The internet-file service the WinINet-style stream stands on: a session, URLs opened with
// their response head received, and their bodies read incrementally through a bounded
// buffer. HTTP, HTTPS (certificates verified) and FTP.
#pragma once

#include <cstdint>

namespace platform {

struct InetHandle;
using HINTERNET = InetHandle*;

inline constexpr uint32_t INTERNET_OPEN_TYPE_PRECONFIG = 0;
inline constexpr uint32_t INTERNET_FLAG_RELOAD = 0x80000000u;

// Last-error values the calls leave behind (per thread).
inline constexpr uint32_t ERROR_SUCCESS = 0;
inline constexpr uint32_t ERROR_FILE_NOT_FOUND = 2;
inline constexpr uint32_t ERROR_INVALID_HANDLE = 6;
inline constexpr uint32_t ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr uint32_t ERROR_INTERNET_TIMEOUT = 12002;
inline constexpr uint32_t ERROR_INTERNET_EXTENDED_ERROR = 12003;
inline constexpr uint32_t ERROR_INTERNET_UNRECOGNIZED_SCHEME = 12006;
inline constexpr uint32_t ERROR_INTERNET_NAME_NOT_RESOLVED = 12007;
inline constexpr uint32_t ERROR_INTERNET_CANNOT_CONNECT = 12029;
inline constexpr uint32_t ERROR_INTERNET_SEC_CERT_ERROR = 12055;

// A session; null (last error set) when the service cannot start.
HINTERNET InternetOpenA(const char* agent, uint32_t accessType, const char* proxy,
                        const char* proxyBypass, uint32_t flags);
// Opens `url` (http, https or ftp) and waits for its response head. INTERNET_FLAG_RELOAD asks
// caches on the way for a fresh copy. Null on failure, with ERROR_FILE_NOT_FOUND for a
// missing document (status 404, or no such FTP file).
HINTERNET InternetOpenUrlA(HINTERNET session, const char* url, const char* headers,
                           uint32_t headersLength, uint32_t flags, uintptr_t context);
// Reads until `toRead` bytes are in or the document ends; *read = 0 at its end. False when
// the transfer failed (last error set).
bool InternetReadFile(HINTERNET file, void* buffer, uint32_t toRead, uint32_t* read);
// Closes a session or an opened URL (a session's URLs first).
bool InternetCloseHandle(HINTERNET handle);

uint32_t InternetGetLastError();

// A certificate authority file trusted besides the system's store (null: the store only).
void inet_set_extra_ca_file(const char* path);
// Handles (sessions and URLs) not yet closed.
int inet_open_handles();
// Body bytes an opened URL holds, received and not yet read (at most about 256 KiB).
uint32_t inet_buffered_bytes(HINTERNET file);

} // namespace platform
