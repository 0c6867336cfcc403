// The long soak: whole games through the real window, as fast as the machine allows,
// printing the resident memory as it goes. Usage: tk-soak [GAMES]
#include "soakrun.h"

#include <QApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    const long games = argc > 1 ? std::max(1L, std::atol(argv[1])) : 10000;
    QApplication app(argc, argv);
    Soak soak;
    const auto began = std::chrono::steady_clock::now();
    long memoryAt100 = 0;
    std::printf("Soak: %ld games through the real window, every question answered Yes\n", games);
    std::printf("%8s %12s %10s\n", "game", "resident kB", "seconds");
    for (long game = 1; game <= games; ++game) {
        const QString fault = soak.playGame();
        if (!fault.isEmpty()) {
            std::printf("game %ld: %s\n", game, qPrintable(fault));
            return 1;
        }
        if (game == 100)
            memoryAt100 = Soak::residentKb();
        if (game == 1 || game == 100 || game % (games >= 2000 ? 1000 : 100) == 0 || game == games) {
            const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
            std::printf("%8ld %12ld %10.1f\n", game, Soak::residentKb(), seconds);
            std::fflush(stdout);
        }
    }
    const long growth = Soak::residentKb() - memoryAt100;
    std::printf("growth after game 100: %ld kB (target: at most 2048 kB) %s; %ld announcements\n", growth,
                growth <= 2048 ? "MET" : "MISSED", soak.output.plays);
    return 0;
}
