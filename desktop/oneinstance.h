#pragma once

#include <QObject>
#include <QPointer>
#include <QVariantMap>
#include <QWindow>

#include <thread>

// One caller per desktop session, the way desktop programs do it here: the first caller
// owns a well-known name on the session bus, derived from the application id, and offers
// org.freedesktop.Application there; a later launch asks it to Activate, which brings its
// main window to the front. The bus lets go of the name when a caller ends or crashes.
// Without a session bus every launch runs on its own.
class OneInstance : public QObject
{
    Q_OBJECT

public:
    static constexpr int AnswerMs = 1000; // how long a running caller has to answer

    // Asks the bus for the name on a thread of its own, while the window is being built.
    explicit OneInstance(const QString &applicationId);
    ~OneInstance() override;

    // Another caller owns the name (waits for the bus's answer); ask it to come to the
    // front. True once it answered, false when it did not within AnswerMs.
    bool isSecond();
    bool activateFirst();
    // The first caller: from now on, Activate brings this window to the front.
    void serve(QWindow *window);

    void bringToFront(const QVariantMap &platformData);
    // This caller is ending: the name is let go, so that a launch now starts a new caller
    // instead of asking this one, which no longer answers, to come to the front.
    void release();

private:
    QString name;
    QString path;
    bool second = false;
    std::thread claim;
    QPointer<QWindow> window;
};
