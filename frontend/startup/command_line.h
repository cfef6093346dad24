// The program's command line: "-client <address>" connects to a server at start, "-host"
// starts the separate server program and connects to it.
#pragma once

#include <cstdint>
#include <string>

inline constexpr uint32_t TV_START_COMMAND_SIZE = 64;
inline constexpr uint32_t TV_SERVER_ADDRESS_SIZE = 32;
// Only the first words are looked at, each cut to 31 characters.
inline constexpr uint32_t TV_COMMAND_LINE_WORDS = 10;
inline constexpr uint32_t TV_COMMAND_LINE_WORD_SIZE = 32;

inline constexpr char TV_DEFAULT_START_COMMAND[] = "gamestartup";
inline constexpr char TV_CONNECT_COMMAND[] = "command:connectto:";
inline constexpr char TV_SERVER_PROGRAM_NAME[] = "aerovantnet_server_release.exe";
// How long start-up waits for a server it started.
inline constexpr uint32_t TV_SERVER_START_WAIT_MS = 5000;

struct TvCommandLine {
    std::string start_command = TV_DEFAULT_START_COMMAND;
    // The "-client" address; empty when none was given.
    std::string server_address;
    // How many "-host" words were seen: a server is started for each.
    uint32_t host_requests = 0;
};

// Reads the words of a command line (blank-separated, double quotes group).
TvCommandLine TvParseCommandLine(const char* text);
// The command line of a process as one text: the arguments after the program name, those with
// blanks in double quotes.
std::string TvJoinArguments(int argc, const char* const* argv);

// Starts the server program from the program directory, detached, with its fixed arguments.
// 0, or the errno of the failure (ENOENT when it is not there).
int TvStartServerProgram();
