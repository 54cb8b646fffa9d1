// The table of readers of untrusted input, their feeds, and the bench folder they run in.
#include "fuzz/hostile_readers.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "config/color_file.h"
#include "config/config_hooks.h"
#include "config/config_records.h"
#include "config/controller_file.h"
#include "config/current_tool.h"
#include "config/holder_file.h"
#include "config/machine_file.h"
#include "config/machine_models.h"
#include "config/offset_memory.h"
#include "config/offset_tables.h"
#include "config/settings_file.h"
#include "config/structure_models.h"
#include "config/tool_profile.h"
#include "config/tool_tables.h"
#include "config/tools_file.h"
#include "geometry/machine_kinematics.h"
#include "geometry/orientation_frames.h"
#include "geometry/vector_math.h"
#include "nc/block_interpreter.h"
#include "nc/coordinate_transforms.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/nc_words.h"
#include "nc/step_driver.h"
#include "platform/file_info.h"
#include "platform/message_box.h"
#include "services/file_paths.h"
#include "services/program_log.h"
#include "services/shared_state.h"
#include "shell/automation_steps.h"
#include "shell/macro_file.h"
#include "simulation/cutting_info_report.h"
#include "stock/stock_grid.h"
#include "stockio/stl_files.h"
#include "stockio/stock_loading.h"
#include "support/definition_state.h"
#include "support/nc_run_records.h"

