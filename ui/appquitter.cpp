#include "appquitter.h"

#include <QApplication>
#include <QWidget>

void AppQuitter::endProgram()
{
    done = true;
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows)
        window->hide();
    QCoreApplication::exit(0);
}
