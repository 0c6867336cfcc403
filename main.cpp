#include "appquitter.h"
#include "clipstore.h"
#include "clockrandomsource.h"
#include "fonts.h"
#include "frmkalvor.h"
#include "messageboxquestion.h"
#include "sinkoutput.h"
#include "waveplayer.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tabro-kalvor"));
    registerFontSubstitutes();

    const QString directory = QCoreApplication::applicationDirPath();
    ClipStore clips;
    SinkOutput output;
    WavePlayer mmplayer(clips, output);
    WavePlayer greetingPlayer(clips, output);
    MessageBoxQuestion question;
    AppQuitter quitter;
    ClockRandomSource random;

    frmKalvor window(mmplayer, greetingPlayer, question, quitter, random, directory);
    question.setParentWindow(&window);
    window.show();
    // The recordings are read once the window is up, long before the first call can come.
    QTimer::singleShot(0, &window, [&clips, &directory] { clips.preload(directory); });
    return QApplication::exec();
}
