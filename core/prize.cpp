#include "prize.h"

namespace {
const char *const Names[PrizeCount] = {"Early Five", "Top Line", "Middle Line", "Bottom Line", "Four Corners",
                                       "One Line", "Two Lines", "Full House", "Second Full House",
                                       "Third Full House"};
const char *const Keys[PrizeCount] = {"early-five", "top-line", "middle-line", "bottom-line", "four-corners",
                                      "one-line", "two-lines", "full-house", "second-full-house",
                                      "third-full-house"};
} // namespace

prizes::Family prizes::familyOf(Prize prize)
{
    if (prize == Prize::OneLine || prize == Prize::TwoLines)
        return Family::NinetyBall;
    if (prize >= Prize::FullHouse)
        return Family::FullHouses;
    return Family::Tambola;
}

QString prizes::name(Prize prize)
{
    return QString::fromLatin1(Names[int(prize)]);
}

QString prizes::key(Prize prize)
{
    return QString::fromLatin1(Keys[int(prize)]);
}

bool prizes::fromKey(const QByteArray &key, Prize &prize)
{
    for (int i = 0; i < PrizeCount; ++i) {
        if (key == Keys[i]) {
            prize = Prize(i);
            return true;
        }
    }
    return false;
}
