#pragma once

#include "boardgrid.h"
#include "boardlook.h"
#include "fakes.h"
#include "frmabout.h"
#include "frmkalvor.h"
#include "frmsettime.h"
#include "frmzoom.h"

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <QtTest>

// The interval window's slider.
inline QSlider *slider(QWidget *setTime)
{
    return setTime->findChild<QSlider *>(QStringLiteral("sldTime"));
}

// The real main window with the voice, the questions and the program's end replaced.
struct WindowRig
{
    FakeVoice voice;
    FakeVoice greeting;
    FakeQuestion question;
    FakeQuitter quitter;
    ScriptedRandom random{5};
    Game caller{voice, question, quitter, random};
    frmKalvor window{caller, greeting};

    WindowRig()
    {
        window.show();
        QApplication::setActiveWindow(&window);
        (void)QTest::qWaitForWindowExposed(&window);
    }

    Game &game() { return caller; }
    // The main window's open (or hidden) secondary window of that name: a closed one is
    // gone once its deferred delete ran, as it would in the event loop.
    template<typename T> T *secondary(const char *name)
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return window.findChild<T *>(QLatin1String(name), Qt::FindDirectChildrenOnly);
    }
    frmZoom *zoomWindow() { return secondary<frmZoom>("frmZoom"); }
    frmSetTime *setTimeWindow() { return secondary<frmSetTime>("frmSetTime"); }
    frmAbout *aboutWindow() { return secondary<frmAbout>("frmAbout"); }
    BoardGrid *board() { return find<BoardGrid>("grdTable"); }
    const GameState &state() { return caller.state(); }
    template<typename T> T *find(const char *name) { return window.findChild<T *>(QLatin1String(name)); }
    QPushButton *cmdStart() { return find<QPushButton>("cmdStart"); }
    QLineEdit *txtgen() { return find<QLineEdit>("txtgen"); }
    QLineEdit *txtCtr() { return find<QLineEdit>("txtCtr"); }
    QAction *action(const char *name) { return window.findChild<QAction *>(QLatin1String(name)); }
    QMenu *menu(const char *name) { return window.findChild<QMenu *>(QLatin1String(name)); }
    void tick(int times = 1)
    {
        for (int i = 0; i < times; ++i)
            game().tmrRand_Timer();
    }
    // Opens a menu as the user does and closes it again without choosing.
    void openMenu(const char *name)
    {
        QMenu *m = menu(name);
        m->popup(window.mapToGlobal(QPoint(10, 10)));
        m->hide();
    }
};
