// corvel-mpserver: runs one scenario of the multiplayer test server and prints every message
// it receives and sends, until it is interrupted.
//
//   corvel-mpserver [scenario] [--port N] [--bot] [--time real|echo] [--finish-after N]
//                   [--disconnect-delay MS] [--refuse 49|50] [-country N] [-name TEXT]
// Without a scenario it runs the relay scenario; the port is 6113 unless given. The game's
// "-host" starts it as "aerovantnet_server_release.exe -country 1 -name Aerovant": the country
// and the session's display name are accepted and printed, and the server then ends when the
// game that started it ends.
#include "tools/mpserver/mp_server.h"

#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

namespace {

volatile std::sig_atomic_t interrupted = 0;

void on_signal(int) {
    interrupted = 1;
}

int usage(const char* why) {
    std::fprintf(stderr,
                 "corvel-mpserver: %s\n"
                 "usage: corvel-mpserver [lobby|start|match|chat|kills|end|hostile|silent|relay] "
                 "[--port N] [--bot] [--time real|echo] [--finish-after N] "
                 "[--disconnect-delay MS] [--refuse 49|50] [-country N] [-name TEXT]\n",
                 why);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    mpserver::ServerOptions options;
    options.port = 6113;
    std::string announced;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--port" && i + 1 < argc) {
            char* end = nullptr;
            long port = std::strtol(argv[++i], &end, 10);
            if (!end || *end || port < 0 || port > 65535) return usage("bad port");
            options.port = uint16_t(port);
        } else if ((a == "-country" || a == "-name") && i + 1 < argc) {
            const std::string value = argv[++i];
            if (a == "-country") {
                char* end = nullptr;
                const long country = std::strtol(value.c_str(), &end, 10);
                if (value.empty() || !end || *end || country < 0) return usage("bad country");
            }
            announced += " " + a + " " + value;
        } else if ((a == "--finish-after" || a == "--disconnect-delay" || a == "--refuse") &&
                   i + 1 < argc) {
            char* end = nullptr;
            const long value = std::strtol(argv[++i], &end, 10);
            if (!end || *end || value < 0 || value > 600000) return usage("bad number");
            if (a == "--finish-after") options.finish_after_respawns = int32_t(value);
            if (a == "--disconnect-delay") options.disconnect_delay_ms = uint32_t(value);
            if (a == "--refuse") {
                if (value != 49 && value != 50) return usage("refusal is 49 or 50");
                options.refusal = uint16_t(value);
            }
        } else if (a == "--bot") {
            options.bot = true;
        } else if (a == "--time" && i + 1 < argc) {
            std::string mode = argv[++i];
            if (mode == "real")
                options.time_mode = mpserver::TimeMode::Real;
            else if (mode == "echo")
                options.time_mode = mpserver::TimeMode::Echo;
            else
                return usage("bad time mode");
        } else if (!a.empty() && a[0] != '-') {
            options.scenario = a;
        } else {
            return usage(("unknown option " + a).c_str());
        }
    }
    // Started by the game's "-host" (with its name): the server ends with the game.
    if (!announced.empty()) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() == 1) return 0;
    }
    options.address = nullptr; // every interface
    std::string error;
    auto server = mpserver::Server::start(options, &error);
    if (!server) return usage(error.c_str());
    std::mutex out;
    server->set_printer([&out](const std::string& line) {
        std::lock_guard<std::mutex> guard(out);
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    });
    std::printf("corvel-mpserver: %s on port %u%s\n", options.scenario.c_str(),
                unsigned(server->port()), announced.c_str());
    std::fflush(stdout);
    std::signal(SIGINT, on_signal);
    std::signal(SIGTERM, on_signal);
    while (!interrupted) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    server->stop();
    return 0;
}
