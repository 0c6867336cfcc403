#pragma once

#include "accessibility.h"
#include "icons.h"
#include "look.h"

#include <QAction>
#include <QString>
#include <QWidget>

// What each of the program's windows but the main one starts with: a dialog named by its
// caption for readers, the name it is found by, deletion once closed (the main window makes
// it anew when asked), its title and icon (none where the window has none), and the window
// font.
inline void dressWindow(QWidget &window, const QString &name, const QString &title, const QString &icon = QString())
{
    readAs(window, QAccessible::Dialog);
    window.setObjectName(name);
    window.setAttribute(Qt::WA_DeleteOnClose);
    window.setWindowTitle(title);
    if (!icon.isEmpty())
        window.setWindowIcon(programIcon(icon));
    window.setFont(look::windowFont());
}

// Escape closes the window, whichever of its controls has the keys.
inline void closeOnEscape(QWidget &window)
{
    auto *escape = new QAction(&window);
    escape->setShortcut(Qt::Key_Escape);
    escape->setShortcutContext(Qt::WindowShortcut);
    window.addAction(escape);
    QObject::connect(escape, &QAction::triggered, &window, &QWidget::close);
}
