#pragma once
// A listening TCP socket on 127.0.0.1 at a port the kernel picks, for the tests' own servers.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

// The listening socket; `port` receives the port chosen.
inline int ListenOnLoopback(int backlog, int* port) {
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    *port = ntohs(address.sin_port);
    listen(listener, backlog);
    return listener;
}
