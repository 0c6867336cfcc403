#pragma once

#include "ticket.h"

#include <QString>
#include <QStringList>

// What the command line asks for, decided before any window or display exists.
struct CommandLine
{
    enum Action { Run, Help, Version, Error, Tickets, ExportPage };

    Action action = Run;
    QString text;   // what to print: the help, the version or the one-line error
    int status = 0; // the exit status when not running
    // Tickets: a book of this many strips, printed to this PDF file on this paper.
    int strips = 0;
    QString output;
    Paper paper = Paper::A4;
    // ExportPage: the players' page written into this folder, for this broker (empty: the
    // one set in Share Beyond the Hall).
    QString folder;
    QString broker;

    // Reads the arguments (the program's name first). Qt's own options, such as
    // -platform and -style, are accepted and left for the application to apply.
    static CommandLine parse(const QStringList &arguments);
};