namespace mirexa::testing {

HostileResultChecks HostileChecks;

namespace {

// Step driver calls one NC input may take; a program that loops (M99 in the main program) is
// cut there, which is its normal behaviour, not a hang.
constexpr long kNcCallLimit = 20000;
// Rays a stock loaded by a feed may have: the loaders compare a grid with the machine's memory,
// which is more than a fuzzing process may use, so the feeds set a user's small cell limit.
constexpr std::uint64_t kFeedGridCells = 250'000;
// The pitch (mm) of STL imports: the sample models become grids of a few thousand rays.
constexpr double kStlImportPitch = 20.0;

std::string BenchDirectory;

std::string ReaderFolder(const HostileReader& reader) {
    return BenchDirectory + "/" + reader.name;
}

using testing::ResetDefinitionState;

// --- Configuration readers ------------------------------------------------------------------

std::string FeedSettings(const std::string& path) {
    ResetDefinitionState();
    DefinitionFiles.settingsName = path;
    std::vector<std::string> messages;
    const std::string folder = std::filesystem::path(path).parent_path().string();
    ReadSettingsFrom(folder, folder + "/mirexa", &messages);
    std::string problem;
    if (Settings.maxMagazine < 0 || Settings.maxMagazine > kMaxMagazineLimit) {
        problem = "MAX MAGAZINE outside its range: " + std::to_string(Settings.maxMagazine);
    }
    ResetDefinitionState();
    return problem;
}

std::string FeedColors(const std::string& path) {
    ResetDefinitionState();
    ReadColorFile(path);
    RestoreColorSettingsFromEdit();
    ResetDefinitionState();
    return "";
}

std::string FeedTools(const std::string& path) {
    ResetDefinitionState();
    Settings.maxMagazine = 24;
    if (!AllocToolTables(Settings.maxMagazine)) {
        return "the tool tables cannot be allocated";
    }
    ReadToolFileAt(RunSession, RunKinematics, RunTools, path);
    std::string problem;
    if (ToolFile.currentTool < 0 || ToolFile.currentTool > Settings.maxMagazine) {
        problem = "current tool outside the tables: " + std::to_string(ToolFile.currentTool);
    }
    ResetDefinitionState();
    return problem;
}

std::string FeedHolder(const std::string& path) {
    ArborProfile profile;
    std::string resolved;
    const int result = ReadArborFile(std::filesystem::path(path).filename().string(), path + ".ttl",
                                     &profile, nullptr, &resolved);
    if (result < kHolderFileUnusable || result > kHolderFileRead) {
        return "unknown result " + std::to_string(result);
    }
    if (profile.count < 0 || profile.count > kArborMaxSegments) {
        return "segment count outside the profile: " + std::to_string(profile.count);
    }
    return "";
}

std::string FeedController(const std::string& path) {
    ResetDefinitionState();
    ReadControllerFileAt(RunSession, RunKinematics, path);
    // The rewriter parses the same lines; every line that cannot be an offset line (one that
    // starts with neither "MEMORY" nor "D", "H" or "F") stays, byte for byte and in order.
    const std::string content = ReadHostileFile(path);
    const std::string renewed =
        RewriteOffsetMemoryText(content, kRewriteDOffsets | kRewriteHOffsets | kRewriteWorkOffsets);
    std::string problem;
    std::size_t kept = 0;
    for (std::size_t begin = 0; begin < content.size() && problem.empty();) {
        std::size_t end = content.find('\n', begin);
        end = end == std::string::npos ? content.size() : end + 1;
        const std::string_view line = std::string_view(content).substr(begin, end - begin);
        begin = end;
        if (std::string_view("MmDdHhFf").find(line[0]) != std::string_view::npos) {
            continue;
        }
        const std::size_t found = renewed.find(line, kept);
        if (found == std::string::npos) {
            problem = "the rewrite lost the line at byte " + std::to_string(end - line.size());
        }
        kept = found + line.size();
    }
    ResetDefinitionState();
    return problem;
}

std::string FeedMachine(const std::string& path) {
    ResetDefinitionState();
    ReadMachineFileAt(path, 1);
    ResetDefinitionState();
    return "";
}

// --- Stock files ----------------------------------------------------------------------------

// Loads the file as a stock and checks what the loader promises of the model.
std::string LoadAndCheckStock(const std::string& path, int referenceDirection) {
    StockLoadOptions = StockLoadSettings{};
    StockLoadOptions.maxGridCells = kFeedGridCells;
    StockModel model;
    SetStockUndoRingSize(&model, 1);
    const int result = LoadStockModel(nullptr, &model, path, kStlImportPitch, referenceDirection);
    std::string problem;
    if (result != 1 && result >= 0) {
        problem = "load result " + std::to_string(result);
    } else if (result != 1 && model.nx != 0) {
        problem = "a failed load left a model (result " + std::to_string(result) + ")";
    } else if (HostileChecks.stock) {
        problem = HostileChecks.stock(model);
    }
    FreeStockModel(&model);
    StockLoadOptions = StockLoadSettings{};
    return problem;
}

std::string FeedDme(const std::string& path) {
    return LoadAndCheckStock(path, 0);
}

std::string FeedDmf(const std::string& path) {
    return LoadAndCheckStock(path, 0);
}

// Every STL reader: detection, the count (bounded by the file's size), the facet array, the
// facet stream, the bounds, and the imports as a standard conversion and as a height map.
std::string FeedStl(const std::string& path) {
    std::uint64_t size = 0;
    GetFileSizeBytes(path, &size);
    const int format = DetectStlFormat(path);
    const int count = CountStlFacets(format, path);
    // An ASCII facet needs at least its "endfacet" line; a binary one its 50-byte record.
    const std::uint64_t bytesPerFacet = format == kStlFormatAscii ? 9 : kStlBinaryRecordBytes;
    if (count < 0 || static_cast<std::uint64_t>(count) > size / bytesPerFacet) {
        return "facet count " + std::to_string(count) + " beyond a file of " +
               std::to_string(size) + " bytes";
    }
    std::vector<StlFacet> facets(static_cast<std::size_t>(count));
    const double offset[3] = {1.0, -2.0, 0.5};
    double minCorner[3];
    double maxCorner[3];
    const int stored =
        ReadStlFacets(format, count, path, offset, minCorner, maxCorner, facets.data());
    if (stored < 0 || stored > count) {
        return "stored " + std::to_string(stored) + " facets into " + std::to_string(count);
    }
    StlFacetReader reader;
    if (OpenStlFacetReader(format, path, &reader)) {
        StlRawFacet raw;
        std::uint64_t streamed = 0;
        while (ReadNextStlFacet(&reader, &raw)) {
            if (++streamed > size) {
                CloseStlFacetReader(&reader);
                return "the facet stream does not end";
            }
        }
        CloseStlFacetReader(&reader);
    }
    StlFileBounds bounds;
    GetStlFileBounds(format, path, &bounds);
    for (int direction : {0, -3}) {
        const std::string problem = LoadAndCheckStock(path, direction);
        if (!problem.empty()) {
            return "direction " + std::to_string(direction) + ": " + problem;
        }
    }
    return "";
}

// --- NC programs ----------------------------------------------------------------------------

// The companion in the folder with the extension (".ttl", ".ctl", ".mtl"), "" when none: an NC
// entry runs with the tools, controller and machine files among its companions, so that an
// entry for another dialect differs only in its controller file.
std::string FindCompanion(const std::string& folder, const char* extension) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::filesystem::path& path = entry.path();
        if (path.extension() == extension && path.stem() != "input") {
            return path.string();
        }
    }
    return "";
}

