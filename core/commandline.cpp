#include "commandline.h"

#include "ticket.h"
#include "version.h"

#include <QCommandLineParser>
#include <QRegularExpression>

namespace {
// The options every Qt program takes (QGuiApplication, QApplication and the X11 platform).
const char *const QtValueOptions[] = {"platform", "platformpluginpath", "platformtheme", "plugin", "qmljsdebugger",
                                      "qwindowgeometry", "geometry", "qwindowicon", "icon", "qwindowtitle", "title",
                                      "style", "stylesheet", "session", "display", "name", "visual"};
const char *const QtFlagOptions[] = {"reverse", "widgetcount", "nograb", "dograb", "sync", "testability"};
} // namespace

CommandLine CommandLine::parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Calls the numbers 1 to 90 of a game of ninety-ball bingo (tambola, housie) in a random order,\n"
        "one at every tick: shown, marked on the board and spoken aloud."));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help and exit."));
    const QCommandLineOption showVersion({QStringLiteral("v"), QStringLiteral("version")},
                                         QStringLiteral("Show the version and exit."));
    const QCommandLineOption tickets(QStringLiteral("tickets"),
                                     QStringLiteral("Print a book of <strips> strips of six tickets (1 to %1) to a PDF "
                                                    "file, without a display.")
                                         .arg(MaxPrintedStrips),
                                     QStringLiteral("strips"));
    const QCommandLineOption output(QStringLiteral("output"), QStringLiteral("The PDF file the tickets go to."),
                                    QStringLiteral("file"));
    const QCommandLineOption paper(QStringLiteral("paper"), QStringLiteral("The tickets' paper: a4 or letter."),
                                   QStringLiteral("size"));
    const QCommandLineOption exportPage(QStringLiteral("export-page"),
                                        QStringLiteral("Write the players' page into <folder>, for a web server or "
                                                       "the broker's http_dir, without a display."),
                                        QStringLiteral("folder"));
    const QCommandLineOption broker(QStringLiteral("broker"),
                                    QStringLiteral("The players' broker the exported page may reach "
                                                   "(wss://HOST:PORT); the one set in Share Beyond the Hall "
                                                   "when left out."),
                                    QStringLiteral("url"));
    parser.addOption(help);
    parser.addOption(exportPage);
    parser.addOption(broker);
    parser.addOption(showVersion);
    parser.addOption(tickets);
    parser.addOption(output);
    parser.addOption(paper);
    for (const char *name : QtValueOptions) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char *name : QtFlagOptions) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }

    CommandLine line;
    const QString program = QLatin1String(version::Command);
    auto error = [&](const QString &what) {
        line.action = Error;
        line.status = 2;
        QString said = what;
        if (said.endsWith(QLatin1Char('.')))
            said.chop(1);
        if (!said.isEmpty())
            said[0] = said[0].toLower();
        line.text = QStringLiteral("%1: %2; try %1 --help\n").arg(program, said);
        return line;
    };
    if (!parser.parse(arguments))
        return error(parser.errorText().replace(QLatin1Char('\n'), QLatin1String("; ")));
    if (!parser.positionalArguments().isEmpty())
        return error(QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().constFirst()));
    if (parser.isSet(help)) {
        line.action = Help;
        line.text = parser.helpText()
                        .replace(QRegularExpression(QStringLiteral("^Usage: \\S*")),
                                 QStringLiteral("Usage: ") + program)
            + QStringLiteral("\nQt's own options, such as -platform and -style, are taken as well.\n"
                             "Keys, menus and the recordings are described in tabro-kalvor(6).\n");
    } else if (parser.isSet(showVersion)) {
        line.action = Version;
        line.text = QStringLiteral("%1 %2 (build %3)\n").arg(program, QLatin1String(version::Number),
                                                            QLatin1String(version::Build));
    } else if (parser.isSet(tickets)) {
        bool number = false;
        line.strips = parser.value(tickets).toInt(&number);
        if (!number || line.strips < 1 || line.strips > MaxPrintedStrips)
            return error(QStringLiteral("--tickets takes a number of strips from 1 to %1, not '%2'")
                             .arg(MaxPrintedStrips)
                             .arg(parser.value(tickets)));
        line.output = parser.value(output);
        if (line.output.isEmpty())
            return error(QStringLiteral("--tickets needs --output FILE.pdf"));
        const QString size = parser.value(paper).toLower();
        if (parser.isSet(paper) && size != QLatin1String("a4") && size != QLatin1String("letter"))
            return error(QStringLiteral("--paper is a4 or letter, not '%1'").arg(parser.value(paper)));
        line.paper = size == QLatin1String("letter") ? Paper::Letter : Paper::A4;
        line.action = Tickets;
    } else if (parser.isSet(output) || parser.isSet(paper)) {
        return error(QStringLiteral("--output and --paper go with --tickets"));
    } else if (parser.isSet(exportPage)) {
        line.folder = parser.value(exportPage);
        if (line.folder.isEmpty())
            return error(QStringLiteral("--export-page needs a folder"));
        line.broker = parser.value(broker);
        line.action = ExportPage;
    }
    if (parser.isSet(broker) && line.action != ExportPage && line.action != Help && line.action != Version)
        return error(QStringLiteral("--broker goes with --export-page"));
    return line;
}
