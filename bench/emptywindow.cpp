#include "probe.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Empty"));
    window.setFixedSize(469, 520); // the caller's client area and menu bar
    new PaintProbe(&window);
    window.show();
    return QApplication::exec();
}
