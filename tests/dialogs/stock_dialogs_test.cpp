// The stock dialogs driven as a user would: shown values, OK storing the working copies and the
// typed numbers (machine values from work coordinates), Cancel storing nothing, refused numbers,
// the nested control point, and the choices that depend on the file being read.
#include "dialogs/stock_dialogs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "config/config_records.h"
#include "dialogs/dialog_conventions.h"
#include "platform/dialogs.h"
#include "platform/message_box.h"
#include "platform/profile.h"
#include "resources/dialog_templates.h"
#include "services/shared_state.h"
#include "shell/run_commands.h"
#include "support/scratch_directory.h"
#include "support/test_windows.h"

namespace mirexa {
namespace {

// One scripted step per round of a dialog: fill, click, and say whether there is more to do.
using Script = std::function<int(WindowHandle dialog, int templateId, int round)>;

class StockDialogsTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedStock_ = InitialStock;
        savedPitch_ = DexelPitch;
        ResetConfigurationRecords();
        ResetStockDialogs();
        ControlOriginOffset = MotionPosition{};
        DexelPitch.automatic = 0;
        DexelPitch.requestedPitch = 1.0;
        SetMessageBoxResponder([this](const MessageBoxRequest& request) {
            warnings.push_back(request.caption + ": " + request.text);
            return MBX_IDOK;
        });
    }
    void TearDown() override {
        SetDialogResponder({});
        SetMessageBoxResponder({});
        InitialStock = savedStock_;
        DexelPitch = savedPitch_;
        ControlOriginOffset = MotionPosition{};
        ResetConfigurationRecords();
        ResetStockDialogs();
    }
    void Script(const ::mirexa::Script& script) {
        SetDialogResponder(script);
    }
    std::vector<std::string> warnings;

private:
    StockDefinition savedStock_;
    DexelPitchSettings savedPitch_;
};

// The bytes of every record the stock dialogs may write.
std::string SnapshotStockRecords() {
    std::string bytes;
    auto add = [&](const void* data, std::size_t size) {
        bytes.append(static_cast<const char*>(data), size);
    };
    add(&InitialStock, sizeof InitialStock);
    add(&DexelPitch, sizeof DexelPitch);
    add(&StockTransform, sizeof StockTransform);
    add(&StockCoordinateKind, sizeof StockCoordinateKind);
    add(&StockOffsetDirection, sizeof StockOffsetDirection);
    add(&Settings.newControlPoint, sizeof Settings.newControlPoint);
    add(Settings.specifiedPoint, sizeof Settings.specifiedPoint);
    add(&Settings.offsetValue, sizeof Settings.offsetValue);
    add(&StlImport.coordinateKind, sizeof StlImport.coordinateKind);
    add(StlImport.scaleFlags, sizeof StlImport.scaleFlags);
    add(StlImport.scaleRates, sizeof StlImport.scaleRates);
    add(StlImport.mirrorFlags, sizeof StlImport.mirrorFlags);
    add(&StlImport.transformFlag, sizeof StlImport.transformFlag);
    add(&StlImport.referenceDirection, sizeof StlImport.referenceDirection);
    return bytes;
}

TEST_F(StockDialogsTest, WorkCoordinatesShowMachineValuesLessTheOriginAndStoreThemBack) {
    ControlOriginOffset.axis[0] = 10;
    ControlOriginOffset.axis[1] = 20;
    StockCoordinateKind = 1;
    const double box[6] = {15, 25, 0, 115, 125, 30};
    std::memcpy(InitialStock.box, box, sizeof box);
    std::string shownMinX;
    std::string shownMinY;
    Script([&](WindowHandle dialog, int id, int round) {
        if (id != IDD_STOCK_TWO_POINT || round > 0) {
            return 0;
        }
        shownMinX = GetDlgItemText(dialog, 142);
        shownMinY = GetDlgItemText(dialog, 143);
        TypeDlgItemText(dialog, 142, "5");
        TypeDlgItemText(dialog, 145, " 50 ");  // blanks around the number do not count
        TypeDlgItemText(dialog, 140, "0.5");
        ClickDlgItem(dialog, 1243);
        ClickDlgItem(dialog, IDOK);
        return 1;
    });
    StockBoxChoice choice;
    ASSERT_EQ(OpenTwoPointStockDialog(&choice), 1);
    EXPECT_EQ(shownMinX, "   5.000");
    EXPECT_EQ(shownMinY, "   5.000");
    const double expected[6] = {15, 25, 0, 60, 125, 30};
    for (int i = 0; i < 6; ++i) {
        EXPECT_DOUBLE_EQ(InitialStock.box[i], expected[i]) << i;
    }
    EXPECT_DOUBLE_EQ(DexelPitch.requestedPitch, 0.5);
    EXPECT_EQ(choice.controlPointMode, 1);
    EXPECT_TRUE(warnings.empty());
}

