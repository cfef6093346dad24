// Command-line reading and the server program.
#include "frontend/startup/command_line.h"

#include "framework/core/text_fields.h"
#include "frontend/startup/program_directory.h"
#include "platform/os/spawn.h"

#include <vector>

TvCommandLine TvParseCommandLine(const char* text) {
    TvCommandLine result;
    if (!text) return result;
    uint32_t count = OmCountWords(text);
    if (count > TV_COMMAND_LINE_WORDS) count = TV_COMMAND_LINE_WORDS;
    std::vector<std::string> words;
    for (uint32_t i = 0; i < count; ++i) {
        char word[TV_COMMAND_LINE_WORD_SIZE] = {};
        OmGetWord(text, i, word, sizeof word);
        words.emplace_back(word);
    }
    for (uint32_t i = 0; i < count; ++i) {
        if (words[i] == "-client" && i + 1 < count) {
            result.start_command = std::string(TV_CONNECT_COMMAND) + words[i + 1];
            result.server_address = words[i + 1];
        }
        if (words[i] == "-host") {
            ++result.host_requests;
            result.start_command = std::string(TV_CONNECT_COMMAND) + "localhost";
        }
    }
    return result;
}

std::string TvJoinArguments(int argc, const char* const* argv) {
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (!line.empty()) line += ' ';
        const std::string arg = argv[i] ? argv[i] : "";
        if (arg.empty() || arg.find_first_of(" \t") != std::string::npos)
            line += '"' + arg + '"';
        else
            line += arg;
    }
    return line;
}

int TvStartServerProgram() {
    const std::string path = TvGetProgramDirectory() + TV_SERVER_PROGRAM_NAME;
    return platform::spawn_program(
        path, {TV_SERVER_PROGRAM_NAME, "-country", "1", "-name", "Aerovant"}, false);
}
