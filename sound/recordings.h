#pragma once

#include <QString>
#include <QStringList>

// The recordings the program speaks from, and where they are: their names are known here
// only.

// The program's directory, the platform's separator (always appended), then the file name.
QString wavePath(const QString &directory, const QString &fileName);

// Where the recordings are: the program's own folder when it holds them (a build, or a
// copy with recordings of its own), else the installed data folder beside it.
QString recordingsDirectory(const QString &programDirectory);

// The recording of number n: its digits without spaces, then ".wav" ("7.wav").
QString numberFileName(int n);

// The information window's greeting.
QString greetingFileName();

// Every recording in the folder: the ninety numbers in order, then the greeting.
QStringList allRecordings(const QString &directory);
