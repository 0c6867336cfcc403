#include "probe.h"

#include <QApplication>
#include <QLabel>
#include <QWidget>

#include <cstring>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Empty"));
    window.setFixedSize(469, 520); // the caller's client area and menu bar
    // With --text the window shows one line, so the font system is started as well.
    if (argc > 1 && std::strcmp(argv[1], "--text") == 0)
        (new QLabel(QStringLiteral("The number called is :"), &window))->move(16, 456);
    new PaintProbe(&window);
    window.show();
    return QApplication::exec();
}