TEST_F(StockDialogsTest, SwitchingTheCoordinateKindKeepsThePointTheFieldsName) {
    ControlOriginOffset.axis[2] = -100;
    InitialStock.cylinder[2] = -50;
    std::string shownAfterSwitch;
    Script([&](WindowHandle dialog, int id, int round) {
        if (id != IDD_STOCK_CYLINDER || round > 0) {
            return 0;
        }
        ClickDlgItem(dialog, 1424);
        testing::DispatchPendingMessages();
        shownAfterSwitch = GetDlgItemText(dialog, 1372);
        ClickDlgItem(dialog, 1376);
        TypeDlgItemText(dialog, 1381, "-40");
        ClickDlgItem(dialog, IDOK);
        return 1;
    });
    StockBoxChoice choice;
    ASSERT_EQ(OpenCylinderStockDialog(&choice), 1);
    EXPECT_EQ(shownAfterSwitch, "  50.000");
    EXPECT_DOUBLE_EQ(InitialStock.cylinder[2], -50);
    EXPECT_EQ(InitialStock.cylinderAxis, 1);
    EXPECT_DOUBLE_EQ(InitialStock.cylinder[3], -40);  // sizes are stored as typed
    EXPECT_EQ(StockCoordinateKind, 1);
}

// The cylinder's sizes are diameters: the English labels say so, as the Japanese ones do, so that
// no one types a radius and gets a stock half the size.
TEST_F(StockDialogsTest, TheEnglishCylinderDialogLabelsItsSizesAsDiameters) {
    UiLanguage.store(1);
    std::string outer;
    std::string inner;
    Script([&](WindowHandle dialog, int, int) {
        outer = GetDlgItemText(dialog, 1365);
        inner = GetDlgItemText(dialog, 1375);
        ClickDlgItem(dialog, IDCANCEL);
        return 1;
    });
    StockBoxChoice choice;
    OpenCylinderStockDialog(&choice);
    UiLanguage.store(0);
    EXPECT_EQ(outer, "Outer Dia :");
    EXPECT_EQ(inner, "Inner Dia :");
}

// Every stock dialog: all its choices changed and fields typed, then Cancel: nothing stored.
TEST_F(StockDialogsTest, CancelAfterChangingEverythingStoresNothing) {
    ControlOriginOffset.axis[0] = 1;  // the coordinate buttons are enabled
    const struct {
        int templateId;
        std::vector<int> clicks;
        std::vector<int> fields;
        std::function<int()> open;
    } dialogs[] = {
        {IDD_STOCK_TWO_POINT,
         {1424, 1244},
         {142, 143, 144, 145, 146, 147, 140},
         [] {
             StockBoxChoice choice;
             return OpenTwoPointStockDialog(&choice);
         }},
        {IDD_STOCK_CYLINDER,
         {1424, 1378, 1243},
         {1370, 1371, 1372, 1381, 1382, 1384, 140},
         [] {
             StockBoxChoice choice;
             return OpenCylinderStockDialog(&choice);
         }},
        {IDD_STOCK_FROM_ORIGIN,
         {1462, 1470, 1482},
         {1464, 1466, 1468, 1474, 1484, 140},
         [] {
             StockBoxChoice choice;
             return OpenOriginStockDialog(&choice);
         }},
        {IDD_STOCK_OFFSET,
         {207},
         {206},
         [] {
             StockOffsetParameters parameters;
             return OpenStockOffsetDialog(&parameters);
         }},
        {IDD_SWING,
         {1141},
         {1146, 1147, 1148},
         [] {
             double s = 0, c = 0;
             return OpenSwingDialog(&s, &c);
         }},
        {IDD_REVERSE_SETTINGS, {162, 1330, 1331, 1332}, {}, [] { return OpenReverseDialog(); }},
        {IDD_STL_READ_SETTINGS,
         {1424, 1425, 1434, 1400},
         {1428, 1431, 1437},
         [] { return OpenStlReadDialog(); }},
    };
    for (const auto& d : dialogs) {
        SCOPED_TRACE("dialog " + std::to_string(d.templateId));
        const std::string before = SnapshotStockRecords();
        Script([&](WindowHandle dialog, int id, int round) {
            if (id != d.templateId || round > 0) {
                return 0;
            }
            for (int click : d.clicks) {
                EXPECT_EQ(ClickDlgItem(dialog, click), 1) << click;
            }
            for (int field : d.fields) {
                TypeDlgItemText(dialog, field, "7");
            }
            ClickDlgItem(dialog, IDCANCEL);
            return 1;
        });
        EXPECT_EQ(d.open(), 0);
        EXPECT_EQ(SnapshotStockRecords(), before);
    }
}

