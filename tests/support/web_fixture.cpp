// The web tests' loopback servers: the Python document server run as a child process, and the
// raw HTTP server on a thread of the test.
#include "tests/support/web_fixture.h"

#include "tests/support/source_dir.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace testsupport {

namespace {

// The system's Python, which has the Debian modules the FTP server needs.
std::string python() {
    return access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3";
}

// Starts a program; with `quiet` its output goes nowhere.
pid_t spawn(const std::vector<std::string>& args, bool quiet = false) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (quiet) {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
    pid_t pid = -1;
    const int r = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return r == 0 ? pid : -1;
}

bool run(const std::vector<std::string>& args) {
    const pid_t pid = spawn(args, true);
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

} // namespace

std::string patterned_bytes(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + i / 251) & 0xff);
    return s;
}

PythonWebServer::PythonWebServer(Kind kind) {
    dir_.make_dir("root");
    std::vector<std::string> args = {python(), source_dir() + "/tests/support/web_fixture.py",
                                     kind == Kind::ftp ? "ftp" : "http", root(), dir_ / "port"};
    if (kind == Kind::https) {
        if (!run({"openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                  "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1", "-keyout",
                  dir_ / "key.pem", "-out", cert_file()}))
            return;
        args.push_back(cert_file());
        args.push_back(dir_ / "key.pem");
    }
    pid_ = spawn(args);
    if (pid_ <= 0) return;
    // The server writes its port once it listens.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < until) {
        std::ifstream in(dir_ / "port");
        int port = 0;
        if (in >> port && port > 0) {
            port_ = static_cast<uint16_t>(port);
            return;
        }
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
        poll(nullptr, 0, 10);
    }
}

PythonWebServer::~PythonWebServer() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
}

std::string PythonWebServer::host() const {
    return "127.0.0.1:" + std::to_string(port_);
}

void PythonWebServer::write(const std::string& name, const std::string& contents) const {
    dir_.write_file("root/" + name, contents);
}

std::vector<std::string> PythonWebServer::requests() const {
    std::vector<std::string> out;
    std::ifstream in(dir_ / "requests.log");
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

RawHttpServer::RawHttpServer(std::vector<std::string> responses, bool keep_open)
    : responses_(std::move(responses)), keep_open_(keep_open) {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        listen(listener_, 8) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &length) != 0)
        return;
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { run(); });
}

RawHttpServer::~RawHttpServer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    for (int fd : open_) close(fd);
    if (listener_ >= 0) close(listener_);
}

std::string RawHttpServer::host() const {
    return "127.0.0.1:" + std::to_string(port_);
}

std::vector<std::string> RawHttpServer::requests() {
    std::lock_guard guard(lock_);
    return requests_;
}

void RawHttpServer::run() {
    while (!stop_) {
        pollfd p = {listener_, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0) continue;
        const int fd = accept(listener_, nullptr, nullptr);
        if (fd < 0) continue;
        const int index = connections_++;
        // The request head ends with an empty line (LF LF or CR LF CR LF).
        std::string request;
        char buffer[4096];
        while (request.find("\n\n") == std::string::npos &&
               request.find("\r\n\r\n") == std::string::npos) {
            pollfd q = {fd, POLLIN, 0};
            if (poll(&q, 1, 5000) <= 0) break;
            const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            request.append(buffer, static_cast<size_t>(n));
        }
        {
            std::lock_guard guard(lock_);
            requests_.push_back(request);
        }
        const std::string& response =
            responses_[std::min<size_t>(static_cast<size_t>(index), responses_.size() - 1)];
        send(fd, response.data(), response.size(), MSG_NOSIGNAL);
        if (keep_open_)
            open_.push_back(fd);
        else
            close(fd);
    }
}

} // namespace testsupport
