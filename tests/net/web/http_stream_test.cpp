// The HTTP stream against a Python document server on loopback (large bodies, 404s from both
// protocol versions, redirects, directory redirects, a Location on a 200) and against a raw
// server of the test's own (the exact request, head endings, refused parts, keep-alive).
#include "platform/clock.h"
#include "tests/net/web/web_test_support.h"
#include "tests/support/virtual_clock.h"
#include "tests/support/web_fixture.h"

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>

namespace {

using testsupport::PythonWebServer;
using testsupport::RawHttpServer;
using webtest::WebTest;

class HttpStream : public WebTest {
protected:
    void TearDown() override {
        OmTcpSetResolver(nullptr);
        WebTest::TearDown();
    }
};

TEST_F(HttpStream, ReadsALargeDocumentInOddChunksByteForByte) {
    PythonWebServer server(PythonWebServer::Kind::http);
    ASSERT_TRUE(server.running());
    const std::string body = testsupport::patterned_bytes(1 << 20);
    server.write("big.bin", body);
    ComRef<IOmUrlParts> h = http();
    ASSERT_EQ(fetch(h.get(), server.host(), "/", "big.bin"), 0);
    auto options = query<ISyncStream>(h.get(), IID_ISyncStream);
    intptr_t length = 0;
    ASSERT_EQ(options->GetOption(OM_SYNC_EXPECTED_LENGTH, &length), 0);
    EXPECT_EQ(length, 1 << 20);

    auto stream = query<IByteStream>(h.get(), IID_IByteStream);
    OmResult last = 0;
    const std::string got = read_all(stream.get(), &last, {1, 7, 333, 4093, 65537});
    EXPECT_EQ(last, OM_E_STREAMENDED);
    EXPECT_TRUE(got == body) << "got " << got.size() << " bytes";
    intptr_t delivered = 0;
    ASSERT_EQ(options->GetOption(OM_SYNC_BYTES_READ, &delivered), 0);
    EXPECT_EQ(delivered, 1 << 20);

    // Past the end the stream says so at once.
    const auto before = std::chrono::steady_clock::now();
    char b[16];
    uint32_t count = 5;
    EXPECT_EQ(stream->Read(b, sizeof b, &count), OM_E_STREAMENDED);
    EXPECT_EQ(count, 0u);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5));
}

