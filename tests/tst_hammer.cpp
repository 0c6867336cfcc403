#include "numbertext.h"
#include "windowrig.h"

#include <QSlider>

#include <random>
#include <set>

class TestHammer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void randomActionsKeepEveryRule();
};

void TestHammer::randomActionsKeepEveryRule()
{
    const int chosen = qEnvironmentVariableIntValue("TK_HAMMER_SEED");
    const auto seed = std::uint32_t(chosen != 0 ? chosen : 20261207);
    std::mt19937 pick(seed);
    auto chance = [&](int percent) { return int(pick() % 100) < percent; };

    WindowRig rig;
    // Yes to the continue question, No to Exit, so the hammering never ends the program.
    rig.question.decide = [](const QString &prompt) { return prompt == QStringLiteral("Do You Wish To Continue"); };
    frmKalvor &window = rig.window;
    Game &game = rig.game();
    QPushButton *start = rig.cmdStart();
    QLineEdit *counter = rig.txtCtr();
    auto action = [&](const char *name) { return rig.action(name); };

    std::set<int> calledThisGame;
    int games = 0;
    QString fault;
    connect(&game, &Game::numberCalled, this, [&](int n) {
        if (game.state().callcount == 1) {
            calledThisGame.clear();
            ++games;
        }
        if (!calledThisGame.insert(n).second)
            fault = QStringLiteral("%1 was called twice in one game").arg(n);
    });

    const char *names[] = {"Start/Stop", "tick", "Options menu", "Help menu", "Set Time", "Zoom Number",
                           "Exit, No", "About", "Mute Sound", "zoom Exit", "events"};
    int tried[11] = {};
    for (int step = 1; step <= 2000 && fault.isEmpty(); ++step) {
        const auto roll = unsigned(pick() % 100);
        const int kind = roll < 35 ? 1 : roll < 45 ? 0 : int(2 + (roll - 45) % 9);
        ++tried[kind];
        switch (kind) {
        case 0:
            QTest::mouseClick(start, Qt::LeftButton);
            break;
        case 1:
            game.tmrRand_Timer();
            break;
        case 2:
        case 3: {
            QMenu *menu = window.findChild<QMenu *>(QLatin1String(kind == 2 ? "mnuOptions" : "mnuHelp"));
            menu->popup(window.mapToGlobal(QPoint(10, 10)));
            menu->hide();
            break;
        }
        case 4:
            action("mnuStime")->trigger();
            if (frmSetTime *dialog = rig.setTimeWindow()) {
                slider(dialog)->setValue(int(1 + pick() % 5));
                if (chance(45))
                    dialog->cmdOK_Click();
                else if (chance(80))
                    dialog->cmdCancel_Click();
            }
            break;
        case 5:
            action("mnuZoom")->trigger();
            break;
        case 6:
            action("mnuExit")->trigger();
            break;
        case 7:
            action("mnuAbout")->trigger();
            if (frmAbout *about = rig.aboutWindow()) {
                if (chance(50))
                    about->lblMail_Click();
                if (chance(50))
                    about->cmdOK_Click();
            }
            break;
        case 8:
            action("mnuMute")->trigger();
            break;
        case 9:
            if (frmZoom *zoom = rig.zoomWindow())
                zoom->cmdExit_Click();
            break;
        default:
            QCoreApplication::processEvents();
            break;
        }

        const GameState &state = game.state();
        const bool calling = state.running == 1 && timerOf(game).isActive();
        if (fault.isEmpty() && (start->text() == QStringLiteral("&Stop")) != calling)
            fault = QStringLiteral("the button reads %1 while running is %2 and the timer is %3")
                        .arg(start->text()).arg(state.running).arg(QLatin1String(timerOf(game).isActive() ? "on" : "off"));
        if (fault.isEmpty() && state.callcount > 0 && counter->text() != numberText(state.callcount))
            fault = QStringLiteral("the counter shows %1 after %2 calls").arg(counter->text()).arg(state.callcount);
        if (fault.isEmpty() && state.callcount > 0 && int(calledThisGame.size()) != state.callcount)
            fault = QStringLiteral("%1 numbers called but the game counts %2").arg(calledThisGame.size()).arg(state.callcount);
        if (fault.isEmpty() && rig.quitter.ended != 0)
            fault = QStringLiteral("the program was ended");
        if (!fault.isEmpty())
            fault = QStringLiteral("step %1 (%2), seed %3: %4").arg(step).arg(QLatin1String(names[kind])).arg(seed).arg(fault);
    }
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
    QString summary;
    for (int k = 0; k < 11; ++k)
        summary += QStringLiteral("%1 %2; ").arg(QLatin1String(names[k])).arg(tried[k]);
    qInfo("seed %u, %d games begun, %d questions: %s", seed, games, int(rig.question.asked.size()), qPrintable(summary));
    QVERIFY(games >= 3); // the run reached new games, not only the first
}

QTEST_MAIN(TestHammer)
#include "tst_hammer.moc"
