#pragma once

#include <QString>

class WavePlayer;

// The program's directory, the platform's separator (always appended), then the file name.
QString wavePath(const QString &directory, const QString &fileName);

// Where the recordings are: the program's own folder when it holds them (a build, or a
// copy with recordings of its own), else the installed data folder beside it.
QString recordingsDirectory(const QString &programDirectory);

// The recording of number n: its digits without spaces, then ".wav" ("7.wav").
QString numberFileName(int n);

// Names the file, then opens, plays and closes the player back to back. The caller has
// set the device type before. The information window writes the words in lower case.
void playwave(WavePlayer &player, const QString &path, bool lowerCaseWords = false);
