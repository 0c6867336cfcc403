#pragma once

#include <QString>

class WavePlayer;

// Names the file, then opens, plays and closes the player back to back. The caller has
// set the device type before. The information window writes the words in lower case.
void playwave(WavePlayer &player, const QString &path, bool lowerCaseWords = false);
