#pragma once

// The whole program: the command line, the windows, the voice and the screen keeper,
// wired together.
int runProgram(int argc, char *argv[]);
