// The command line: start command and server address for each form of "-client" and "-host".
#include "frontend/startup/command_line.h"

#include <gtest/gtest.h>

namespace {

struct CommandLineCase {
    const char* text;
    const char* start_command;
    const char* server_address;
    uint32_t host_requests;
};

TEST(CommandLine, StartCommandAndServerAddress) {
    const CommandLineCase cases[] = {
        {"", "gamestartup", "", 0},
        {"-client 10.0.0.7", "command:connectto:10.0.0.7", "10.0.0.7", 0},
        {"-client", "gamestartup", "", 0},
        {"-Client 10.0.0.7", "gamestartup", "", 0},
        {"-client 10.0.0.7 -host", "command:connectto:localhost", "10.0.0.7", 1},
        {"-host -client 10.0.0.7", "command:connectto:10.0.0.7", "10.0.0.7", 1},
        {"  -client   server.example  ", "command:connectto:server.example", "server.example", 0},
        // Only ten words are looked at: the eleventh is not.
        {"a b c d e f g h i j -client 10.0.0.7", "gamestartup", "", 0},
        {"a b c d e f g h -client 10.0.0.7", "command:connectto:10.0.0.7", "10.0.0.7", 0},
        // "-client" is the tenth word: its address lies beyond the ten.
        {"a b c d e f g h i -client 10.0.0.7", "gamestartup", "", 0},
        // Words are cut to 31 characters.
        {"-client 0123456789012345678901234567890123456789",
         "command:connectto:0123456789012345678901234567890", "0123456789012345678901234567890", 0},
    };
    for (const CommandLineCase& c : cases) {
        SCOPED_TRACE(c.text);
        const TvCommandLine line = TvParseCommandLine(c.text);
        EXPECT_EQ(line.start_command, c.start_command);
        EXPECT_EQ(line.server_address, c.server_address);
        EXPECT_EQ(line.host_requests, c.host_requests);
    }
}

TEST(CommandLine, ArgumentsJoinWithQuotesAroundBlanks) {
    const char* argv[] = {"corvel", "-client", "my server", "-host"};
    EXPECT_EQ(TvJoinArguments(4, argv), "-client \"my server\" -host");
    // A quoted word stays one word, quotes kept, as the command line gives it.
    EXPECT_EQ(TvParseCommandLine(TvJoinArguments(4, argv).c_str()).server_address, "\"my server\"");
}

} // namespace
