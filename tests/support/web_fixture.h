// Loopback servers for the web tests: the Python document server (HTTP, HTTPS or FTP over a
// directory of the test's own), and a raw HTTP server that captures request bytes and answers
// with exact bytes.
#pragma once

#include "tests/support/temp_dir.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace testsupport {

// A document server over `root()` (files the test writes there), running until destroyed.
class PythonWebServer {
public:
    enum class Kind { http, https, ftp };
    // https makes a self-signed certificate for 127.0.0.1 first (cert_file()).
    explicit PythonWebServer(Kind kind);
    ~PythonWebServer();
    PythonWebServer(const PythonWebServer&) = delete;
    PythonWebServer& operator=(const PythonWebServer&) = delete;

    bool running() const { return port_ != 0; }
    uint16_t port() const { return port_; }
    // "127.0.0.1:PORT"
    std::string host() const;
    const TempDir& dir() const { return dir_; }
    std::string root() const { return dir_ / "root"; }
    void write(const std::string& name, const std::string& contents) const;
    std::string cert_file() const { return dir_ / "cert.pem"; }
    // The request targets the HTTP server saw, in order.
    std::vector<std::string> requests() const;

private:
    TempDir dir_;
    pid_t pid_ = -1;
    uint16_t port_ = 0;
};

// Answers each connection with the next of `responses` (the last one again when they run
// out) after reading its request head; keeps the connection open when `keep_open`.
class RawHttpServer {
public:
    explicit RawHttpServer(std::vector<std::string> responses, bool keep_open = false);
    ~RawHttpServer();
    RawHttpServer(const RawHttpServer&) = delete;
    RawHttpServer& operator=(const RawHttpServer&) = delete;

    uint16_t port() const { return port_; }
    std::string host() const;
    // The request bytes of each connection so far.
    std::vector<std::string> requests();
    // Connections accepted so far.
    int connections() const { return connections_.load(); }

private:
    void run();

    std::vector<std::string> responses_;
    bool keep_open_;
    int listener_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    std::mutex lock_;
    std::vector<std::string> requests_;
    std::vector<int> open_;
    std::thread thread_;
};

// "a" * n with some variety: byte i is (i * 7 + i / 251) & 0xff.
std::string patterned_bytes(size_t n);

} // namespace testsupport
