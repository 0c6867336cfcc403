// The floor the caller's start-up is measured against: a bare Qt Widgets window of the
// caller's size; with --text it shows one line, so the font system starts as well.
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
    if (argc > 1 && std::strcmp(argv[1], "--text") == 0)
        (new QLabel(QStringLiteral("The number called is :"), &window))->move(16, 456);
    window.show();
    return QApplication::exec();
}
