#pragma once

#include <functional>

class frmKalvor;

// The whole program: the windows, the player and the sound output, wired together.
// created, when given, sees the main window before it is first shown (for measurements).
int runProgram(int argc, char *argv[], const std::function<void(frmKalvor &)> &created = {});
