#pragma once

#include <QFont>
#include <QRectF>
#include <QTimer>
#include <QWidget>

#include <functional>

class Game;
class HallPlacement;
struct Win;

// The game for the room, on the hall's big screen: the number just called as large as the
// screen allows, the count, the last five, the state of the game in a few words, the
// prizes still to win, and the whole board lit where numbers were called. It holds
// nothing of its own: every paint reads the game, and a call repaints only what it
// changed. Where it goes, and who has the keys, is its HallPlacement's: on a screen of its
// own it leaves the keys with the host's window; alone with the host it fills the host's
// screen and takes them (Space starts and stops, Escape closes).
class HallDisplay : public QWidget
{
    Q_OBJECT

public:
    // Where everything goes on a screen of a given size, every text sized to its room.
    struct Layout
    {
        bool wide = false; // the number beside the board; otherwise above it
        QRectF number, count, lastFive, status, prizes;
        QRectF board;      // ten columns by nine rows of cells
        QSizeF cell;
        qreal cellGap = 0; // between two cells' grounds
        QFont numberFont, countFont, lastFiveFont, boardFont;
        // corner: how far right and down a corner kept free at the top left reaches (the
        // phones' code), in pixels.
        static Layout of(QSize screen, QSize corner = QSize());
        // The cell of number n (1 to 90), its ground inside the gaps.
        QRectF cellOf(int n) const;
    };

    // startStop presses the main window's Start/Stop button; owner is the host's window.
    HallDisplay(const Game &game, std::function<void()> startStop, QWidget *owner);

    // Fills a screen that is not the host's, the largest if several; the host's own when
    // there is no other.
    void place();
    // Moves to the next place, the host's own included.
    void placeNext();
    // Alone with the host on one screen: in front again, with the keys.
    void comeForward();
    bool sharesHostScreen() const;
    // Keeps a corner at the top left free for an overlay; empty gives it back.
    void reserveCorner(QSize reach);
    // A word for the room in the state's place ("Claim from a phone"); empty gives it back.
    void setNotice(const QString &words);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void showWin(const Win &win);
    void followCalls();
    void relayout();
    void paintNumbers(QPainter &painter);
    void paintWords(QPainter &painter);
    void paintBoard(QPainter &painter, const QRegion &region);
    void placed(bool withHost);

    const Game &game;
    std::function<void()> startStop;
    HallPlacement *placement;
    Layout layout;
    std::size_t shownCalls = 0; // what the last paint showed, to repaint a call's changes only
    int shownNewest = 0;
    QString banner;  // a prize just won, for a few seconds
    QSize corner;
    QTimer bannerTimer;
    QString notice;
};
