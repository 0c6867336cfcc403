// Players anywhere on the loopback: PLAYERS pages' worth of MQTT 3.1.1 subscribers over
// WebSocket, in one process (epoll), each following the game's board through the broker.
// Times each new call from the moment the game stamped it ("at", in the board) to the
// moment the player read it, and each player's first board after the broker answered
// (CONNACK): what a page that reconnects waits for.
//
// Usage: tk-relayclients PORT TOPIC PLAYERS SECONDS
// Prints one line once every player follows, and a summary after SECONDS more.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
using Clock = std::chrono::steady_clock;
// As the page: the broker's answer to its keep-alive every 2 s is its heartbeat.
constexpr int KeepAliveSeconds = 2;

double wallMs()
{
    return double(std::chrono::duration_cast<std::chrono::microseconds>(
                      std::chrono::system_clock::now().time_since_epoch())
                      .count())
        / 1000.0;
}

double sinceMs(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

enum class Step { Connecting, Upgrading, Greeting, Following, Dead };

struct Player
{
    int fd = -1;
    Step step = Step::Connecting;
    std::string in;     // bytes read, not yet a whole frame
    std::string stream; // the MQTT bytes the frames carried
    std::string out;    // bytes not yet written
    Clock::time_point answered;
    Clock::time_point nextPing;
    bool first = true;
    double lastAt = 0;
};

// One masked binary frame (a zero mask: the client's bytes go as they are).
std::string frame(const std::string &payload)
{
    std::string f;
    f += char(0x82);
    if (payload.size() < 126) {
        f += char(0x80 | payload.size());
    } else {
        f += char(0x80 | 126);
        f += char((payload.size() >> 8) & 0xff);
        f += char(payload.size() & 0xff);
    }
    f.append(4, '\0');
    return f + payload;
}

std::string remaining(std::size_t n)
{
    std::string r;
    do {
        char byte = char(n % 128);
        n /= 128;
        if (n)
            byte = char(byte | 0x80);
        r += byte;
    } while (n);
    return r;
}

std::string text16(const std::string &s)
{
    return std::string(1, char(s.size() >> 8)) + char(s.size() & 0xff) + s;
}

std::string connectPacket(int id)
{
    const std::string body = text16("MQTT") + char(4) + char(0x02) + char(0) + char(KeepAliveSeconds)
        + text16("tk-load-" + std::to_string(getpid()) + "-" + std::to_string(id));
    return std::string(1, char(0x10)) + remaining(body.size()) + body;
}

std::string subscribePacket(const std::string &topic)
{
    const std::string body = std::string("\0\1", 2) + text16(topic) + char(0);
    return std::string(1, char(0x82)) + remaining(body.size()) + body;
}

std::vector<double> deliveries;
std::vector<double> firstBoards;
int following = 0;

// The board's "at": when the game called its last number, in ms since 1970.
double stampOf(const std::string &payload)
{
    const auto at = payload.find("\"at\":", 64);
    return at == std::string::npos ? 0 : std::atof(payload.c_str() + at + 5);
}

void readMqtt(Player &p, int &needWrite, const std::string &topic)
{
    for (;;) {
        if (p.stream.size() < 2)
            return;
        std::size_t length = 0, shift = 0, i = 1;
        for (; i < p.stream.size() && i < 5; ++i) {
            length |= std::size_t(std::uint8_t(p.stream[i]) & 0x7f) << shift;
            shift += 7;
            if (!(std::uint8_t(p.stream[i]) & 0x80))
                break;
        }
        if (i >= p.stream.size() || p.stream.size() < i + 1 + length)
            return;
        const std::uint8_t type = std::uint8_t(p.stream[0]) >> 4;
        const bool retained = p.stream[0] & 1;
        const std::string body = p.stream.substr(i + 1, length);
        p.stream.erase(0, i + 1 + length);
        if (type == 2) { // CONNACK: follow the board
            p.answered = Clock::now();
            p.nextPing = p.answered + std::chrono::seconds(KeepAliveSeconds);
            p.out += frame(subscribePacket(topic));
            needWrite = 1;
            p.step = Step::Following;
            ++following;
        } else if (type == 3 && body.size() > 2) { // PUBLISH, QoS 0
            const std::size_t topicLength = (std::uint8_t(body[0]) << 8) | std::uint8_t(body[1]);
            const std::string payload = body.substr(2 + topicLength);
            const double at = stampOf(payload);
            if (p.first) {
                p.first = false;
                firstBoards.push_back(sinceMs(p.answered));
            } else if (!retained && at > p.lastAt) {
                deliveries.push_back(wallMs() - at);
            }
            p.lastAt = std::max(p.lastAt, at);
        }
    }
}

// Frames from the broker (never masked): their payloads go to the MQTT stream.
bool readFrames(Player &p, int &needWrite, const std::string &topic)
{
    for (;;) {
        if (p.in.size() < 2)
            return true;
        const std::uint8_t op = std::uint8_t(p.in[0]) & 0x0f;
        std::size_t length = std::uint8_t(p.in[1]) & 0x7f, head = 2;
        if (length == 126) {
            if (p.in.size() < 4)
                return true;
            length = (std::uint8_t(p.in[2]) << 8) | std::uint8_t(p.in[3]);
            head = 4;
        } else if (length == 127) {
            if (p.in.size() < 10)
                return true;
            length = 0;
            for (int k = 0; k < 8; ++k)
                length = (length << 8) | std::uint8_t(p.in[2 + k]);
            head = 10;
        }
        if (p.in.size() < head + length)
            return true;
        const std::string payload = p.in.substr(head, length);
        p.in.erase(0, head + length);
        if (op == 0x8)
            return false;
        if (op == 0x9) {
            std::string pong = frame(payload);
            pong[0] = char(0x8a);
            p.out += pong;
            needWrite = 1;
        } else if (op == 0x2 || op == 0x0) {
            p.stream += payload;
            readMqtt(p, needWrite, topic);
        }
    }
}

void percentiles(const char *what, std::vector<double> v)
{
    if (v.empty()) {
        std::printf("%s: none\n", what);
        return;
    }
    std::sort(v.begin(), v.end());
    auto at = [&v](double q) { return v[std::min(v.size() - 1, std::size_t(q * double(v.size())))]; };
    std::printf("%s: %zu, p50 %.1f ms, p99 %.1f ms, max %.1f ms\n", what, v.size(), at(0.5), at(0.99), v.back());
}
} // namespace

