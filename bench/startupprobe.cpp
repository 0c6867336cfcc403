#include "frmkalvor.h"
#include "probe.h"
#include "program.h"

int main(int argc, char *argv[])
{
    return runProgram(argc, argv, [](frmKalvor &window) { new PaintProbe(&window); });
}
