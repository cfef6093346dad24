// The internet-file service against a loopback document server: a large body held back by
// the bounded buffer while the reader lags, the end of the data, missing documents, handles
// that are not URLs, and a session's close taking its URLs with it.
#include "platform/inet/inet.h"
#include "tests/support/web_fixture.h"

#include <gtest/gtest.h>
#include <string>

namespace {

using namespace platform;
using testsupport::PythonWebServer;

TEST(Inet, ReadsALargeBodyThroughABoundedBuffer) {
    PythonWebServer server(PythonWebServer::Kind::http);
    ASSERT_TRUE(server.running());
    const std::string body = testsupport::patterned_bytes(4 << 20);
    server.write("big.bin", body);
    const int before = inet_open_handles();
    HINTERNET session = InternetOpenA(nullptr, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    ASSERT_NE(session, nullptr);
    HINTERNET url = InternetOpenUrlA(session, ("http://" + server.host() + "/big.bin").c_str(),
                                     nullptr, 0, INTERNET_FLAG_RELOAD, 0);
    ASSERT_NE(url, nullptr);
    std::string got;
    char b[1000];
    uint32_t read = 0;
    for (;;) {
        ASSERT_TRUE(InternetReadFile(url, b, sizeof b, &read));
        if (read == 0) break;
        got.append(b, read);
        ASSERT_LE(inet_buffered_bytes(url), 320u * 1024) << "after " << got.size();
    }
    EXPECT_TRUE(got == body) << got.size() << " bytes";
    EXPECT_TRUE(InternetReadFile(url, b, sizeof b, &read));
    EXPECT_EQ(read, 0u);

    EXPECT_FALSE(InternetReadFile(session, b, sizeof b, &read));
    EXPECT_EQ(InternetGetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(InternetOpenUrlA(session, ("http://" + server.host() + "/none.txt").c_str(), nullptr,
                               0, 0, 0),
              nullptr);
    EXPECT_EQ(InternetGetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(InternetOpenUrlA(session, "gopher://127.0.0.1/x", nullptr, 0, 0, 0), nullptr);
    EXPECT_NE(InternetGetLastError(), ERROR_FILE_NOT_FOUND);

    // Closing the session closes the URLs still open on it.
    ASSERT_NE(InternetOpenUrlA(session, ("http://" + server.host() + "/big.bin").c_str(), nullptr,
                               0, 0, 0),
              nullptr);
    EXPECT_EQ(inet_open_handles(), before + 3);
    EXPECT_TRUE(InternetCloseHandle(session));
    EXPECT_EQ(inet_open_handles(), before);
}

} // namespace