// Every interpreter, kinematics and controller record at its start value, then the tools,
// controller and machine files of the folder read as at start-up.
void ResetNcRun(const std::string& folder) {
    ResetRunInterpreterRecords();
    ResetDefinitionState();
    InstallNcServiceHooks();
    Settings.maxMagazine = 24;
    AllocToolTables(Settings.maxMagazine);
    const std::string tools = FindCompanion(folder, ".ttl");
    ReadToolFileAt(RunSession, RunKinematics, RunTools, tools);
    ReadControllerFileAt(RunSession, RunKinematics, FindCompanion(folder, ".ctl"));
    ReadMachineFileAt(FindCompanion(folder, ".mtl"), 1);
    ReadToolFileAt(RunSession, RunKinematics, RunTools, tools);
    RefreshNcControllerView(RunSession);
}

// Pulls the program through the step driver as the simulation thread does.
std::string RunNcProgram(const std::string& path, int fromMemory) {
    const std::string folder = std::filesystem::path(path).parent_path().string();
    ResetNcRun(folder);
    RunSession.controller.runTypeMemory = fromMemory;
    if (fromMemory) {
        LoadNcProgramIndex(RunSession, path);
    }
    ResetInterpreterState(RunSession);
    std::string problem;
    if (OpenNcProgramSource(RunSession, path)) {
        for (long calls = 0; calls < kNcCallLimit && RunSession.run.status.endState < 2; ++calls) {
            ComputeNextMove(RunSession);
            if (HostileChecks.ncCall && problem.empty()) {
                problem = HostileChecks.ncCall();
            }
            if (RunSession.run.status.error > 0) {
                break;
            }
            if (!RunSession.run.status.started || RunSession.run.status.subprogramEnd) {
                continue;
            }
            FinishBlockPosition(RunSession);
            if (HostileChecks.ncCall && problem.empty()) {
                problem = HostileChecks.ncCall();
            }
        }
    }
    if (RunSession.run.status.error < 0) {
        problem = "negative error " + std::to_string(RunSession.run.status.error);
    }
    CloseNcProgramSource(RunSession);
    FreeNcProgramIndex(RunSession);
    ResetDefinitionState();
    return problem;
}

std::string FeedNcProgram(const std::string& path) {
    return RunNcProgram(path, 0);
}

std::string FeedNcMemoryProgram(const std::string& path) {
    return RunNcProgram(path, 1);
}

// --- Macro files ----------------------------------------------------------------------------

// What the counting automation of FeedMacro saw.
struct MacroFeedCounts {
    long commands = {};
    long programs = {};
};
MacroFeedCounts MacroCounts;

// The lines of a macro as the reader must see them, found without the reader: split at LF, one
// CR before the LF dropped, a line longer than kMacroLineLimit refused (-1, text empty).
std::vector<std::pair<int, std::string>> SplitMacroLines(const std::string& content) {
    std::vector<std::pair<int, std::string>> lines;
    for (std::size_t begin = 0; begin < content.size();) {
        std::size_t end = content.find('\n', begin);
        const std::size_t next = end == std::string::npos ? content.size() : end + 1;
        end = end == std::string::npos ? content.size() : end;
        std::string line = content.substr(begin, end - begin);
        begin = next;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.size() > kMacroLineLimit) {
            lines.emplace_back(-1, std::string());
        } else {
            lines.emplace_back(1, std::move(line));
        }
    }
    return lines;
}

