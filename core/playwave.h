#pragma once

#include "seams.h"

#include <QString>

// The program's directory, the platform's separator (always appended), then the file name.
QString wavePath(const QString &directory, const QString &fileName);

// Names the file, then opens, plays and closes the player back to back. The caller has
// set the device type before. The information window writes the words in lower case.
void playwave(Player &player, const QString &path, bool lowerCaseWords = false);