int main(int argc, char **argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: tk-relayclients PORT TOPIC PLAYERS SECONDS\n");
        return 2;
    }
    const int port = std::atoi(argv[1]);
    const std::string topic = std::string(argv[2]) + "/board";
    const int wanted = std::atoi(argv[3]);
    const int seconds = std::atoi(argv[4]);
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, rlim_t(wanted) + 100);
    setrlimit(RLIMIT_NOFILE, &limit);

    const int poller = epoll_create1(EPOLL_CLOEXEC);
    std::vector<Player> players(static_cast<std::size_t>(wanted));
    sockaddr_in broker{};
    broker.sin_family = AF_INET;
    broker.sin_port = htons(std::uint16_t(port));
    broker.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const std::string upgrade = "GET /mqtt HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port)
        + "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
          "Sec-WebSocket-Version: 13\r\nSec-WebSocket-Protocol: mqtt\r\n\r\n";

    const auto start = Clock::now();
    int opened = 0;
    int dead = 0;
    bool announced = false;
    Clock::time_point followedAt;
    auto lastPing = Clock::now();
    auto lastNote = Clock::now();
    std::vector<epoll_event> events(4096);
    for (;;) {
        // A few hundred handshakes at a time, as a crowd arriving.
        while (opened < wanted && opened - following - dead < 200) {
            Player &p = players[std::size_t(opened)];
            p.fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            const int one = 1;
            setsockopt(p.fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            connect(p.fd, reinterpret_cast<sockaddr *>(&broker), sizeof broker);
            p.out = upgrade;
            epoll_event e{};
            e.events = EPOLLIN | EPOLLOUT;
            e.data.u32 = std::uint32_t(opened);
            epoll_ctl(poller, EPOLL_CTL_ADD, p.fd, &e);
            ++opened;
        }
        if (!announced && following == wanted) {
            announced = true;
            followedAt = Clock::now();
            deliveries.clear();
            std::printf("%d players following after %.1f s\n", wanted, sinceMs(start) / 1000);
            std::fflush(stdout);
        }
        if (announced && sinceMs(followedAt) > seconds * 1000.0)
            break;
        if (!announced && sinceMs(lastNote) > 5000) {
            lastNote = Clock::now();
            std::fprintf(stderr, "tk-relayclients: %d of %d players following, %d lost\n", following, wanted, dead);
        }
        if (!announced && sinceMs(start) > 300000) {
            std::printf("only %d of %d players following after 300 s (%d lost)\n", following, wanted, dead);
            break;
        }
        // The keep-alive: a ping every 2 s from each player, counted from its own connection
        // as a page's client does (so the crowd's pings are spread as its arrivals were).
        if (sinceMs(lastPing) > 100) {
            lastPing = Clock::now();
            for (Player &p : players) {
                if (p.step == Step::Following && p.nextPing <= lastPing) {
                    p.nextPing = lastPing + std::chrono::seconds(KeepAliveSeconds);
                    p.out += frame(std::string("\xc0\x00", 2));
                    epoll_event e{};
                    e.events = EPOLLIN | EPOLLOUT;
                    e.data.u32 = std::uint32_t(&p - players.data());
                    epoll_ctl(poller, EPOLL_CTL_MOD, p.fd, &e);
                }
            }
        }
        const int n = epoll_wait(poller, events.data(), int(events.size()), 50);
        for (int k = 0; k < n; ++k) {
            Player &p = players[events[std::size_t(k)].data.u32];
            int needWrite = 0;
            if (events[std::size_t(k)].events & (EPOLLIN | EPOLLHUP | EPOLLERR)) {
                char buffer[65536];
                for (;;) {
                    const ssize_t got = read(p.fd, buffer, sizeof buffer);
                    if (got > 0) {
                        p.in.append(buffer, std::size_t(got));
                        continue;
                    }
                    if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
                        if (p.step == Step::Following)
                            --following;
                        p.step = Step::Dead;
                        ++dead;
                        epoll_ctl(poller, EPOLL_CTL_DEL, p.fd, nullptr);
                        close(p.fd);
                    }
                    break;
                }
                if (p.step == Step::Dead)
                    continue;
                if (p.step == Step::Upgrading) {
                    const auto end = p.in.find("\r\n\r\n");
                    if (end != std::string::npos) {
                        p.in.erase(0, end + 4);
                        p.step = Step::Greeting;
                        p.out += frame(connectPacket(int(&p - players.data())));
                        needWrite = 1;
                    }
                }
                if (p.step == Step::Greeting || p.step == Step::Following) {
                    if (!readFrames(p, needWrite, topic)) {
                        --following;
                        p.step = Step::Dead;
                        ++dead;
                        close(p.fd);
                        continue;
                    }
                }
            }
            if ((events[std::size_t(k)].events & EPOLLOUT) || needWrite) {
                if (p.step == Step::Connecting)
                    p.step = Step::Upgrading;
                while (!p.out.empty()) {
                    const ssize_t put = write(p.fd, p.out.data(), p.out.size());
                    if (put <= 0)
                        break;
                    p.out.erase(0, std::size_t(put));
                }
                epoll_event e{};
                e.events = EPOLLIN | (p.out.empty() ? 0u : std::uint32_t(EPOLLOUT));
                e.data.u32 = std::uint32_t(&p - players.data());
                epoll_ctl(poller, EPOLL_CTL_MOD, p.fd, &e);
            }
        }
    }
    percentiles("a call reaching each player", deliveries);
    percentiles("the newest board after the broker answered", firstBoards);
    std::printf("players lost: %d\n", dead);
    return 0;
}
