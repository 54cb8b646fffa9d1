// The configuration records' globals and their reset.
#include "config/config_records.h"

#include "config/config_hooks.h"

namespace mirexa {

ColorSet LiveColors;
ColorSet EditColors;
DisplayModeSettings DisplayModes;
CheckSettings Checks;
StlImportSettings StlImport;
CommandLineSwitches CommandLine;
DefinitionFilePaths DefinitionFiles;
ProgramSettings Settings;
ConfigHooks ConfigCallbacks;

const char* const StructurePairKeys[kStructurePairCount] = {
    "TOOL-VICE CHECK",    "TOOL-TABLE2 CHECK", "TOOL-TABLE1 CHECK",  "TOOL-TABLE CHECK",
    "TOOL-BASIC CHECK",   "ARBOR-VICE CHECK",  "ARBOR-TABLE2 CHECK", "ARBOR-TABLE1 CHECK",
    "ARBOR-TABLE CHECK",  "ARBOR-BASIC CHECK", "HEAD2-WORK CHECK",   "HEAD2-VICE CHECK",
    "HEAD2-TABLE CHECK",  "HEAD2-BASIC CHECK", "HEAD1-WORK CHECK",   "HEAD1-VICE CHECK",
    "HEAD1-TABLE1 CHECK", "HEAD1-TABLE CHECK", "HEAD1-BASIC CHECK",  "HEAD-WORK CHECK",
    "HEAD-VICE CHECK",    "HEAD-TABLE2 CHECK", "HEAD-TABLE1 CHECK",  "HEAD-TABLE CHECK",
    "HEAD-BASIC CHECK",
};

void ResetConfigurationRecords() {
    LiveColors = ColorSet{};
    EditColors = ColorSet{};
    DisplayModes = DisplayModeSettings{};
    DexelPitch = DexelPitchSettings{};
    Checks = CheckSettings{};
    InitialStock = StockDefinition{};
    StlImport = StlImportSettings{};
    CommandLine = CommandLineSwitches{};
    DefinitionFiles = DefinitionFilePaths{};
    Settings = ProgramSettings{};
}

}  // namespace mirexa
