// The command line: file arguments sorted by their extensions and the switches of unattended
// runs, read into one CommandLineOptions value that start-up applies to CommandLine,
// DefinitionFiles, InitialStock, StlImport, DexelPitch, AutomaticMode and the command-line parts
// of Settings (control point, difference painting) before the settings file is read.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "config/config_records.h"
#include "stock/stock_shapes.h"

namespace mirexa {

// Everything a command line sets, as one value. Parsing starts from the values the records hold
// (TakeCommandLineStartValues) and changes only what the arguments give.
struct CommandLineOptions {
    CommandLineSwitches switches = {};  // becomes CommandLine
    DefinitionFilePaths files = {};     // the files named, the save file
    StockDefinition stock = {};         // -D, -DX/-DY/-DZ, a stock file
    StlImportSettings stlImport = {};   // the options of a stock file, its import direction
    DexelPitchSettings pitch = {};      // -P
    double controlPoint[5] = {};        // -S[M]: mm and deg
    std::int32_t controlPointMachine = {};
    DifferencePaintChoices difference = {};  // -XD
    std::int32_t automatic = {};             // the program runs unattended (AutomaticMode)
};

// The values the command line starts from: the records as they stand.
CommandLineOptions TakeCommandLineStartValues();

// Makes the parsed value the program's: CommandLine, DefinitionFiles, InitialStock, StlImport,
// DexelPitch, Settings' control point and difference choices, AutomaticMode. Start-up calls it
// once, before the settings file is read.
void ApplyCommandLineOptions(const CommandLineOptions& options);

// Parses the command line text (the arguments behind the program name, separated by blanks) into
// *options, which holds the start values (TakeCommandLineStartValues); no record of the program
// changes. Whatever it gives wins over the settings file, which is read afterwards.
//
// File arguments: a quoted name runs to its closing quote (a directly following "+X", "-Z" ...
// sets the STL import direction); an unquoted one to the next blank. Kinds by the name's end,
// without regard to case; only the first argument of each kind counts: ".ini" settings name,
// ".ctc" colour file, ".ttl" / ".ctl" / ".mtl" tools, controller and machine files, ".mac"
// macro file (automation on), ".dme" / ".dmf" / ".stl" (also ".stl" plus a sign and an axis
// letter, which are cut) the stock file, ".lnk" refused (shortcuts are not supported here;
// symbolic links do their job), anything else the NC program. An NC name that cannot be opened
// is extended over the next blank and tried again, so an unquoted path with blanks is found; a
// name so extended counts only when such a file exists. When none does, the first word is
// refused as an NC program that cannot be opened and the arguments behind it are read as
// arguments. A double quote that is never closed is refused and ends the parse.
//
// Switches behind "-" or "/" (letters without regard to case): -I name, -IC name, -T name[,n],
// -C, -M, -O name[,b|,b2], -K stockfile, -D(xmax,ymax,zmax,xmin,ymin,zmin), -DX/-DY/-DZ(six
// cylinder values), -D stockfile, -S[M](x,y,z[,a,b]), -P(pitch,movepitch), -G n, -V[5|6],
// -F n, -N, -(l,t,w,h), -X1 .. -X6 with "0" and "n", -XM(dx,dy,dz), -XR[X|Y|Z]angle,
// -XP..., -XD.... A "/" starts a switch only when no further "/" follows before the next blank,
// so absolute paths are file arguments.
//
// Bad input never overruns: an argument longer than kPathLimit, a switch with missing or
// non-finite numbers, a -X form other than those above (-X0, -X9), box, cylinder and move values
// beyond kStockCoordinateLimit, pitches DexelPitchesUsable refuses (named a bad pitch), a pen
// outside 0..15 (16 for all), a window of no size are refused with a message and leave the
// values they would have set unchanged. Box corners are sorted per axis; -F is clamped; -G n is
// read and changes nothing. Messages are appended to *messages (English or Japanese by UiLanguage)
// when it is not null; show them with ReportCommandLineMessages.
//
// The final step clears the run mode without an NC program, keeps a stock operation only with
// both a stock and a save file (and then clears the run mode and the NC flag), drops the save
// request unless it has a use, limits the report mode in a run, and sets the automation flag
// (and AutomaticMode) when a stock, an NC program, a stock operation or a macro was given.
// Returns 1 when nothing was refused, 0 otherwise (the rest is parsed all the same).
int ParseCommandLineOptions(std::string_view text, CommandLineOptions* options,
                            std::vector<std::string>* messages);

// The three steps at once: the start values, the parse, the values applied. Returns what the
// parse returned.
int ParseCommandLine(std::string_view text, std::vector<std::string>* messages);

// Reads a stock-file argument at *cursor for kind 1 (the stock: path into *path, ",W" sets the
// stock-in-work flag) or 2 (the basic model: ",W" sets the basic-in-work flag): the name (quoted,
// or up to the next comma or blank; ".dme" appended unless it ends in ".dme", ".dmf" or ".stl"),
// a "+"/"-" axis pair for the STL import direction, then options each behind a comma: "W", "MX"
// / "MY" / "MZ" with an optional mirror centre, "S" with a rate, or "S(cx,cy,cz)" with an
// optional "(rx,ry,rz)" or a single rate, or a bare "S" that takes the STL dialog's rates. The
// options go to StlImport. Returns 1, or 0 for a missing or over-long name (with a message
// appended; *path unchanged). The cursor ends behind what was read.
int ParseStockFileArgument(std::string_view text, std::size_t* cursor, std::string* path, int kind,
                           std::vector<std::string>* messages);

// A ".lnk" file is a Windows shortcut. Here symbolic links do that job and are followed by the
// file system, so nothing is resolved: returns 0 and leaves the path as it is. Callers refuse the
// argument with ShortcutNotSupportedMessage.
int ResolveShortcut(std::string* path);
std::string ShortcutNotSupportedMessage(const std::string& path);

// Joins the program's arguments (argv[1] ..) into the text ParseCommandLine reads. An argument
// that holds a blank and is neither a switch nor already quoted is put in double quotes.
std::string JoinCommandLineArguments(int argc, const char* const* argv);

// Shows each message (a box, or a log entry in automatic mode).
void ReportCommandLineMessages(const std::vector<std::string>& messages);

}  // namespace mirexa
