#pragma once

#include <QObject>
#include <QPointer>
#include <QVariantMap>
#include <QWidget>

// One caller per desktop session, the way desktop programs do it here: the first caller
// owns a well-known name on the session bus, derived from the application id, and offers
// org.freedesktop.Application there; a later launch asks it to Activate, which brings its
// main window to the front. The bus lets go of the name when a caller ends or crashes.
// Without a session bus every launch runs on its own.
class OneInstance : public QObject
{
    Q_OBJECT

public:
    explicit OneInstance(const QString &applicationId);

    // Another caller owns the name; ask it to come to the front. True once it answered.
    bool isSecond() const { return second; }
    bool activateFirst();
    // The first caller: from now on, Activate brings this window to the front.
    void serve(QWidget *window);

    void bringToFront(const QVariantMap &platformData);

private:
    QString name;
    QString path;
    bool second = false;
    QPointer<QWidget> window;
};
