// tk-phones: a hall's worth of phones on the loopback. Opens N push channels to the caller's
// page, waits for every one to have the board, then for CALLS new calls, and prints how long
// each call took to reach each phone: from the call's time in the snapshot to its arrival.
// Ends with status 1 when a phone did not connect or missed a call.
// Usage: tk-phones PORT PHONES CALLS
#include <QCoreApplication>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <QWebSocket>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include <sys/resource.h>

namespace {
struct Phone
{
    std::unique_ptr<QWebSocket> socket;
    int calls = -1; // the most calls seen; -1 before the first board
    int seen = 0;   // new calls seen while measuring
};

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, std::size_t(p * double(values.size() - 1) + 0.5))];
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
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

    std::vector<Phone> phones(static_cast<std::size_t>(count));
    std::vector<double> delays;
    int ready = 0;
    int start = -1; // the calls when every phone had the board
    int measured = 0;
    const QUrl url(QStringLiteral("ws://127.0.0.1:%1/live").arg(port));
    for (Phone &phone : phones) {
        phone.socket = std::make_unique<QWebSocket>();
        QObject::connect(phone.socket.get(), &QWebSocket::textMessageReceived, &app, [&, p = &phone](const QString &text) {
            const qint64 now = QDateTime::currentMSecsSinceEpoch();
            // Read as the page reads it: the calls and the time of the last.
            const QJsonObject board = QJsonDocument::fromJson(text.toUtf8()).object();
            if (board.contains(QStringLiteral("beat")))
                return;
            const int calls = int(board[QStringLiteral("calls")].toArray().size());
            if (p->calls < 0 && ++ready == count) {
                start = calls;
                std::printf("%d phones have the board at call %d\n", count, calls);
                std::fflush(stdout);
            }
            if (start >= 0 && calls > p->calls && calls > start && calls <= start + wanted) {
                delays.push_back(double(now - qint64(board[QStringLiteral("at")].toDouble())));
                ++p->seen;
                measured = std::max(measured, calls - start);
            }
            p->calls = std::max(p->calls, calls);
        });
        phone.socket->open(url);
    }
    // Done once the last call has had two seconds to reach everyone, or after a minute
    // without every phone connected.
    QTimer check;
    QTimer::singleShot(60000 + wanted * 6000, &app, [&] { app.exit(1); });
    int settled = 0;
    QObject::connect(&check, &QTimer::timeout, &app, [&] {
        if (measured >= wanted && ++settled >= 20)
            app.quit();
    });
    check.start(100);
    app.exec();

    const int missing = int(std::count_if(phones.begin(), phones.end(), [&](const Phone &p) { return p.seen < wanted; }));
    std::printf("phones %d, connected %d, calls %d, deliveries %zu, phones that missed a call %d\n", count, ready,
                measured, delays.size(), missing);
    std::printf("call to phone: p50 %.1f ms, p99 %.1f ms, max %.1f ms\n", percentile(delays, 0.5),
                percentile(delays, 0.99), percentile(delays, 1.0));
    return ready == count && missing == 0 && measured >= wanted ? 0 : 1;
}
