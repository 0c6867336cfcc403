#pragma once

#include "prize.h"

#include <QDialog>

#include <array>

class Game;
class QCheckBox;

// Prizes: which prizes this game plays, from the tambola set or the ninety-ball set, with
// a second and third Full House as options. A prize already won cannot be switched off.
class frmPrizes : public QDialog
{
    Q_OBJECT

public:
    frmPrizes(Game &game, QWidget *owner);

    prizes::Set chosen() const;
    void choose(prizes::Set set);

private:
    Game &game;
    std::array<QCheckBox *, PrizeCount> boxes{};
};
