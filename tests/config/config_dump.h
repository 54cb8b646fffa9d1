// Prints every field of the configuration records as "name=value" lines, so that a whole read
// can be compared with a golden text file reviewed once.
#pragma once

#include <cstdio>
#include <sstream>
#include <string>

#include "config/config_records.h"
#include "config/tool_tables.h"
#include "platform/system_info.h"

namespace mirexa::testing {

class ConfigDump {
public:
    template <typename T>
    void Field(const char* name, const T& value) {
        out_ << name << "=" << value << "\n";
    }
    void Field(const char* name, double value) {
        char text[64];
        std::snprintf(text, sizeof text, "%.6g", value);
        out_ << name << "=" << text << "\n";
    }
    void Field(const char* name, float value) {
        Field(name, static_cast<double>(value));
    }
    template <typename T>
    void Array(const char* name, const T* values, int count) {
        std::ostringstream line;
        for (int i = 0; i < count; ++i) {
            char text[64];
            std::snprintf(text, sizeof text, "%.6g", static_cast<double>(values[i]));
            line << (i ? "," : "") << text;
        }
        out_ << name << "=" << line.str() << "\n";
    }
    void Color(const char* name, ColorRef color) {
        char text[32];
        std::snprintf(text, sizeof text, "(%u,%u,%u)", color & 0xFF, (color >> 8) & 0xFF,
                      (color >> 16) & 0xFF);
        out_ << name << "=" << text << "\n";
    }
    std::string Text() const {
        return out_.str();
    }

private:
    std::ostringstream out_;
};

// Every record the settings reader fills. Directories that depend on where the test runs are
// printed relative to root ("<root>/...").
inline std::string DumpConfiguration(const std::string& root) {
    auto rel = [&](const std::string& path) {
        return path.compare(0, root.size(), root) == 0 ? "<root>" + path.substr(root.size()) : path;
    };
    ConfigDump d;
    const ProgramSettings& s = Settings;
    d.Field("ttlDirectory", rel(s.ttlDirectory));
    d.Field("ctlDirectory", rel(s.ctlDirectory));
    d.Field("mtlDirectory", rel(s.mtlDirectory));
    d.Field("dmeDirectory", rel(s.dmeDirectory));
    d.Field("secondStockDirectory", rel(s.secondStockDirectory));
    d.Field("exportInWork", s.exportInWork);
    d.Field("inputInWork", s.inputInWork);
    d.Field("basicModelPresent", s.basicModelPresent);
    d.Field("ncDirectory", rel(s.ncDirectory));
    d.Field("ncFilePattern", s.ncFilePattern);
    d.Field("logDirectory", rel(s.logDirectory));
    d.Field("lengthDirectory", rel(s.lengthDirectory));
    d.Field("verifyDirectory", rel(s.verifyDirectory));
    d.Field("verifySuffix", s.verifySuffix);
    d.Field("createModeLength", s.createModeLength);
    d.Field("createModeVerify", s.createModeVerify);
    d.Field("namingModeLength", s.namingModeLength);
    d.Field("namingModeVerify", s.namingModeVerify);
    d.Field("volumeValueKind", s.volumeValueKind);
    d.Field("optimizeCut", s.optimizeCut);
    d.Field("optimizeAirCut", s.optimizeAirCut);
    d.Field("cutData", s.cutData);
    d.Field("cutDataNameMode", s.cutDataNameMode);
    d.Field("cutDataSuffixText", s.cutDataSuffixText);
    d.Field("cutDataSuffixBinary", s.cutDataSuffixBinary);
    d.Field("optimizedNc", s.optimizedNc);
    d.Field("optimizedNcNameMode", s.optimizedNcNameMode);
    d.Field("optimizedNcSuffix", s.optimizedNcSuffix);
    d.Field("approachValue", s.approachValue);
    d.Field("escapeWidth", s.escapeWidth);
    d.Field("escapeHeight", s.escapeHeight);
    d.Field("optimizedNcDirectory", rel(s.optimizedNcDirectory));
    d.Field("cutDataDirectory", rel(s.cutDataDirectory));
    d.Field("editorProgram", s.editorProgram);
    d.Field("editorOption", s.editorOption);
    d.Field("editorMacroNumber", s.editorMacroNumber);
    d.Field("editorMacroName", s.editorMacroName);
    d.Field("editorKind", s.editorKind);
    d.Field("selectOpen", s.selectOpen);
    d.Field("closeEnd", s.closeEnd);
    d.Field("toolsEditor", s.toolsEditor);
    d.Field("controllerEditor", s.controllerEditor);
    d.Field("machineEditor", s.machineEditor);
    d.Field("settingsEditor", s.settingsEditor);
    d.Field("definitionEditor", s.definitionEditor);
    d.Field("selfOption", s.selfOption);
    d.Field("videoDirectory", rel(s.videoDirectory));
    d.Array("recordTriggers", s.recordTriggers, 4);
    d.Field("recordTriggerCount", s.recordTriggerCount);
    d.Field("videoNameMode", s.videoNameMode);
    d.Field("lapDialog", s.lapDialog);
    d.Field("rightButtonMove", s.rightButtonMove);
    d.Field("wheelZoomReversed", s.wheelZoomReversed);
    d.Field("saveDisplay", s.saveDisplay);
    d.Field("saveWorkColor", s.saveWorkColor);
    d.Field("saveToolColor", s.saveToolColor);
    d.Field("saveMachineColor", s.saveMachineColor);
    d.Field("saveLineColor", s.saveLineColor);
    d.Field("saveBackground", s.saveBackground);
    d.Field("windowX", s.windowX);
    d.Field("windowY", s.windowY);
    d.Field("windowHeight", s.windowHeight);
    d.Field("windowWidth", s.windowWidth);
    d.Field("windowShow", s.windowShow);
    d.Field("showCommandPanel", s.showCommandPanel);
    d.Field("showToolPanel", s.showToolPanel);
    d.Array("lightVector", s.lightVector, 3);
    d.Field("lightAzimuth", s.lightAzimuth);
    d.Field("lightTilt", s.lightTilt);
    d.Field("skipBlock", s.skipBlock);
    d.Field("skipView", s.skipView);
    d.Field("realRotation", s.realRotation);
    d.Field("realRapid", s.realRapid);
    d.Field("targetAreaGiven", s.targetAreaGiven);
    d.Array("targetArea", s.targetArea, 6);
    d.Array("workMargin", s.workMargin, 3);
    d.Array("controlPoint", s.controlPoint, 5);
    d.Field("controlPointMachine", s.controlPointMachine);
    d.Field("newControlPointD", s.newControlPointD);
    d.Field("newControlPoint", s.newControlPoint);
    d.Array("specifiedPointD", s.specifiedPointD, 3);
    d.Array("specifiedPoint", s.specifiedPoint, 3);
    d.Field("toolBasePoint", s.toolBasePoint);
    d.Field("toolBasePointGiven", s.toolBasePointGiven);
    const float marks[8] = {s.weldingHeight, s.weldingWidth, s.grinderDepth, s.grinderWidth,
                            s.paperDepth,    s.paperWidth,   s.brushWidth,   s.heraWidth};
    d.Array("toolMarks", marks, 8);
    const int markPens[3] = {s.weldingPen, s.grinderPen, s.paperPen};
    d.Array("toolMarkPens", markPens, 3);
    d.Field("progressName", s.progressName);
    d.Field("sound", s.sound);
    // The default depends on the machine: the processor count.
    d.Field("multiThreadCount", s.multiThreadCount == GetProcessorCount()
                                    ? std::string("processors")
                                    : std::to_string(s.multiThreadCount));
    d.Field("volumeUnit", s.volumeUnit);
    d.Field("offsetValue", s.offsetValue);
    d.Field("stopKey", s.stopKey);
    d.Field("escapeKey", s.escapeKey);
    d.Field("undoRingSize", s.undoRingSize);
    d.Field("undoMarks", s.undoMarks.size());
    const DifferencePaintChoices& f = s.difference;
    d.Field("difference.area", f.area);
    d.Field("difference.margin", f.margin);
    d.Field("difference.marginStart", f.marginStart);
    d.Field("difference.penColor", f.penColor);
    d.Field("difference.pen", f.pen);
    d.Field("difference.recolor", f.recolor);
    d.Field("difference.offset", f.offset);
    d.Field("difference.targetPenGiven", f.targetPenGiven);
    d.Field("difference.targetPen", f.targetPen);
    d.Field("angleA", s.angleA);
    d.Field("angleB", s.angleB);
    d.Field("angleAStart", s.angleAStart);
    d.Field("angleBStart", s.angleBStart);
    d.Field("expandRate", s.expandRate);
    d.Field("maxMagazine", s.maxMagazine);
    d.Field("toolTables", ToolTableSet.tools.size());
    d.Field("checkMac", s.checkMac);

    const DefinitionFilePaths& p = DefinitionFiles;
    d.Field("settingsPath", rel(p.settingsPath));
    d.Field("toolsFile", rel(p.toolsFile));
    d.Field("controllerFile", rel(p.controllerFile));
    d.Field("machineFile", rel(p.machineFile));
    d.Field("basicModelFile", rel(p.basicModelFile));
    d.Field("programDirectory", rel(p.programDirectory));
    d.Field("currentDirectory", rel(p.currentDirectory));
    d.Field("helpPath", rel(p.helpPath));

    const StockDefinition& k = InitialStock;
    d.Field("stock.kind", k.kind);
    d.Array("stock.box", k.box, 6);
    d.Array("stock.sideReference", k.sideReference, 3);
    d.Array("stock.sideSize", k.sideSize, 3);
    d.Array("stock.sideLowMargin", k.sideLowMargin, 3);
    d.Array("stock.sideHighMargin", k.sideHighMargin, 3);
    d.Field("stock.cylinderAxis", k.cylinderAxis);
    d.Array("stock.cylinder", k.cylinder, 6);

    const StlImportSettings& t = StlImport;
    d.Field("stl.coordinateKind", t.coordinateKind);
    d.Field("stl.stockInWork", t.stockInWork);
    d.Field("stl.transformFlag", t.transformFlag);
    d.Field("stl.referenceDirection", t.referenceDirection);
    d.Field("stl.select", t.stlSelect);
    d.Field("stl.filter", t.stlFilter);
    d.Field("stl.check", t.stlCheck);
    d.Field("stl.checkMatrix", t.checkMatrix);
    d.Field("stl.matrixFileName", t.matrixFileName);

    const CheckSettings& c = Checks;
    d.Field("check.interference", c.interference);
    d.Field("check.arbor", c.arborCheck);
    d.Field("check.height", c.heightCheck);
    d.Field("check.chipWidth", c.chipWidthCheck);
    d.Field("check.spindle", c.spindleCheck);
    d.Array("check.structurePairs", c.structurePairs, kStructurePairCount);
    d.Field("check.ignoreG00", c.ignoreG00);
    d.Field("check.rapidFeedrate", c.rapidFeedrate);
    d.Field("check.toolClearanceMode", c.toolClearanceMode);
    d.Field("check.toolClearance", c.toolClearance);
    d.Field("check.arborClearanceMode", c.arborClearanceMode);
    d.Field("check.arborClearance", c.arborClearance);
    d.Field("check.pauseOnEvents", c.pauseOnEvents);

    const DisplayModeSettings& m = DisplayModes;
    const int modes[4] = {m.workMode, m.baseMode, m.toolMode, m.machineMode};
    d.Array("display.modes", modes, 4);
    const float alphas[4] = {m.workAlpha, m.baseAlpha, m.toolAlpha, m.machineAlpha};
    d.Array("display.alphas", alphas, 4);
    d.Field("display.stockStyle", m.stockStyle);
    d.Field("display.optimizeDrawing", m.optimizeDrawing);
    d.Field("display.guidance", m.displayGuidance);
    d.Field("display.rotationCenter", m.rotationCenterDisplay);
    d.Field("display.constructionPoint", m.constructionPoint);
    d.Field("display.basicAxis", m.basicAxis);
    d.Field("display.perspective", m.perspective);
    d.Field("display.colorMode", m.colorMode);
    d.Field("display.toolTopColorMode", m.toolTopColorMode);

    const DexelPitchSettings& x = DexelPitch;
    d.Field("pitch.automatic", x.automatic);
    d.Field("pitch.requested", x.requestedPitch);
    d.Field("pitch.current", x.currentPitch);
    d.Field("pitch.minimum", x.minimumPitch);
    d.Field("pitch.sizeLimit", x.sizeLimit);
    d.Field("pitch.secondAutomatic", x.secondPitchAutomatic);
    d.Field("pitch.secondFactor", x.secondPitchFactor);
    d.Field("pitch.second", x.secondPitch);

    const ColorSet& l = LiveColors;
    d.Color("color.work", l.work);
    for (int pen = 1; pen <= 15; ++pen) {
        d.Color(("color.pen" + std::to_string(pen)).c_str(), l.pens[pen]);
    }
    d.Color("color.base", l.base);
    d.Color("color.penki", l.penki);
    d.Color("color.topPath", l.topPath);
    d.Color("color.topPath2", l.topPath2);
    d.Color("color.construction", l.construction);
    d.Color("color.toolTop", l.toolTop);
    d.Color("color.toolSide", l.toolSide);
    d.Color("color.arbor", l.arbor);
    d.Color("color.basic", l.basic);
    d.Color("color.vice", l.vice);
    d.Color("color.headOneRotary", l.headOneRotary);
    d.Color("color.headTwoRotary", l.headTwoRotary);
    d.Color("color.head", l.head);
    d.Color("color.head1", l.head1);
    d.Color("color.head2", l.head2);
    d.Color("color.tableOneRotary", l.tableOneRotary);
    d.Color("color.table", l.table);
    d.Color("color.table1", l.table1);
    d.Color("color.table2", l.table2);
    d.Color("color.background", l.background);
    return d.Text();
}

}  // namespace mirexa::testing
