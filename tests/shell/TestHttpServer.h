#pragma once
// A one-page HTTP server on 127.0.0.1 for tests: every request gets the same canned reply, sent
// exactly as given (so a test can break a body off), and the request lines are recorded. It can
// also answer nothing at all, or drip the reply a byte at a time.

#include "LoopbackListener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TestHttpServer {
public:
    TestHttpServer() {
        listener_ = ListenOnLoopback(8, &port_);
        thread_ = std::thread([this] { Serve(); });
    }
    ~TestHttpServer() {
        stop_ = true;
        thread_.join();
        close(listener_);
    }

    // A complete reply with a correct length.
    static std::string Reply(const std::string& body, int status = 200) {
        return "HTTP/1.1 " + std::to_string(status) +
               " X\r\nContent-Length: " + std::to_string(body.size()) +
               "\r\nConnection: close\r\n\r\n" + body;
    }

    void SetReply(std::string raw) {
        std::lock_guard lock(mutex_);
        reply_ = std::move(raw);
    }
    // Accepts and never answers until the server ends.
    void SetSilent() { silent_ = true; }
    // Sends one byte of the reply every `interval`.
    void SetDrip(std::chrono::milliseconds interval) { drip_ = interval; }
    std::vector<std::string> RequestLines() {
        std::lock_guard lock(mutex_);
        return requests_;
    }
    std::string Host() const { return "127.0.0.1:" + std::to_string(port_); }

private:
    void Serve() {
        while (!stop_) {
            pollfd waiting{listener_, POLLIN, 0};
            if (poll(&waiting, 1, 50) <= 0) {
                continue;
            }
            const int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) {
                continue;
            }
            std::string request;
            char buffer[4096];
            while (request.find("\r\n\r\n") == std::string::npos) {
                const ssize_t got = recv(client, buffer, sizeof buffer, 0);
                if (got <= 0) {
                    break;
                }
                request.append(buffer, static_cast<size_t>(got));
            }
            std::string reply;
            {
                std::lock_guard lock(mutex_);
                requests_.push_back(request.substr(0, request.find("\r\n")));
                reply = reply_;
            }
            if (silent_) {
                while (!stop_) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                }
            } else if (drip_.count() > 0) {
                for (size_t i = 0; i < reply.size() && !stop_; ++i) {
                    if (send(client, reply.data() + i, 1, MSG_NOSIGNAL) != 1) {
                        break;
                    }
                    std::this_thread::sleep_for(drip_);
                }
            } else {
                send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
            }
            close(client);
        }
    }

    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<bool> silent_{false};
    std::chrono::milliseconds drip_{0};
    std::mutex mutex_;
    std::string reply_;
    std::vector<std::string> requests_;
    std::thread thread_;
};
