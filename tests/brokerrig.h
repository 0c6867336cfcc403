#pragma once

// A real Mosquitto for a test: started on 127.0.0.1 on a free port with a configuration of
// the test's own, stopped (and started again on the same port) when the test says.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

class BrokerRig
{
public:
    // extra: more lines for the configuration (a password file, an ACL).
    explicit BrokerRig(const QByteArray &extra = QByteArray())
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port = probe.serverPort();
        probe.close();
        QFile conf(dir.filePath(QStringLiteral("broker.conf")));
        conf.open(QIODevice::WriteOnly);
        // As root the broker would change to its own user and lose the test's files.
        conf.write("listener " + QByteArray::number(port) + " 127.0.0.1\nallow_anonymous true\npersistence false\nlog_dest none\n"
                   + (geteuid() == 0 ? QByteArray("user root\n") : QByteArray()) + extra);
        conf.close();
        start();
    }
    ~BrokerRig() { stop(); }

    QString file(const QString &name) const { return dir.filePath(name); }

    bool start()
    {
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.setStandardOutputFile(QProcess::nullDevice());
        process.start(QStringLiteral("/usr/sbin/mosquitto"), {QStringLiteral("-c"), dir.filePath(QStringLiteral("broker.conf"))});
        if (!process.waitForStarted(5000))
            return false;
        return QTest::qWaitFor([this] {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, port);
            return socket.waitForConnected(100);
        }, 10000);
    }
    void stop()
    {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate();
        if (!process.waitForFinished(5000))
            process.kill();
        process.waitForFinished(2000);
    }

    quint16 port = 0;

private:
    QTemporaryDir dir;
    QProcess process;
};
