#pragma once

#include <QAccessible>
#include <QElapsedTimer>
#include <QHash>
#include <QLineEdit>
#include <QListWidget>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <vector>

// Tells screen readers what the program's own widgets are: a ReaderNews is a status line
// whose notifications a reader speaks, a NumberBox a label with its number, and whatever a
// widget said of itself through readAs(). Safe to call more than once.
void installAccessibility();

// How a reader takes a widget of ours, said by the widget where it is made, before it is
// shown: a secondary window as a dialog named by its caption, the hall's display as a
// window, the contact line as a link. Readers ask later; what was said then is what they get.
void readAs(QWidget &widget, QAccessible::Role role);
// The description a reader hears after the name, worked out each time it asks (the zoom
// window's number, which changes at every call without a word to the reader).
void describeForReaders(QWidget &widget, std::function<QString()> description);
// The press action a reader offers on the widget (a link's), doing what a click does.
void pressForReaders(QWidget &widget, std::function<void()> press);

// Once its window is active, a reader is told the list's current line: told with the window
// still coming up, it is lost and the reader says only how many lines the list has.
void sayCurrentLineOnceActive(QListWidget &list);

// A line of news for a screen reader, never seen on screen: each text given to it is
// spoken once, wherever the focus is, without the reader naming a role before it (the
// notification sits in a status bar, which readers present by its text alone).
class ReaderNews : public QWidget
{
    Q_OBJECT

public:
    // What news the host must not miss is about; a newer word on the same subject replaces
    // the one waiting to be said again.
    enum class Subject { Claim, Game, Record, Book };

    explicit ReaderNews(QWidget *parent);
    // The line a window of the program tells its news through: the main window's. A notice in
    // another window is said after that window's title and status ("Check a Claim dialog ...
    // Caller news statusbar"), seconds before its own words. A window on its own has its own.
    static ReaderNews *forWindow(QWidget &window);
    void tell(const QString &text);
    // News the host must not miss (a claim, the game resumed, the game not kept, a book
    // made): told at once and, when a key was pressed or a window of the program lost the
    // keys before a reader could have said it all (either empties its queue), told again once
    // the keys have been quiet a moment, after the key's own words; at most MaxRetold times.
    // When a later word sums up more than the text (claims come together), again is what is
    // said again.
    void tellMustHear(Subject subject, const QString &text, const QString &again = QString());
    // The host has dealt with it, or heard it another way: it is not said again.
    void settle(Subject subject);
    void settleAll();

    static constexpr int MaxRetold = 3;
    // The keys are quiet this long before news cut short is said again.
    static constexpr int QuietMs = 700;
    // Whether a key pressed keyMs after the text was told (by a reader, perhaps behind by a
    // call or two) may have cut it short: until a reader could have said it all.
    static bool mayCutShort(const QString &text, qint64 keyMs);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Waiting
    {
        Subject subject;
        QString text;  // said, and watched for a key
        QString again; // said again
        qint64 toldAt = 0; // on since
        int retold = 0;
        bool cut = false; // a key came while a reader may still have been saying it
    };
    void retell();
    void watchKeys();

    QHash<QString, QWidget *> notices; // at most the ninety numbers and a few words
    std::vector<Waiting> waiting;      // oldest first, one a subject
    QElapsedTimer since;
    QTimer quiet;
    bool watching = false;
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
