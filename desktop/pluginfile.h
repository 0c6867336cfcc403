#pragma once

#include <QLibrary>
#include <QString>

// Loads one of the program's plugins by its file name: beside the program in a build, in
// the program's private library folder once installed. False, with the library's error
// string, when neither loads.
bool loadPlugin(QLibrary &library, const QString &programDirectory, const QString &fileName);
