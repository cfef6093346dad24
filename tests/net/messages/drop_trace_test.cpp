// A dropped message leaves one line in the debug log, and a flood of them one line a second.
#include "net/messages/game_messages.h"

#include "framework/core/com_ref.h"
#include "framework/io/memory_stream.h"
#include "tests/framework/platform/debug_log_fixture.h"
#include "tests/net/network_classes.h"
#include "tests/support/framework_classes.h"
#include "tests/support/virtual_clock.h"

#include <gtest/gtest.h>

namespace {

class DropTraceTest : public testsupport::DebugLogTest {
protected:
    void SetUp() override {
        testsupport::DebugLogTest::SetUp();
        IObjectManager* manager = OmGetObjectManager();
        testsupport::register_storage_classes(manager);
        testsupport::register_system_classes(manager);
        testsupport::register_container_classes(manager);
    }
    // Message 26 to the game with slot 9.
    static void drop_one() {
        ComRef<IByteStream> stream;
        ASSERT_EQ(OmNewMemoryStream(stream.put()), 0);
        const uint8_t bad[5] = {0x89, 0, 0, 0, 0};
        uint32_t done = 0;
        stream->Write(bad, 5, &done);
        stream->Seek(0, OM_SEEK_START, nullptr);
        ComRef<IBinaryStreamComposer> packet;
        ASSERT_EQ(OmCreate(CLSID_BinaryStreamComposer, IID_IBinaryStreamComposer, packet.put()), 0);
        packet->Attach(stream.get(), OM_COMPOSER_READ);
        EXPECT_FALSE(TvDecodeToClientStatus(packet.get()));
    }
};

TEST_F(DropTraceTest, AFloodOfDropsLeavesOneLineASecond) {
    testsupport::VirtualClockScope clock(50'000'000);
    for (int i = 0; i < 100; ++i) drop_one();
    std::string log = take_log();
    EXPECT_NE(log.find("Dropped message 26: bad slot."), std::string::npos) << log;
    EXPECT_EQ(log.find("Dropped message", log.find("Dropped message") + 1), std::string::npos);

    platform::set_virtual_time(50'000'999);
    drop_one();
    EXPECT_EQ(take_log(), "<no log>");
    platform::set_virtual_time(50'001'001);
    drop_one();
    EXPECT_NE(take_log().find("Dropped message 26"), std::string::npos);
}

} // namespace
