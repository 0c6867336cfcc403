#pragma once

#include "procstatus.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdio>

// Prints the steady clock at a window's first paint, then, once start-up work has
// settled, the process's peak resident memory, and quits.
class PaintProbe : public QObject
{
public:
    explicit PaintProbe(QWidget *window)
        : QObject(window)
    {
        window->installEventFilter(this);
    }

    static long peakKilobytes() { return procStatusKb("VmHWM"); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            // After this paint has been handled, the window is on screen.
            QTimer::singleShot(0, this, [] {
                const auto now = std::chrono::steady_clock::now().time_since_epoch();
                std::printf("painted %lld\n",
                            (long long)std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
                std::fflush(stdout);
            });
            QTimer::singleShot(700, this, [] {
                std::printf("peak_kb %ld\n", peakKilobytes());
                std::fflush(stdout);
                QCoreApplication::exit(0);
            });
        }
        return false;
    }
};
