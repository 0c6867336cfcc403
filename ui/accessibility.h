#pragma once

#include <QLineEdit>
#include <QHash>
#include <QWidget>

// Tells screen readers what the program's own widgets are: the interval, zoom, About,
// Calls So Far and claim windows are dialogs named by their captions (the zoom window
// described by its number), the contact line is a link that can be pressed, and a
// ReaderNews is a status line whose notifications a reader speaks. Safe to call more
// than once.
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
    QHash<QString, QWidget *> notices; // at most the ninety numbers and a few words
};

// A box that only shows a number the game writes. A reader that reaches it with Tab hears
// its label and its number once, as one line ("The number called is : 24"); it is not
// offered as text to edit, whose changes a reader would speak besides the call's news.
class NumberBox : public QLineEdit
{
    Q_OBJECT

public:
    using QLineEdit::QLineEdit;
};