TEST_F(StockDialogsTest, CoordinateButtonsAreGreyedWhileTheOriginIsTheMachineOrigin) {
    const struct {
        int templateId;
        std::function<int()> open;
    } dialogs[] = {{IDD_STOCK_TWO_POINT,
                    [] {
                        StockBoxChoice choice;
                        return OpenTwoPointStockDialog(&choice);
                    }},
                   {IDD_STOCK_CYLINDER,
                    [] {
                        StockBoxChoice choice;
                        return OpenCylinderStockDialog(&choice);
                    }},
                   {IDD_STL_READ_SETTINGS, [] { return OpenStlReadDialog(); }}};
    for (double x : {0.0, 5.0}) {
        ControlOriginOffset.axis[0] = x;
        for (const auto& d : dialogs) {
            int enabled[2] = {-1, -1};
            Script([&](WindowHandle dialog, int, int) {
                enabled[0] = IsDlgItemEnabled(dialog, 1423);
                enabled[1] = IsDlgItemEnabled(dialog, 1424);
                return 0;
            });
            d.open();
            const int expected = x != 0.0 ? 1 : 0;
            EXPECT_EQ(enabled[0], expected) << d.templateId;
            EXPECT_EQ(enabled[1], expected) << d.templateId;
        }
    }
}

TEST_F(StockDialogsTest, TheSpecifiedPointIsWrittenOnTheNestedOkEvenWhenTheStockIsCancelled) {
    testing::ScratchDirectory scratch;
    DefinitionFiles.settingsPath = scratch.At("mirexa.ini");
    std::string shown;
    Script([&](WindowHandle dialog, int id, int round) {
        if (id == IDD_CONTROL_POINT && round == 0) {
            TypeDlgItemText(dialog, 156, "1");
            TypeDlgItemText(dialog, 157, "2.5");
            TypeDlgItemText(dialog, 158, "-3");
            ClickDlgItem(dialog, IDOK);
            return 1;
        }
        if (id == IDD_STOCK_TWO_POINT && round == 0) {
            ClickDlgItem(dialog, 1245);
            return 1;
        }
        shown = GetDlgItemText(dialog, 1246);
        return 0;
    });
    StockBoxChoice choice;
    EXPECT_EQ(OpenTwoPointStockDialog(&choice), 0);
    EXPECT_EQ(shown, "(1.000,2.500,-3.000)");
    EXPECT_DOUBLE_EQ(Settings.specifiedPoint[1], 2.5);
    EXPECT_EQ(ReadProfileString("Define", "SPECIFIED POINT", "", DefinitionFiles.settingsPath),
              "(1.000,2.500,-3.000)");
}

