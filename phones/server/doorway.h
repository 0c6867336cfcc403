#pragma once

#include <QByteArray>
#include <QPointer>
#include <QTcpServer>
#include <QTimer>

#include <utility>
#include <vector>

class QHostAddress;
class QTcpSocket;
class Watch;

// The way in for every connection, before Qt HttpServer reads it: at most MaxConnections
// open at once (a newcomer past that closes the oldest connection that is not a push
// channel; with none, it is answered 503), each request's head (request line, headers and
// any body) held to MaxHead bytes (431) and checked as it arrives, so that a malformed one
// is answered 400 at its first wrong byte; each request must be whole within IdleMs of the
// connection or of the answer before it, and a push channel asked for must open within
// seconds. Open push channels are the station's to watch.
class Doorway : public QTcpServer
{
    Q_OBJECT

public:
    static constexpr int MaxConnections = 2000;
    static constexpr int MaxHead = 8 * 1024;
    static constexpr int IdleMs = 15000;
    static constexpr const char *LivePath = "/live"; // the push channel's path

    // Sent with every answer: the page needs nothing from anywhere else, so it may load
    // nothing from anywhere else, not be framed, and not be read by another site.
    static const std::pair<const char *, const char *> Guarded[6];

    // How a request's head stands so far.
    enum class Head { Partial, Whole, Malformed, TooLarge };
    Q_ENUM(Head)
    static Head judge(const QByteArray &head);

    explicit Doorway(QObject *parent = nullptr);
    ~Doorway() override;

    int open() const { return count; }
    // The request read on this socket was answered: the next one is judged afresh.
    static void answered(QTcpSocket *socket);
    // The push channel asked for from this peer is open: the station watches it from now on.
    void opened(const QHostAddress &peer, quint16 port);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    friend class Watch;
    void sweep();
    void evictOne();

    int count = 0;
    std::vector<QPointer<Watch>> watches;
    QTimer sweeper;
};
