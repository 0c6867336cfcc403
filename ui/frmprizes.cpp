#include "frmprizes.h"

#include "accessibility.h"
#include "game.h"
#include "ownwindow.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <functional>

namespace {
// A won prize's box: it stays in play, so it stays checked, and a press says why instead. It
// is still reached with Tab, so a reader hears it; it looks fixed, as a disabled box does.
class WonPrizeBox : public QCheckBox
{
public:
    WonPrizeBox(const QString &text, std::function<void()> refused, QWidget *parent)
        : QCheckBox(text, parent)
        , refused(std::move(refused))
    {
        QPalette fixed = palette();
        for (const auto group : {QPalette::Active, QPalette::Inactive})
            fixed.setColor(group, QPalette::WindowText, fixed.color(QPalette::Disabled, QPalette::WindowText));
        setPalette(fixed);
    }

protected:
    void nextCheckState() override { refused(); }

private:
    const std::function<void()> refused;
};
} // namespace

frmPrizes::frmPrizes(Game &game, QWidget *owner)
    : QDialog(owner)
    , game(game)
{
    dressWindow(*this, QStringLiteral("frmPrizes"), tr("Prizes"), QStringLiteral("notepad"));

    readerNews = ReaderNews::forWindow(*this);
    const prizes::Set won = game.prizesWon();
    auto *tambola = new QGroupBox(tr("Tambola"), this);
    auto *ninety = new QGroupBox(tr("Ninety-ball"), this);
    auto *houses = new QGroupBox(tr("Full House"), this);
    auto *tambolaLayout = new QVBoxLayout(tambola);
    auto *ninetyLayout = new QVBoxLayout(ninety);
    auto *housesLayout = new QVBoxLayout(houses);
    for (int i = 0; i < PrizeCount; ++i) {
        const Prize prize = Prize(i);
        const QString name = prizes::name(prize);
        QCheckBox *box = nullptr;
        if (won & prizes::bit(prize)) {
            box = new WonPrizeBox(name, [this, name] { readerNews->tell(tr("%1 was won already, it stays in play").arg(name)); }, this);
            box->setToolTip(tr("Won already: it stays in play."));
            box->setAccessibleDescription(tr("Won already, it stays in play"));
        } else {
            box = new QCheckBox(name, this);
        }
        box->setObjectName(prizes::key(prize));
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
    // As a shout stops the caller in a hall; a host may rather check claims while calling.
    auto *claimsStop = new QCheckBox(tr("A claim from a &phone stops the calling"), this);
    claimsStop->setObjectName(QStringLiteral("chkClaimsStop"));
    claimsStop->setChecked(game.claimsStopCalling());

    // Plain buttons in one row: a button box mixing standard and own buttons sets a tab
    // order of its own that never led from its buttons back to the prizes.
    auto button = [this](const QString &name, const QString &caption) {
        auto *made = new QPushButton(caption, this);
        made->setObjectName(name);
        return made;
    };
    QPushButton *useTambola = button(QStringLiteral("cmdTambola"), tr("All &Tambola"));
    QPushButton *useNinety = button(QStringLiteral("cmdNinety"), tr("All &Ninety-Ball"));
    QPushButton *cmdOK = button(QStringLiteral("cmdOK"), tr("OK"));
    QPushButton *cmdCancel = button(QStringLiteral("cmdCancel"), tr("Cancel"));
    cmdOK->setDefault(true);
    // The set chosen changes several boxes at once: a reader hears what they say now.
    connect(useTambola, &QPushButton::clicked, this, [this] {
        choose(prizes::Tambola);
        readerNews->tell(chosenWords());
    });
    connect(useNinety, &QPushButton::clicked, this, [this] {
        choose(prizes::NinetyBall);
        readerNews->tell(chosenWords());
    });
    connect(cmdOK, &QPushButton::clicked, this, [this, claimsStop] {
        this->game.setClaimsStopCalling(claimsStop->isChecked());
        this->game.setPrizes(chosen());
        accept();
    });
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    auto *sets = new QHBoxLayout;
    sets->addWidget(tambola);
    sets->addWidget(ninety);
    sets->addWidget(houses);
    layout->addLayout(sets);
    layout->addWidget(claimsStop);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(useTambola);
    buttons->addWidget(useNinety);
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    layout->addLayout(buttons);
    // Down each set of prizes as they are shown, then the buttons left to right.
    QWidget *previous = nullptr;
    auto chain = [&previous](QWidget *next) {
        if (previous)
            setTabOrder(previous, next);
        previous = next;
    };
    for (QCheckBox *box : boxes)
        chain(box);
    chain(claimsStop);
    for (QWidget *next : {useTambola, useNinety, cmdOK, cmdCancel})
        chain(next);
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

// "Chosen: One Line, Two Lines and Full House. Top Line stays, won already."
QString frmPrizes::chosenWords() const
{
    const prizes::Set set = chosen();
    const prizes::Set won = game.prizesWon();
    QStringList picked;
    QStringList kept;
    for (int i = 0; i < PrizeCount; ++i) {
        const Prize prize = Prize(i);
        if (won & prizes::bit(prize))
            kept << prizes::name(prize);
        else if (set & prizes::bit(prize))
            picked << prizes::name(prize);
    }
    auto listed = [](QStringList names) {
        const QString last = names.takeLast();
        return names.isEmpty() ? last : tr("%1 and %2").arg(names.join(QStringLiteral(", ")), last);
    };
    QString words = picked.isEmpty() ? tr("No prize chosen") : tr("Chosen, %1").arg(listed(picked));
    if (!kept.isEmpty())
        words += QStringLiteral(". ") + (kept.size() == 1 ? tr("%1 stays, won already") : tr("%1 stay, won already")).arg(listed(kept));
    return words + QLatin1Char('.');
}
