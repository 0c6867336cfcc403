#pragma once

#include <QObject>

#include <optional>

class QDBusPendingCallWatcher;

// Keeps the screen saver and idle blanking away while numbers are called, through the
// desktop's org.freedesktop.ScreenSaver service on the session bus. Where there is no
// such service nothing happens, and that is said once.
class ScreenKeeper : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    ~ScreenKeeper() override;

    void setHeld(bool held);

private:
    void inhibit();
    void inhibited(QDBusPendingCallWatcher *call);
    void release();
    void complain(const QString &why);

    bool wanted = false;
    bool asking = false;
    bool complained = false;
    std::optional<uint> cookie;
};
