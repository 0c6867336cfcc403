#include "pluginfile.h"

#include <QDir>

bool loadPlugin(QLibrary &library, const QString &programDirectory, const QString &fileName)
{
    const QDir own(programDirectory);
    for (const QString &candidate :
         {own.filePath(fileName), own.filePath(QStringLiteral(TK_INSTALLED_PLUGINS "/") + fileName)}) {
        library.setFileName(QDir::cleanPath(candidate));
        if (library.load())
            return true;
    }
    return false;
}