TEST_F(StockDialogsTest, ANumberFieldRefusesTextWithoutANumberAndShowsThePreviousValue) {
    double shift[3] = {1, 2, 3};
    std::string shownAfterRefusal;
    int stillOpen = 0;
    Script([&](WindowHandle dialog, int id, int round) {
        if (id != IDD_STOCK_MOVE) {
            return 0;
        }
        if (round == 0) {
            TypeDlgItemText(dialog, 1045, "abc");
            TypeDlgItemText(dialog, 1046, "12345678901234567890123456789");
            ClickDlgItem(dialog, IDOK);
            return 1;
        }
        if (round == 1) {
            stillOpen = IsDialogEnded(dialog) ? 0 : 1;
            shownAfterRefusal = GetDlgItemText(dialog, 1045);
            TypeDlgItemText(dialog, 1045, "4");
            ClickDlgItem(dialog, IDOK);
            return 1;
        }
        return 0;
    });
    ASSERT_EQ(OpenStockMoveDialog(shift), 1);
    EXPECT_EQ(stillOpen, 1);
    EXPECT_EQ(shownAfterRefusal, "   1.000");
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].rfind("Warning: ", 0) == 0 || warnings[0].rfind("警告: ", 0) == 0, true);
    EXPECT_NE(warnings[0].find("「X移動」が数値ではありません"), std::string::npos) << warnings[0];
    EXPECT_DOUBLE_EQ(shift[0], 4);
    // The whole field counts, however long.
    EXPECT_DOUBLE_EQ(shift[1], 12345678901234567890123456789.0);
    EXPECT_DOUBLE_EQ(shift[2], 3);
}

TEST_F(StockDialogsTest, AFileThatCannotSwingAboutZLosesItsZButton) {
    constexpr int kCentres[3] = {1146, 1147, 1149};
    const struct {
        int openKind;
        int zPresent;
        int axisAfterOk;
    } cases[] = {{0, 1, 2}, {1, 0, 0}, {2, 1, 2}, {5, 1, 2}, {6, 0, 0}, {8, 0, 0}};
    for (const auto& c : cases) {
        StockTransform.stockOpenKind = c.openKind;
        StockTransform.swingAxis = 2;
        int zPresent = -1;
        int centreEnabled[3] = {};
        Script([&](WindowHandle dialog, int, int round) {
            if (round > 0) {
                return 0;
            }
            zPresent = GetDlgItem(dialog, 1143) != nullptr;
            for (int i = 0; i < 3; ++i) {
                centreEnabled[i] = IsDlgItemEnabled(dialog, kCentres[i]);
            }
            TypeDlgItemText(dialog, 1148, "0.1");
            ClickDlgItem(dialog, IDOK);
            return 1;
        });
        double sine = 0;
        double cosine = 0;
        ASSERT_EQ(OpenSwingDialog(&sine, &cosine), 1);
        EXPECT_EQ(zPresent, c.zPresent) << c.openKind;
        EXPECT_EQ(StockTransform.swingAxis, c.axisAfterOk) << c.openKind;
        // The centre field of the swing axis is greyed.
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(centreEnabled[i], i == c.axisAfterOk ? 0 : 1) << c.openKind;
        }
        EXPECT_EQ(StockTransform.swingAngle, static_cast<double>(0.1f));
        EXPECT_DOUBLE_EQ(sine, std::sin(static_cast<double>(0.1f) * std::numbers::pi / 180.0));
    }
}

TEST_F(StockDialogsTest, ReverseKeepsItsColourChoicesGreyedForAHeightMap) {
    for (int kind : {1, 2}) {
        StockTransform.stockOpenKind = kind;
        int enabled = -1;
        Script([&](WindowHandle dialog, int, int round) {
            if (round > 0) {
                return 0;
            }
            enabled = IsDlgItemEnabled(dialog, 1330) + IsDlgItemEnabled(dialog, 1331) +
                      IsDlgItemEnabled(dialog, 1332);
            ClickDlgItem(dialog, 162);
            ClickDlgItem(dialog, 1331);
            ClickDlgItem(dialog, IDOK);
            return 1;
        });
        ASSERT_EQ(OpenReverseDialog(), 1);
        EXPECT_EQ(enabled, kind == 2 ? 0 : 3);
        EXPECT_EQ(StockTransform.reverseDirection, 2);
        EXPECT_EQ(StockTransform.keepFlags[1], kind == 2 ? 1 : 0);
        StockTransform = StockTransformParameters{};
    }
}

