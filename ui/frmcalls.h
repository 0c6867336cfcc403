#pragma once

#include <QWidget>

class Game;
class QListWidget;
class QPushButton;

// Every call of the game so far, in order, with the time it was called: the record that
// settles "was 45 called before 23?". It follows the game; Copy puts it on the clipboard,
// one call a line.
class frmCalls : public QWidget
{
    Q_OBJECT

public:
    frmCalls(const Game &game, QWidget *owner);

    // The calls as text, one a line, as Copy gives them.
    QString text() const;
    void cmdCopy_Click();

private:
    void follow();

    const Game &game;
    QListWidget *lstCalls;
    QPushButton *cmdCopy;
    QPushButton *cmdClose;
};
