#pragma once

#include "game.h"
#include "seams.h"
#include "windowowner.h"

#include <QMainWindow>
#include <QTimer>

class BoardGrid;
class BooksInPlay;
class frmClaim;
class frmZoom;
class HallDisplay;
class PhoneSharing;
class RelaySharing;
class frmPhones;
class frmPhoneClaims;
struct PhoneClaim;
class ReaderNews;
class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;

// The main window: title, board, called number, counter, Start/Stop and the menus. It
// builds its controls and forwards every event to the game, which decides.
class frmKalvor : public QMainWindow, public Controls
{
    Q_OBJECT

public:
    static constexpr int ClientWidthTwips = 7035;
    static constexpr int ClientHeightTwips = 7470;

    // Shows the game and hands it the host's clicks; greeter plays the information
    // window's greeting. The game outlives the window.
    frmKalvor(Game &game, Greeter &greeter, QWidget *parent = nullptr);
    ~frmKalvor() override;

    QString startCaption() const override;
    void setStartCaption(const QString &caption) override;
    QString calledText() const override;
    void setCalledText(const QString &text) override;
    void setCounterText(const QString &text) override;
    void setMuteChecked(bool checked) override;
    void setZoomText(const QString &text) override;
    void closeZoom() override;

    void mnuStime_Click();
    void mnuZoom_Click();
    // Opens the hall's display, or closes it when it is open.
    void mnuHall_Click();
    void mnuAbout_Click();
    void mnuCalls_Click();
    void mnuTickets_Click();
    void mnuPrizes_Click();
    void mnuClaim_Click();
    // Share With Phones: the players' phones follow the game.
    void mnuPhones_Click();
    // A claim from a phone: Check a Claim opened with its code checked as of its call.
    void checkPhoneClaim(const QString &code, int call);
    // What did I miss: a screen reader hears what waits for the host and where the game stands.
    void mnuMissed_Click();

protected:
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildControls();
    void buildMenus();
    void placeAround(QPoint centre, QSize frameSize);
    void colourCaptions();
    frmZoom *zoomWindowCreated();
    void showOnTop(QWidget *window);
    // Check a Claim, opened (the calling stopped) and in front; verdictFollows when a claim
    // is checked in it at once.
    frmClaim *claimWindow(bool verdictFollows);
    // The hall's display in front again, when it shares the host's screen.
    void hallForward();
    // Tells a screen reader the number just called, or what the host just changed.
    void tellReader(int n);
    void tellNews(Game::News what);
    // A line of its own under the board while the game cannot be kept; the game goes on.
    void showKept();
    void showRelay();
    QLabel *statusLine(const QString &name);
    void fitStatusLines();
    // A claim from a phone came: the host's list comes up and a reader is told, once.
    void phoneClaimArrived(const PhoneClaim &claim);
    // Alone with the host on one screen, the hall's display has the claims list over it.
    void claimsOverHall();
    // The claims from phones' list, made the first time it is wanted.
    frmPhoneClaims *phoneClaimsWindow();

    QLabel *lblKalvor;
    QLineEdit *txtCtr;
    BoardGrid *grdTable;
    QLabel *lblnumber;
    QLineEdit *txtgen;
    QPushButton *cmdStart;
    ReaderNews *readerNews;
    QLabel *lblRecord = nullptr;
    QLabel *lblRelay = nullptr;
    QMenu *mnuOptions;
    QMenu *mnuGame;
    QMenu *mnuHelp;
    QAction *mnuStime;
    QAction *mnuMute;
    QAction *mnuScan;
    QAction *mnuZoom;
    QAction *mnuHall;
    QAction *mnuSep1;
    QAction *mnuExit;
    QAction *mnuCalls;
    QAction *mnuTickets;
    QAction *mnuPrizes;
    QAction *mnuClaim;
    QAction *mnuContents;
    QAction *mnuAbout;

    Greeter &greeter;
    Game &caller;
    BooksInPlay *books;
    PhoneSharing *sharing;
    RelaySharing *relay;
    QAction *mnuPhones;
    QAction *mnuRelay;
    QAction *mnuDeal;
    QAction *mnuMissed;
    QAction *mnuPhoneClaims;
    bool quietClaimNews = false;
    WindowOwner windows;
    QTimer claimTold; // claims coming together are told together
    int untold = 0;
    bool centred = false;
};
