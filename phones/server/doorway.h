#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QPointer>
#include <QString>
#include <QTcpServer>
#include <QTimer>

#include <utility>
#include <vector>

class QTcpSocket;
class Watch;

// The way in for every connection, before Qt HttpServer reads it: at most MaxConnections
// open at once (a newcomer past that closes the oldest connection that is not a push
// channel; with none, it is answered 503), each request's head (request line and headers)
// held to MaxHead bytes (431) and checked as it arrives, so that a malformed one is
// answered 400 at its first wrong byte, one for another host's name 421, one with a body
// 413; each request must be whole within IdleMs of the connection or of the answer
// before it, and a push channel asked for must open within seconds. On an open push
// channel it reads every frame's header as it arrives: every frame counts (MaxFrames in
// FrameWindowMs), an unmasked one is closed 1002, and a channel that leaves more than
// Backlog bytes unread is cut.
class Doorway : public QTcpServer
{
    Q_OBJECT

public:
    static constexpr int MaxConnections = 2000;
    static constexpr int MaxHead = 8 * 1024;
    static constexpr int IdleMs = 15000;
    static constexpr const char *LivePath = "/live"; // the push channel's path
    static constexpr qint64 Backlog = 32 * 1024;     // unsent bytes a phone may leave waiting
    static constexpr int MaxFrame = 1024;            // the most a phone may send in one frame
    static constexpr int MaxFrames = 20;             // ... and in frames of any kind in a window
    static constexpr int FrameWindowMs = 10000;

    // Sent with every answer: the page needs nothing from anywhere else, so it may load
    // nothing from anywhere else, not be framed, and not be read by another site.
    static const std::pair<const char *, const char *> Guarded[6];

    // How a request's head stands so far.
    enum class Head { Partial, Whole, Malformed, TooLarge };
    Q_ENUM(Head)
    static Head judge(const QByteArray &head);

    // The names this computer answers to: its addresses, localhost and its host name.
    struct Names
    {
        QList<QHostAddress> addresses;
        QString host; // the machine's host name, lower case
        static Names ofThisComputer();
    };
    // Whether a Host header names this computer (on `port`, or with no port given).
    static bool ours(const QByteArray &host, quint16 port, const Names &names);

    // The answer a whole head gets from the doorway itself, or 0 when Qt HttpServer may
    // read it. `port` is the port it came in on.
    int refusal(const QByteArray &head, quint16 port);

    explicit Doorway(QObject *parent = nullptr);
    ~Doorway() override;

    int open() const { return count; }
    // The request read on this socket was answered; true when the connection ends with
    // the answer (the client asked so, or spoke HTTP/1.0). The next one is judged afresh.
    static bool answered(QTcpSocket *socket);
    // The push channel asked for from this peer is open: from now on its frames are read
    // as they arrive, and the station watches it. Its connection, to write to.
    QTcpSocket *opened(const QHostAddress &peer, quint16 port);

    // A text message as a server's frame, made once for every phone.
    static QByteArray textFrame(const QByteArray &utf8);
    // Writes whole frames to a channel's connection: straight to the network when nothing
    // waits before them, so a call to a thousand phones costs a thousand writes and no
    // more; what the network does not take at once waits in order.
    static void deliver(QTcpSocket *connection, const QByteArray &frame);

    // The doorway's own answer with this status: the guarded headers, and the connection
    // closed after it; a full house gets a short page in words.
    static QByteArray answer(int status);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    friend class Watch;
    void sweep();
    void evictOne();

    int count = 0;
    std::vector<QPointer<Watch>> watches;
    QTimer sweeper;
    Names names;
    QElapsedTimer namesAge;
};
