#pragma once

#include <QWidget>

// Tells screen readers what the program's own widgets are: the three secondary windows
// are dialogs named by their captions (the zoom window described by its number), the
// contact line is a link that can be pressed, and a ReaderNews is a status line whose
// notifications a reader speaks. Safe to call more than once.
void installAccessibility();

// A line of news for a screen reader, never seen on screen: each text given to it is
// spoken once, wherever the focus is, without the reader naming a role before it (the
// notification sits in a status bar, which readers present by its text alone).
class ReaderNews : public QWidget
{
    Q_OBJECT

public:
    explicit ReaderNews(QWidget *parent);
    void tell(const QString &text);

private:
    QWidget *notice;
};