TEST_F(HttpStream, FollowsRedirectsAndRefusesWhatItShould) {
    PythonWebServer server(PythonWebServer::Kind::http);
    ASSERT_TRUE(server.running());
    server.write("other.txt", "the other one");
    server.write("dir/inside.txt", "x");
    struct Row {
        const char* file;
        OmResult result;
        const char* body; // a part of it, or null
    };
    const Row rows[] = {
        {"missing.txt", OM_E_NODOCUMENT, nullptr},   // Python's 404 page is HTTP/1.0
        {"missing11.txt", OM_E_NODOCUMENT, nullptr}, // an HTTP/1.1 handler's 404
        {"redirect", 0, "the other one"},
        {"loop", OM_E_FAIL, nullptr},
        {"dir", 0, "inside.txt"},
        {"located.txt", 0, "located body"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        ComRef<IOmUrlParts> h = http();
        EXPECT_EQ(fetch(h.get(), server.host(), "/", row.file), row.result);
        if (row.body == nullptr) continue;
        OmResult last = 0;
        const std::string got = read_all(query<IByteStream>(h.get(), IID_IByteStream).get(), &last);
        EXPECT_NE(got.find(row.body), std::string::npos) << got;
        EXPECT_EQ(last, OM_E_STREAMENDED);
    }
    const std::vector<std::string> seen = server.requests();
    EXPECT_EQ(std::count(seen.begin(), seen.end(), "/loop"), 11); // the first and 10 redirects
    EXPECT_NE(std::find(seen.begin(), seen.end(), "/other.txt?q=1"), seen.end());
    EXPECT_NE(std::find(seen.begin(), seen.end(), "/dir/"), seen.end());
    EXPECT_EQ(std::find(seen.begin(), seen.end(), "/elsewhere.txt"), seen.end());
}

TEST_F(HttpStream, SendsTheRequestExactlyAndDeliversTheBodyAfterAnyHeadEnding) {
    const char* endings[] = {"\r\n\r\n", "\r\n\n", "\n\n", "\n\r\n\r", "\r\r"};
    for (const char* ending : endings) {
        SCOPED_TRACE(testing::PrintToString(std::string(ending)));
        RawHttpServer server(
            {std::string("HTTP/1.1 200 OK\r\nContent-Length: 3") + ending + "abc"});
        ComRef<IOmUrlParts> h = http();
        ASSERT_EQ(fetch(h.get(), server.host(), "docs", "a.txt"), 0);
        EXPECT_EQ(server.requests(), std::vector<std::string>{"GET /docs/a.txt HTTP/1.1\nHost: " +
                                                              server.host() + " \n\n"});
        auto stream = query<IByteStream>(h.get(), IID_IByteStream);
        char b[3] = {};
        uint32_t count = 0;
        EXPECT_EQ(stream->Read(b, 3, &count), 0);
        EXPECT_EQ(std::string(b, count), "abc");
        intptr_t delivered = 0;
        query<ISyncStream>(h.get(), IID_ISyncStream)->GetOption(OM_SYNC_BYTES_READ, &delivered);
        EXPECT_EQ(delivered, 3);
    }
}

TEST_F(HttpStream, UrlOpenFetchesHttpUrlsWithTheCategorysChoice) {
    RawHttpServer server({"HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"});
    ComRef<IOmUrl> u = url("http://" + server.host() + "/docs/a.txt");
    ComRef<IByteStream> s;
    ASSERT_EQ(u->Open(s.put()), 0);
    EXPECT_EQ(server.requests(), std::vector<std::string>{
                                     "GET /docs/a.txt HTTP/1.1\nHost: " + server.host() + " \n\n"});
    char b[2];
    uint32_t count = 0;
    EXPECT_EQ(s->Read(b, 2, &count), 0);
    EXPECT_EQ(std::string(b, count), "ok");
}

TEST_F(HttpStream, RefusedPartsSendNothing) {
    RawHttpServer server({"HTTP/1.1 200 OK\r\n\r\n"});
    ComRef<IOmUrlParts> h = http();
    EXPECT_EQ(h->SetPart(OM_PART_RELOAD, "x"), OM_E_FAIL);
    EXPECT_EQ(h->SetPart(OM_PART_HOST, std::string(128, 'h').c_str()), OM_E_FAIL);
    EXPECT_EQ(h->SetPart(OM_PART_PATH, std::string(1024, 'p').c_str()), OM_E_FAIL);
    EXPECT_EQ(h->SetPart(OM_PART_FILE, std::string(1024, 'f').c_str()), OM_E_FAIL);
    // Each part fits, but not all three in one request (2040 characters at most).
    EXPECT_EQ(fetch(h.get(), server.host(), std::string(1010, 'p'), std::string(1023, 'f')),
              OM_E_FAIL);
    // A line end in any part would put text of the caller's making among the headers.
    for (const auto& [path, file] : {std::pair{"/a\r\nX-Injected: 1\r\n/", "f"},
                                     std::pair{"/", "f.txt HTTP/1.1\nHost: elsewhere\n\n"},
                                     std::pair{"/", "f\r"}})
        EXPECT_EQ(fetch(h.get(), server.host(), path, file), OM_E_FAIL) << file;
    EXPECT_EQ(fetch(h.get(), server.host() + "\n", "/", "f"), OM_E_FAIL);
    char b[8];
    EXPECT_EQ(h->GetPart(OM_PART_HOST, b, sizeof b), OM_E_FAIL); // "127.0.0.1:port" is longer
    EXPECT_EQ(h->GetPart(4, b, sizeof b), OM_E_FAIL);
    EXPECT_EQ(server.connections(), 0);
}

TEST_F(HttpStream, ARedirectThatMakesTheRequestTooLongStops) {
    RawHttpServer server({"HTTP/1.1 301 Moved\r\nLocation: /" + std::string(1010, 'p') + "/" +
                              std::string(1023, 'f') + "\r\n\r\n",
                          "HTTP/1.1 200 OK\r\n\r\n"});
    ComRef<IOmUrlParts> h = http();
    EXPECT_EQ(fetch(h.get(), server.host(), "/", "start"), OM_E_FAIL);
    EXPECT_EQ(server.connections(), 1);
    // A relative Location that does not begin with '/' is not followed either.
    RawHttpServer relative({"HTTP/1.1 302 Found\r\nLocation: next.txt\r\n\r\n"});
    EXPECT_EQ(fetch(h.get(), relative.host(), "/", "start"), OM_E_FAIL);
    EXPECT_EQ(relative.connections(), 1);
}

// Names of the fake resolver: the long one and 127.0.0.1 are the loopback address.
const std::string longName = std::string(40, 'n') + ".test";
bool long_name_resolver(const char* host, uint32_t* address) {
    if (host != longName && std::string(host) != "127.0.0.1") return false;
    *address = htonl(INADDR_LOOPBACK);
    return true;
}

TEST_F(HttpStream, FollowsALocationToAnotherHostAndPortWithALongName) {
    OmTcpSetResolver(long_name_resolver);
    RawHttpServer target({"HTTP/1.0 200 OK\r\n\r\nthere"});
    RawHttpServer first({"HTTP/1.1 307 Temporary\r\nLocation: http://" + longName + ":" +
                         std::to_string(target.port()) + "/b/c.txt?x=/y\r\n\r\n"});
    ComRef<IOmUrlParts> h = http();
    EXPECT_EQ(fetch(h.get(), first.host(), "/", "a.txt"), 0);
    EXPECT_EQ(target.requests(),
              std::vector<std::string>{"GET /b/c.txt?x=/y HTTP/1.1\nHost: " + longName + ":" +
                                       std::to_string(target.port()) + " \n\n"});
    OmResult last = 0;
    EXPECT_EQ(read_all(query<IByteStream>(h.get(), IID_IByteStream).get(), &last), "there");
}

TEST_F(HttpStream, KeepAliveBodyEndsByItsLengthOrTimesOut) {
    RawHttpServer server({"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello"}, true);
    ComRef<IOmUrlParts> h = http();
    ASSERT_EQ(fetch(h.get(), server.host(), "/", "kept.txt"), 0);
    auto stream = query<IByteStream>(h.get(), IID_IByteStream);
    char b[8] = {};
    uint32_t count = 0;
    EXPECT_EQ(stream->Read(b, 5, &count), 0);
    EXPECT_EQ(std::string(b, count), "hello");

    // Nothing more comes while the server keeps the connection: the body stream's idle time.
    testsupport::VirtualClockScope clock;
    EXPECT_EQ(stream->Read(b, 1, &count), OM_E_STREAMTIMEOUT);
    EXPECT_EQ(count, 0u);
    EXPECT_GE(platform::timeGetTime(), OM_SYNC_DEFAULT_TIMEOUT_MS);
}

} // namespace
