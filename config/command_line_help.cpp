// The command line's help text, in the order the switches are usually written.
#include "config/command_line_help.h"

namespace mirexa {

const char* CommandLineHelpText() {
    return "Usage: mirexa [files] [switches]\n"
           "\n"
           "Files, recognised by their extension:\n"
           "  PROGRAM.nc (any other)   the NC program to select\n"
           "  STOCK.dme .dmf .stl      the stock to load (.stl,W: in work coordinates)\n"
           "  SETTINGS.ini             the settings file\n"
           "  TOOLS.ttl CONTROL.ctl MACHINE.mtl COLOURS.ctc  definition files\n"
           "  JOB.mac                  a macro file, run unattended\n"
           "\n"
           "Switches:\n"
           "  -I FILE  -IC FILE        settings file, colour file\n"
           "  -T FILE[,N]  -C FILE  -M FILE  tools (and starting tool), controller, machine\n"
           "  -D(x1,y1,z1,x2,y2,z2)    a box stock (mm); -DX(...) -DY(...) -DZ(...) a cylinder\n"
           "  -K FILE                  the basic model\n"
           "  -P(stock,move)           the stock pitch and the move pitch (mm)\n"
           "  -S(x,y,z[,a,b])  -SM(...)  the control point (work / machine coordinates)\n"
           "  -X1 .. -X6               run mode: 1 select, 2 real cut, 3 skip, 4 result,\n"
           "                           5 batch with the window, 6 batch without drawing\n"
           "                           (a 0 behind the digit: no optimal stock; N: no report)\n"
           "  -V  -V5  -V6             the data check and its report (5, 6: unattended)\n"
           "  -O FILE[.dme|.stl|.stl,b|.stl,b2]  save the stock after the run\n"
           "  -XM(dx,dy,dz)            move the stock (mm), with -O\n"
           "  -XR[X|Y|Z] angle         rotate the stock (deg), with -O\n"
           "  -XP...  -XD...           paint or peel the stock, difference painting, with -O\n"
           "  -G N                     the processor to prefer\n"
           "  -F N                     the font height\n"
           "  -N                       no menu\n"
           "  -(left,top,width,height) the window's place and size (pixels)\n"
           "\n"
           "  --help  --version        this text, the edition\n"
           "\n"
           "Unattended runs log to mirexa.log and exit with 0 when the work was done, 2 when a\n"
           "file or argument was refused or an output could not be written, 255 when aborted\n"
           "(SIGINT, SIGTERM, SIGHUP).\n";
}

}  // namespace mirexa
