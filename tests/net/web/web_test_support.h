// The web tests' fixture: the framework with the web, TCP, stream and storage modules, and
// helpers that make components and read streams to their end.
#pragma once

#include "framework/core/com_ref.h"
#include "framework/core/object_manager.h"
#include "framework/io/fifo_stream.h"
#include "framework/io/memory_stream.h"
#include "framework/io/sync_stream.h"
#include "framework/platform/file_storage.h"
#include "net/tcp/win32_tcp.h"
#include "net/web/url_parts.h"
#include "tests/support/framework_fixture.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace webtest {

class WebTest : public testsupport::FrameworkTest {
protected:
    void SetUp() override {
        IObjectManager* m = OmGetObjectManager();
        for (auto reg :
             {Win32TCP_RegisterClasses, SyncStream_RegisterClasses, FifoStream_RegisterClasses,
              MemoryStream_RegisterClasses, Win32Storage_RegisterClasses, File_RegisterClasses,
              HTTP_RegisterClasses, URL_RegisterClasses, Win32InetStream_RegisterClasses})
            ASSERT_EQ(reg(m), 0);
    }
    static ComRef<IOmUrl> url(const std::string& text = "") {
        ComRef<IOmUrl> u;
        EXPECT_EQ(OmCreate(CLSID_URL, IID_IOmUrl, u.put()), 0);
        if (u && !text.empty()) {
            EXPECT_EQ(u->SetPart(OM_URL_TEXT, text.c_str()), 0);
        }
        return u;
    }
    static ComRef<IOmUrlParts> http() {
        ComRef<IOmUrlParts> h;
        EXPECT_EQ(OmCreate(CLSID_HTTP, IID_IOmUrlParts, h.put()), 0);
        return h;
    }
    template <class T>
    static ComRef<T> query(IUnknown* object, const GUID& iid) {
        ComRef<T> out;
        EXPECT_EQ(object->QueryInterface(iid, out.put_void()), 0);
        return out;
    }
    // Fetches host, path and file name; the fetch's result.
    static OmResult fetch(IOmUrlParts* h, const std::string& host, const std::string& path,
                          const std::string& file) {
        EXPECT_EQ(h->SetPart(OM_PART_HOST, host.c_str()), 0);
        EXPECT_EQ(h->SetPart(OM_PART_PATH, path.c_str()), 0);
        return h->SetPart(OM_PART_FILE, file.c_str());
    }
    // Reads in chunks of the given sizes (cycled) until a read fails; that result in *last.
    static std::string read_all(IByteStream* s, OmResult* last,
                                std::vector<uint32_t> chunks = {4096}) {
        std::string out;
        std::vector<char> b(*std::max_element(chunks.begin(), chunks.end()));
        for (size_t i = 0;; ++i) {
            uint32_t count = 0;
            const uint32_t want = chunks[i % chunks.size()];
            const OmResult r = s->Read(b.data(), want, &count);
            out.append(b.data(), count);
            if (r != 0) {
                *last = r;
                return out;
            }
        }
    }
};

} // namespace webtest
