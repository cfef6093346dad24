// Win32InetStream through URL_Open: HTTPS against a TLS server trusted through the service's
// extra CA file (and refused without it), FTP, missing documents, the reload part and the
// handles the stream holds.
#include "platform/inet/inet.h"
#include "tests/net/web/web_test_support.h"
#include "tests/support/web_fixture.h"

namespace {

using testsupport::PythonWebServer;
using webtest::WebTest;

class InetStream : public WebTest {
protected:
    void TearDown() override {
        platform::inet_set_extra_ca_file(nullptr);
        WebTest::TearDown();
    }
    // Opens the URL text; the stream in *out.
    static OmResult open(const std::string& text, ComRef<IByteStream>* out, bool reload = false) {
        ComRef<IOmUrl> u = url(text);
        if (reload) {
            EXPECT_EQ(u->SetPart(OM_URL_RELOAD, "1"), 0);
        }
        return u->Open(out->put());
    }
};

TEST_F(InetStream, HttpsAndFtpDocumentsArriveByteForByte) {
    PythonWebServer https(PythonWebServer::Kind::https);
    PythonWebServer ftp(PythonWebServer::Kind::ftp);
    ASSERT_TRUE(https.running());
    ASSERT_TRUE(ftp.running());
    // Larger than the service's buffer, so the transfer pauses while the reader lags.
    const std::string body = testsupport::patterned_bytes(700 * 1024 + 13);
    https.write("doc.bin", body);
    ftp.write("pub/doc.bin", body);
    platform::inet_set_extra_ca_file(https.cert_file().c_str());
    for (const std::string& text :
         {"https://" + https.host() + "/doc.bin", "ftp://" + ftp.host() + "/pub/doc.bin"}) {
        SCOPED_TRACE(text);
        ComRef<IByteStream> s;
        ASSERT_EQ(open(text, &s, true), 0);
        char flag[1] = {9};
        EXPECT_EQ(query<IOmUrlParts>(s.get(), IID_IOmUrlParts)->GetPart(OM_PART_RELOAD, flag, 1),
                  0);
        EXPECT_EQ(flag[0], 1);
        OmResult last = 0;
        const std::string got = read_all(s.get(), &last, {100, 4099, 65536});
        EXPECT_EQ(last, OM_E_STREAMENDED);
        EXPECT_TRUE(got == body) << got.size() << " bytes";
        char b[4];
        uint32_t count = 0;
        EXPECT_EQ(s->Read(b, 4, &count), OM_E_FAIL); // the URL is closed
        EXPECT_EQ(s->Write(b, 4, &count), OM_E_FAIL);
    }
    ComRef<IByteStream> s;
    EXPECT_EQ(open("https://" + https.host() + "/missing.txt", &s), OM_E_NODOCUMENT);
    EXPECT_EQ(open("ftp://" + ftp.host() + "/pub/missing.txt", &s), OM_E_NODOCUMENT);
    platform::inet_set_extra_ca_file(nullptr);
    EXPECT_EQ(open("https://" + https.host() + "/doc.bin", &s), OM_E_FAIL); // untrusted
}

TEST_F(InetStream, KeepsTheReloadPartAndClosesBothHandlesAtTheLastRelease) {
    PythonWebServer server(PythonWebServer::Kind::http);
    ASSERT_TRUE(server.running());
    server.write("a.txt", "plain");
    const int before = platform::inet_open_handles();
    ComRef<IOmUrlParts> direct;
    ASSERT_EQ(OmCreate(CLSID_Win32InetStream, IID_IOmUrlParts, direct.put()), 0);
    EXPECT_EQ(platform::inet_open_handles(), before + 1); // the session

    char flag[1] = {9};
    EXPECT_EQ(direct->GetPart(OM_PART_RELOAD, flag, 1), 0);
    EXPECT_EQ(flag[0], 0);
    ASSERT_EQ(direct->SetPart(OM_PART_RELOAD, "\x01"), 0);
    EXPECT_EQ(direct->GetPart(OM_PART_RELOAD, flag, 1), 0);
    EXPECT_EQ(flag[0], 1);
    ASSERT_EQ(direct->SetPart(OM_PART_RELOAD, ""), 0);
    EXPECT_EQ(direct->GetPart(OM_PART_RELOAD, flag, 1), 0);
    EXPECT_EQ(flag[0], 0);

    ASSERT_EQ(direct->SetPart(OM_PART_HOST, server.host().c_str()), 0);
    ASSERT_EQ(direct->SetPart(OM_PART_PATH, "/"), 0);
    ASSERT_EQ(direct->SetPart(OM_PART_FILE, "a.txt"), 0);
    EXPECT_EQ(platform::inet_open_handles(), before + 2);
    OmResult last = 0;
    EXPECT_EQ(read_all(query<IByteStream>(direct.get(), IID_IByteStream).get(), &last), "plain");
    EXPECT_EQ(last, OM_E_STREAMENDED);
    EXPECT_EQ(platform::inet_open_handles(), before + 1); // the end closed the URL
    EXPECT_EQ(direct->SetPart(OM_PART_FILE, "missing.txt"), OM_E_NODOCUMENT);
    ASSERT_EQ(direct->SetPart(OM_PART_FILE, "a.txt"), 0);
    EXPECT_EQ(platform::inet_open_handles(), before + 2);
    direct.reset(); // with the URL still open
    EXPECT_EQ(platform::inet_open_handles(), before);
}

} // namespace
