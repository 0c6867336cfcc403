#pragma once

#include "prize.h"

#include <QDialog>

#include <array>

class Game;
class QCheckBox;
class ReaderNews;

// Prizes: which prizes this game plays, from the tambola set or the ninety-ball set, with
// a second and third Full House as options. A prize already won cannot be switched off; its
// box is still reached with Tab, and a reader hears why. A reader hears what All Tambola
// and All Ninety-Ball chose.
class frmPrizes : public QDialog
{
    Q_OBJECT

public:
    frmPrizes(Game &game, QWidget *owner);

    prizes::Set chosen() const;
    void choose(prizes::Set set);

private:
    // What the boxes say now, in a reader's words.
    QString chosenWords() const;

    Game &game;
    ReaderNews *readerNews = nullptr;
    std::array<QCheckBox *, PrizeCount> boxes{};
};
