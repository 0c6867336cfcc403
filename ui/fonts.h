#pragma once

#include <QFont>
#include <QString>

// Lets the window fonts' names stand in where the platform lacks them: Arial becomes a
// metric-compatible face, MS Sans Serif the nearest plain sans.
void registerFontSubstitutes();

QFont windowFont(const QString &family, qreal points, bool bold);
