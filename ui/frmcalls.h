#pragma once

#include <QWidget>

class Game;
class ReaderNews;
class QListWidget;
class QPushButton;

// Every call of the game so far, in order, with the time it was called: the record that
// settles "was 45 called before 23?". It follows the game; Copy puts it on the clipboard,
// one call a line, and says how many; Escape closes it. Behind another window it follows
// in silence: its current line moves only while it is the active window.
class frmCalls : public QWidget
{
    Q_OBJECT

public:
    frmCalls(const Game &game, QWidget *owner);

    // The calls as text, one a line, as Copy gives them.
    QString text() const;
    void cmdCopy_Click();

protected:
    void changeEvent(QEvent *event) override;

private:
    void follow();
    void showNewest();

    const Game &game;
    QListWidget *lstCalls;
    QPushButton *cmdCopy;
    QPushButton *cmdClose;
    ReaderNews *readerNews;
    bool behind = false; // the list followed calls made while the window was not active
};