// "" when the parsed line keeps the argument grammar: an argument is never empty, an unquoted
// one neither starts nor ends with a blank or tab, a quoted one holds no quote; a DIFF argument
// that reads gives a pen of 1 to 15 and finite distances; EXEC names a program.
std::string CheckMacroLine(const MacroLine& parsed) {
    const std::string& a = parsed.argument;
    if (parsed.hasArgument) {
        if (a.empty()) {
            return "an empty argument";
        }
        if (a.find_first_of("\n") != std::string::npos) {
            return "an argument with a line end";
        }
    }
    if (parsed.command == MacroCommand::kDiff && parsed.hasArgument) {
        DifferencePaintChoices choices;
        if (ParseDiffArgument(a, &choices) == 1 &&
            (choices.pen < 1 || choices.pen > 15 || !std::isfinite(choices.margin) ||
             choices.margin < 0 || !std::isfinite(choices.offset))) {
            return "DIFF read outside its ranges from \"" + a + "\"";
        }
    }
    if (parsed.command == MacroCommand::kExec) {
        std::string program;
        std::string argument;
        if (SplitExecArgument(parsed.rest, &program, &argument) == 1 && program.empty()) {
            return "EXEC without a program read as one";
        }
    }
    return "";
}

// Reads the macro line by line against an independent split and checks every parsed line, then
// runs it as the automation does against commands that only count: nothing is loaded, saved or
// started, every command reports success and every cut completes at once. Each line sends at
// most one command or starts at most one program.
std::string FeedMacro(const std::string& path) {
    const std::string content = ReadHostileFile(path);
    const std::vector<std::pair<int, std::string>> expected = SplitMacroLines(content);
    std::FILE* stream = std::fopen(path.c_str(), "rb");
    if (stream == nullptr) {
        return "the input cannot be opened";
    }
    std::string problem;
    std::string line;
    std::size_t index = 0;
    for (int result; problem.empty() && (result = ReadMacroLine(stream, &line)) != 0; ++index) {
        if (index >= expected.size()) {
            problem = "more lines than the file holds";
        } else if (result != expected[index].first || line != expected[index].second) {
            problem = "line " + std::to_string(index + 1) + " read as " + std::to_string(result) +
                      " \"" + line.substr(0, 80) + "\"";
        } else if (result == 1) {
            problem = CheckMacroLine(ParseMacroLine(line));
            if (!problem.empty()) {
                problem = "line " + std::to_string(index + 1) + ": " + problem;
            }
        }
    }
    std::fclose(stream);
    if (problem.empty() && index != expected.size()) {
        problem =
            "read " + std::to_string(index) + " of " + std::to_string(expected.size()) + " lines";
    }
    if (!problem.empty()) {
        return problem;
    }

    const DefinitionFilePaths savedFiles = DefinitionFiles;
    const CommandLineSwitches savedCommandLine = CommandLine;
    const ProgramSettings savedSettings = Settings;
    const int savedAutomatic = AutomaticMode.load();
    const int savedSuppressed = DrawingSuppressed.load();
    AutomaticMode.store(1);
    DrawingSuppressed.store(1);
    MacroCounts = {};
    static constexpr AutomationStandIn kCountingStandIn = {
        .runOnMainThread =
            [](const std::function<void()>& call) {
                call();
                return 1;
            },
        .sendCommand =
            [](unsigned, MessageLParam) {
                ++MacroCounts.commands;
                AutomationOutcome.stockLoadResult = 1;
                AutomationOutcome.saveResult = 1;
                AutomationOutcome.definitionResult = 1;
                AutomationOutcome.runEnd = kCutCompleted;
            },
        .sendSystemCommand = [](unsigned) {},
        .runActive = [] { return 0; },
        .requestRunAbort = [] {},
        .postDone = [] {},
        .pollPause = [] {},
        .runProgram =
            [](const std::string&, const std::string&) {
                ++MacroCounts.programs;
                return 0;
            },
    };
    SetAutomationStandIn(&kCountingStandIn);
    AutomationOutcome = AutomationOutcomeRecord{};
    BatchFailureCode.store(0);
    AbortSignalReceived.store(0);
    ResetAutomationRun();
    CommandLine.stockGiven = 0;
    DefinitionFiles.macroFile = path;
    RunMacroFile();
    const long sent = MacroCounts.commands + MacroCounts.programs;
    if (sent > static_cast<long>(expected.size())) {
        problem =
            std::to_string(sent) + " commands from " + std::to_string(expected.size()) + " lines";
    }
    SetAutomationStandIn(nullptr);
    DefinitionFiles = savedFiles;
    CommandLine = savedCommandLine;
    Settings = savedSettings;
    AutomaticMode.store(savedAutomatic);
    DrawingSuppressed.store(savedSuppressed);
    BatchFailureCode.store(0);
    ResetAutomationRun();
    return problem;
}