TEST_F(StockDialogsTest, RotateOffsetStateAndClipStoreTheirChoicesOnOk) {
    Script([&](WindowHandle dialog, int id, int round) {
        if (round > 0) {
            return 0;
        }
        switch (id) {
            case IDD_STOCK_ROTATE:
                ClickDlgItem(dialog, 1142);
                TypeDlgItemText(dialog, 1148, "0.1");
                break;
            case IDD_STOCK_OFFSET:
                ClickDlgItem(dialog, 205);
                TypeDlgItemText(dialog, 206, "-2.5");
                break;
            case IDD_STOCK_STATE:
                ClickDlgItem(dialog, 1397);
                break;
            case IDD_XYZ_CUT:
                TypeDlgItemText(dialog, 1019, "8");
                TypeDlgItemText(dialog, 1017, "-1");
                break;
        }
        ClickDlgItem(dialog, IDOK);
        return 1;
    });
    int axis = 2;
    double angle = 0;
    ASSERT_EQ(OpenStockRotateDialog(&axis, &angle), 1);
    EXPECT_EQ(axis, 1);
    EXPECT_EQ(angle, static_cast<double>(0.1f));
    StockOffsetParameters offset;
    ASSERT_EQ(OpenStockOffsetDialog(&offset), 1);
    EXPECT_EQ(offset.mode, 2);
    EXPECT_DOUBLE_EQ(offset.value, -2.5);
    int state = 0;
    ASSERT_EQ(OpenStockStateDialog(&state), 1);
    EXPECT_EQ(state, 1);
    StockClipLimits limits;
    limits.maxCorner[2] = 30;
    ASSERT_EQ(OpenStockClipDialog(&limits), 1);
    EXPECT_DOUBLE_EQ(limits.maxCorner[2], 8);
    EXPECT_DOUBLE_EQ(limits.minCorner[1], -1);
}

TEST_F(StockDialogsTest, TheOriginBoxStoresTheControlPointAtTheClickAndCornersOnOk) {
    ControlOriginOffset.axis[0] = 100;
    Script([&](WindowHandle dialog, int, int round) {
        if (round == 0) {
            ClickDlgItem(dialog, 1244);
        }
        return 0;
    });
    StockBoxChoice choice;
    EXPECT_EQ(OpenOriginStockDialog(&choice), 0);
    EXPECT_EQ(choice.controlPointMode, 2);
    EXPECT_EQ(Settings.newControlPoint, 2);
    Script([&](WindowHandle dialog, int, int round) {
        if (round > 0) {
            return 0;
        }
        ClickDlgItem(dialog, 1462);  // X: the part ends at the origin
        TypeDlgItemText(dialog, 1464, "40");
        TypeDlgItemText(dialog, 1466, "1");
        TypeDlgItemText(dialog, 1468, "2");
        ClickDlgItem(dialog, 1471);  // Y: centred
        TypeDlgItemText(dialog, 1474, "30");
        ClickDlgItem(dialog, 1480);  // Z: starts at the origin
        TypeDlgItemText(dialog, 1484, "10");
        ClickDlgItem(dialog, IDOK);
        return 1;
    });
    ASSERT_EQ(OpenOriginStockDialog(&choice), 1);
    const double expected[6] = {59, -15, 0, 102, 15, 10};
    for (int i = 0; i < 6; ++i) {
        EXPECT_DOUBLE_EQ(InitialStock.box[i], expected[i]) << i;
    }
    EXPECT_EQ(InitialStock.sideReference[0], 1);
    EXPECT_EQ(InitialStock.sideReference[1], 0);
}

TEST_F(StockDialogsTest, StlSettingsReadOnlyTheChosenTransformsAndSetTheTransformFlag) {
    StlImport.mirrorCentres[1] = 9;
    Script([&](WindowHandle dialog, int, int round) {
        if (round > 0) {
            return 0;
        }
        ClickDlgItem(dialog, 1425);
        testing::DispatchPendingMessages();  // the rate field is enabled by the click
        TypeDlgItemText(dialog, 1428, "2");
        TypeDlgItemText(dialog, 1438, "5");  // greyed: the Y mirror is off
        ClickDlgItem(dialog, 1404);
        ClickDlgItem(dialog, IDOK);
        return 1;
    });
    ASSERT_EQ(OpenStlReadDialog(), 1);
    EXPECT_EQ(StlImport.scaleFlags[0], 1);
    EXPECT_DOUBLE_EQ(StlImport.scaleRates[0], 2);
    EXPECT_DOUBLE_EQ(StlImport.mirrorCentres[1], 9);
    EXPECT_EQ(StlImport.transformFlag, 1);
    EXPECT_EQ(StlImport.referenceDirection, -2);
}

}  // namespace
}  // namespace mirexa
