#include "listening.h"

#include <cerrno>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int listenOn(int family, quint16 port, int backlog)
{
    const int fd = ::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const int yes = 1;
    const int no = 0;
    // The same port again at once after sharing stops, as any server does.
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    int bound = -1;
    if (family == AF_INET6) {
        ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &no, sizeof no); // IPv4 too, on the same socket
        sockaddr_in6 address{};
        address.sin6_family = AF_INET6;
        address.sin6_addr = in6addr_any;
        address.sin6_port = htons(port);
        bound = ::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address);
    } else {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_ANY);
        address.sin_port = htons(port);
        bound = ::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address);
    }
    if (bound != 0 || ::listen(fd, backlog) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}
} // namespace

Listening Listening::onFirstFree(quint16 first, int tries, int backlog)
{
    for (int i = 0; i < tries; ++i) {
        const auto port = quint16(first + i);
        int fd = listenOn(AF_INET6, port, backlog);
        // A machine without IPv6 still shares over IPv4.
        if (fd < 0 && (errno == EAFNOSUPPORT || errno == EADDRNOTAVAIL))
            fd = listenOn(AF_INET, port, backlog);
        if (fd >= 0)
            return {fd, port};
    }
    return {};
}
