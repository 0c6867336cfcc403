#pragma once

#include "seams.h"

// Hides every window and leaves the event loop, nested ones included, with exit code 0.
class AppQuitter : public Quitter
{
public:
    void endProgram() override;
    // The program was ended: an event loop entered after this would never be left.
    bool ended() const { return done; }

private:
    bool done = false;
};
