// Entry point of every test executable: the platform starts headless, in the C locale.
#include "platform/headless.h"
#include "platform/startup.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    platform::set_headless(true);
    platform::startup();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
