#pragma once

#include <QString>
#include <QStringList>

// What the command line asks for, decided before any window or display exists.
struct CommandLine
{
    enum Action { Run, Help, Version, Error };

    Action action = Run;
    QString text;   // what to print: the help, the version or the one-line error
    int status = 0; // the exit status when not running

    // Reads the arguments (the program's name first). Qt's own options, such as
    // -platform and -style, are accepted and left for the application to apply.
    static CommandLine parse(const QStringList &arguments);
};
