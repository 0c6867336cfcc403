#pragma once

#include "seams.h"

// Hides every window and leaves the event loop, nested ones included, with exit code 0.
class AppQuitter : public Quitter
{
public:
    void endProgram() override;
};