// --- Report template --------------------------------------------------------------------------

// Expands the file as the cutting-information report's template with inputs that use every list
// (tools, D and H numbers, work offsets, tool times) and writes it as a report. No value holds a
// "$", so the expansion holds none: a "$" is a keyword (replaced) or matches none (dropped with
// the character after it). A template without a "$" is copied as it is, a line end added to a
// last line without one only after a keyword.
std::string FeedReportTemplate(const std::string& path) {
    CuttingReportInputs in;
    in.magazineCount = 24;
    in.check.tUsed.assign(25, 0);
    in.check.tUsed[1] = in.check.tUsed[3] = in.check.tUsed[24] = 1;
    in.check.dUsed[1] = in.check.hUsed[1] = in.check.hUsed[999] = 1;
    in.check.toolCount = 3;
    in.check.toolList[1] = 1;
    in.check.toolList[2] = 3;
    in.check.toolList[3] = 24;
    in.workOffsets[1].axis[0] = -120.5;
    in.workOffsets[200].axis[2] = 1e300;
    in.ncPath = "/nc/part.nc";
    in.toolsPath = "vmc3.ttl";
    in.ncFileSize = 12345;
    in.ncLineCount = 678;
    const std::string content = ReadHostileFile(path);
    const std::string report = ComposeCuttingReport(path, in);
    if (report.find('$') != std::string::npos) {
        return "a \"$\" in the expansion";
    }
    if (content.find('$') == std::string::npos && report != content) {
        return "a template without keywords changed";
    }
    const std::string folder = std::filesystem::path(path).parent_path().string();
    if (WriteCuttingReportFile(folder + "/report.txt", 0, path, in) != 1) {
        return "the report cannot be written";
    }
    if (ReadHostileFile(folder + "/report.txt") != report) {
        return "the written report differs from the composed one";
    }
    return "";
}

const std::vector<std::string> kNcCompanions = {
    "samples/vmc3.ttl",    "samples/bt40_er32.hld", "samples/vmc3.ctl",    "samples/vmc3.mtl",
    "samples/table.stl",   "samples/vice.stl",      "tests/data/nc/O0100", "tests/data/nc/O200",
    "tests/data/nc/O0300", "tests/data/nc/O400",    "tests/data/nc/SUB1"};

// The companions of a dialect: those of the standard programs with the dialect's controller file
// (the sample controller with its PRODUCT changed) instead of the sample's.
std::vector<std::string> DialectCompanions(const char* controller) {
    std::vector<std::string> companions = kNcCompanions;
    std::replace(companions.begin(), companions.end(), std::string("samples/vmc3.ctl"),
                 std::string(controller));
    companions.push_back("tests/data/nc/HSUB.H");
    return companions;
}

}  // namespace

