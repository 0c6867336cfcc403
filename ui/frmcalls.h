#pragma once

#include <QWidget>

class Game;
class ReaderNews;
class QListWidget;
class QPushButton;

// Every call of the game so far, in order, with the time it was called: the record that
// settles "was 45 called before 23?". It follows the game; Copy puts it on the clipboard,
// one call a line, and says how many; Escape closes it. A reader hears a line as "71, call
// 36", its time when Enter asks. Behind another window, or in front while the program's
// own voice speaks the numbers to a reader's host, it follows in silence: its current line
// moves only where the reader is to hear the call from it.
class frmCalls : public QWidget
{
    Q_OBJECT

public:
    frmCalls(const Game &game, QWidget *owner);

    // The calls as text, one a line, as Copy gives them.
    QString text() const;
    void cmdCopy_Click();
    // The list, in front and following, says each call itself as its current line moves.
    bool announcesCalls() const;

protected:
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void follow();
    void showNewest();
    void lstCalls_Activated();
    bool voiceSpeaks() const;

    const Game &game;
    QListWidget *lstCalls;
    QPushButton *cmdCopy;
    QPushButton *cmdClose;
    ReaderNews *readerNews;
    bool behind = false; // the list followed calls in silence, its current line left where it was
};
