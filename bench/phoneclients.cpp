// tk-phones: a hall's worth of phones on the loopback. Opens N push channels to the caller's
// page, waits for every one to have the board, then for CALLS new calls, and prints how long
// each call took to reach each phone: from the call's time in the snapshot to its arrival.
// Ends with status 1 when a phone did not connect or missed a call.
// Usage: tk-phones PORT PHONES CALLS
//
// Each phone speaks WebSocket itself on a plain socket, all of them in one epoll loop: a
// hall's phones each have a processor of their own, so the time measured should be the
// caller's, not the time this one process takes to look at a thousand connections.
#include <QByteArray>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
struct Phone
{
    int fd = -1;
    bool open = false;               // the handshake answered
    bool gone = false;
    QByteArray input;
    int calls = -1;                  // the most calls seen; -1 before the first board
    std::map<int, double> arrivals;  // by the count of calls: how long the call took to arrive
};

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, std::size_t(p * double(values.size() - 1) + 0.5))];
}

// A client's frame, masked as every client's must be.
QByteArray clientFrame(int opcode, const QByteArray &payload)
{
    QByteArray frame;
    frame += char(0x80 | opcode);
    frame += char(0x80 | int(payload.size())); // control frames only: under 126 bytes
    const char key[4] = {0x5a, 0x1c, 0x33, 0x7e};
    frame.append(key, 4);
    for (qsizetype i = 0; i < payload.size(); ++i)
        frame += char(payload[i] ^ key[i % 4]);
    return frame;
}

void sendAll(Phone &phone, const QByteArray &bytes)
{
    if (::send(phone.fd, bytes.constData(), std::size_t(bytes.size()), MSG_NOSIGNAL) != bytes.size())
        phone.gone = true;
}
} // namespace

int main(int argc, char *argv[])
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: tk-phones PORT PHONES CALLS\n");
        return 2;
    }
    const int port = std::atoi(argv[1]);
    const int count = std::atoi(argv[2]);
    const int wanted = std::atoi(argv[3]);
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);

    const int poller = epoll_create1(EPOLL_CLOEXEC);
    std::vector<Phone> phones(static_cast<std::size_t>(count));
    const QByteArray hello = "GET /live HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port)
        + "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
          "Sec-WebSocket-Version: 13\r\n\r\n";
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    for (std::size_t i = 0; i < phones.size(); ++i) {
        Phone &phone = phones[i];
        phone.fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int yes = 1;
        ::setsockopt(phone.fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        if (::connect(phone.fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
            phone.gone = true;
            continue;
        }
        sendAll(phone, hello);
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.u64 = i;
        epoll_ctl(poller, EPOLL_CTL_ADD, phone.fd, &event);
    }

    int ready = 0;
    int start = -1; // the calls when every phone had the board
    int measured = 0;
    int settled = 0;
    const qint64 began = QDateTime::currentMSecsSinceEpoch();
    const qint64 giveUp = began + 60000 + qint64(wanted) * 6000;
    qint64 lastCheck = began;
    std::vector<epoll_event> events(256);
    char buffer[16384];
    bool failed = false;
    for (;;) {
        const int n = epoll_wait(poller, events.data(), int(events.size()), 100);
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        for (int e = 0; e < n; ++e) {
            Phone &phone = phones[events[std::size_t(e)].data.u64];
            const ssize_t got = ::recv(phone.fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (got <= 0) {
                if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
                    phone.gone = true;
                    epoll_ctl(poller, EPOLL_CTL_DEL, phone.fd, nullptr);
                }
                continue;
            }
            phone.input.append(buffer, got);
            if (!phone.open) {
                const int end = int(phone.input.indexOf("\r\n\r\n"));
                if (end < 0)
                    continue;
                phone.open = phone.input.startsWith("HTTP/1.1 101");
                phone.input.remove(0, end + 4);
            }
            // Whole frames, as the page's browser reads them.
            for (;;) {
                const QByteArray &in = phone.input;
                if (in.size() < 2)
                    break;
                const int opcode = in[0] & 0x0f;
                qint64 length = in[1] & 0x7f;
                int head = 2;
                if (length == 126) {
                    if (in.size() < 4)
                        break;
                    length = (qint64(uchar(in[2])) << 8) | uchar(in[3]);
                    head = 4;
                } else if (length == 127) {
                    if (in.size() < 10)
                        break;
                    length = 0;
                    for (int k = 0; k < 8; ++k)
                        length = (length << 8) | uchar(in[2 + k]);
                    head = 10;
                }
                if (in.size() < head + length)
                    break;
                const QByteArray payload = in.mid(head, length);
                phone.input.remove(0, int(head + length));
                if (opcode == 0x9) {
                    sendAll(phone, clientFrame(0xA, payload));
                    continue;
                }
                if (opcode == 0x8) {
                    phone.gone = true;
                    continue;
                }
                if (opcode != 0x1)
                    continue;
                // Read as the page reads it: the calls and the time of the last.
                const QJsonObject board = QJsonDocument::fromJson(payload).object();
                if (board.contains(QStringLiteral("beat")))
                    continue;
                const int calls = int(board[QStringLiteral("calls")].toArray().size());
                if (phone.calls < 0 && ++ready == count) {
                    start = calls;
                    std::printf("%d phones have the board at call %d\n", count, calls);
                    std::fflush(stdout);
                }
                // Each phone's boards come in order, but not in step with the others': a call
                // may reach one phone before the last phone has its first board.
                if (phone.calls >= 0 && calls > phone.calls)
                    phone.arrivals[calls] = double(now - qint64(board[QStringLiteral("at")].toDouble()));
                phone.calls = std::max(phone.calls, calls);
                if (start >= 0)
                    measured = std::max(measured, calls - start);
            }
        }
        // Done once the last call has had two seconds to reach everyone, or after a minute
        // without every phone connected.
        if (now - lastCheck >= 100) {
            lastCheck = now;
            if (measured >= wanted && ++settled >= 20)
                break;
        }
        if (now > giveUp) {
            failed = true;
            break;
        }
    }

    std::vector<double> delays;
    int missing = 0;
    for (const Phone &phone : phones) {
        bool missed = false;
        for (int call = start + 1; call <= start + wanted; ++call) {
            const auto arrival = phone.arrivals.find(call);
            if (arrival == phone.arrivals.end())
                missed = true;
            else
                delays.push_back(arrival->second);
        }
        missing += missed;
        ::close(phone.fd);
    }
    ::close(poller);
    std::printf("phones %d, connected %d, calls %d, deliveries %zu, phones that missed a call %d\n", count, ready,
                measured, delays.size(), missing);
    std::printf("call to phone: p50 %.1f ms, p99 %.1f ms, max %.1f ms\n", percentile(delays, 0.5),
                percentile(delays, 0.99), percentile(delays, 1.0));
    return !failed && ready == count && missing == 0 && measured >= wanted ? 0 : 1;
}