const std::vector<HostileReader>& GetHostileReaders() {
    static const std::vector<HostileReader> readers = {
        {"settings", "config", "input.ini", 1023, 13, {}, FeedSettings},
        {"colors", "config", "input.col", 1023, 1, {}, FeedColors},
        {"tools", "config", "input.ttl", 1023, 1, {"samples/bt40_er32.hld"}, FeedTools},
        {"holder", "config", "input.hld", 1023, 1, {}, FeedHolder},
        {"controller", "config", "input.ctl", 1023, 1, {}, FeedController},
        {"machine",
         "config",
         "input.mtl",
         1023,
         1,
         {"samples/table.stl", "samples/vice.stl"},
         FeedMachine},
        {"dme", "stockio", "input.dme", 0, 1, {}, FeedDme},
        {"dmf", "stockio", "input.dmf", 0, 1, {}, FeedDmf},
        {"stl", "stockio", "input.stl", kStlLineCharacters, 3, {}, FeedStl},
        {"nc", "nc", "input.nc", kNcLineTextMax, 1, kNcCompanions, FeedNcProgram},
        {"nc-memory", "nc", "input.nc", kNcLineTextMax, 1, kNcCompanions, FeedNcMemoryProgram},
        {"nc-heidenhain", "nc", "input.nc", kNcLineTextMax, 1,
         DialectCompanions("tests/fuzz/controllers/heidenhain.ctl"), FeedNcProgram},
        {"nc-siemens", "nc", "input.nc", kNcLineTextMax, 1,
         DialectCompanions("tests/fuzz/controllers/siemens.ctl"), FeedNcProgram},
        {"nc-osp", "nc", "input.nc", kNcLineTextMax, 1,
         DialectCompanions("tests/fuzz/controllers/osp.ctl"), FeedNcMemoryProgram},
        {"nc-mazak", "nc", "input.nc", kNcLineTextMax, 1,
         DialectCompanions("tests/fuzz/controllers/mazak.ctl"), FeedNcProgram},
        {"report-template", "simulation", "input.def", 1023, 1, {}, FeedReportTemplate},
        {"macro", "shell", "input.mac", static_cast<int>(kMacroLineLimit), 1, {}, FeedMacro},
    };
    return readers;
}

const HostileReader* FindHostileReader(std::string_view name) {
    for (const HostileReader& reader : GetHostileReaders()) {
        if (name == reader.name) {
            return &reader;
        }
    }
    return nullptr;
}

std::string MakeHostileBenchDirectory() {
    const char* temporary = std::getenv("TMPDIR");
    for (std::string base :
         {std::string("/dev/shm"), std::string(temporary ? temporary : ""), std::string("/tmp")}) {
        if (base.empty() || access(base.c_str(), W_OK) != 0) {
            continue;
        }
        std::string pattern = base + "/mirexa-hostile-XXXXXX";
        if (mkdtemp(pattern.data()) != nullptr) {
            return pattern;
        }
    }
    return "";
}

int PrepareHostileBench(const std::string& sourceRoot, const std::string& workDirectory) {
    BenchDirectory = workDirectory;
    std::error_code error;
    for (const HostileReader& reader : GetHostileReaders()) {
        const std::filesystem::path folder = ReaderFolder(reader);
        std::filesystem::create_directories(folder, error);
        for (const std::string& companion : reader.companions) {
            const std::filesystem::path from = sourceRoot + "/" + companion;
            std::filesystem::copy_file(from, folder / from.filename(),
                                       std::filesystem::copy_options::overwrite_existing, error);
            if (error) {
                std::fprintf(stderr, "cannot copy %s: %s\n", from.c_str(), error.message().c_str());
                return 0;
            }
        }
    }
    FileLocations.logDirectory = workDirectory;
    SetMessageBoxResponder(
        [](const MessageBoxRequest& request) { return GetDefaultMessageBoxAnswer(request.style); });
    return 1;
}

std::string FeedHostileInput(const HostileReader& reader, std::string_view bytes) {
    const std::string folder = ReaderFolder(reader);
    const std::string path = folder + "/" + reader.inputName;
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            return "cannot write the input " + path;
        }
    }
    if (chdir(folder.c_str()) != 0) {
        return "cannot enter " + folder;
    }
    // The log file lives for the feed only: a reader may open it, and the next feed starts with
    // the settings and records of a fresh start.
    FileLocations.logDirectory = BenchDirectory;
    std::string problem = reader.feed(path);
    CloseLogFile();
    FileLocations.logDirectory = BenchDirectory;
    return problem;
}

std::vector<std::string> ListHostileSeeds(const std::string& sourceRoot,
                                          const HostileReader& reader) {
    std::vector<std::string> seeds;
    std::error_code error;
    const std::string folder = sourceRoot + "/tests/fuzz/corpus/" + reader.name;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (entry.is_regular_file()) {
            seeds.push_back(entry.path().string());
        }
    }
    std::sort(seeds.begin(), seeds.end());
    return seeds;
}

std::string ReadHostileFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

}  // namespace mirexa::testing
