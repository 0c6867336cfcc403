#include "frmprizes.h"

#include "game.h"
#include "ownwindow.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QPushButton>
#include <QVBoxLayout>

frmPrizes::frmPrizes(Game &game, QWidget *owner)
    : QDialog(owner)
    , game(game)
{
    dressWindow(*this, QStringLiteral("frmPrizes"), tr("Prizes"), QStringLiteral("notepad"));

    const prizes::Set won = game.prizesWon();
    auto *tambola = new QGroupBox(tr("Tambola"), this);
    auto *ninety = new QGroupBox(tr("Ninety-ball"), this);
    auto *houses = new QGroupBox(tr("Full House"), this);
    auto *tambolaLayout = new QVBoxLayout(tambola);
    auto *ninetyLayout = new QVBoxLayout(ninety);
    auto *housesLayout = new QVBoxLayout(houses);
    for (int i = 0; i < PrizeCount; ++i) {
        const Prize prize = Prize(i);
        auto *box = new QCheckBox(prizes::name(prize), this);
        box->setObjectName(prizes::key(prize));
        if (won & prizes::bit(prize)) {
            box->setEnabled(false);
            box->setToolTip(tr("Won already: it stays in play."));
        }
        boxes[std::size_t(i)] = box;
        switch (prizes::familyOf(prize)) {
        case prizes::Family::NinetyBall:
            ninetyLayout->addWidget(box);
            break;
        case prizes::Family::FullHouses:
            housesLayout->addWidget(box);
            break;
        case prizes::Family::Tambola:
            tambolaLayout->addWidget(box);
            break;
        }
    }
    choose(game.prizes());

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton *useTambola = buttons->addButton(tr("All &Tambola"), QDialogButtonBox::ResetRole);
    QPushButton *useNinety = buttons->addButton(tr("All &Ninety-Ball"), QDialogButtonBox::ResetRole);
    connect(useTambola, &QPushButton::clicked, this, [this] { choose(prizes::Tambola); });
    connect(useNinety, &QPushButton::clicked, this, [this] { choose(prizes::NinetyBall); });
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        this->game.setPrizes(chosen());
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    auto *sets = new QHBoxLayout;
    sets->addWidget(tambola);
    sets->addWidget(ninety);
    sets->addWidget(houses);
    layout->addLayout(sets);
    layout->addWidget(buttons);
    boxes[0]->setFocus();
}

prizes::Set frmPrizes::chosen() const
{
    prizes::Set set = 0;
    for (int i = 0; i < PrizeCount; ++i) {
        if (boxes[std::size_t(i)]->isChecked())
            set = prizes::Set(set | prizes::bit(Prize(i)));
    }
    return set;
}

// Checks the prizes of the set; a won prize stays checked, as the game keeps it in play.
void frmPrizes::choose(prizes::Set set)
{
    set = prizes::Set(set | game.prizesWon());
    for (int i = 0; i < PrizeCount; ++i)
        boxes[std::size_t(i)]->setChecked(set & prizes::bit(Prize(i)));
}
