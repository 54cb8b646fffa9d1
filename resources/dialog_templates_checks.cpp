// Templates of the interference check dialogs: the four cutting checks and the 25 structure pairs.
#include "resources/dialog_template_builders.h"
#include "resources/dialog_templates.h"

namespace mirexa {

namespace {

using namespace templates;

constexpr ControlTemplate kInterference[] = {
    Group(1337, 7, 7, 286, 26, "早送り(G00)-切削チェック", "Check Rapid(G00)-Cut"),
    Radio(1338, 15, 18, 90, "無/強制切削", "No/Forcible Cut", kGroupStart),
    Radio(1339, 110, 18, 80, "有/中断", "Yes/Break"),
    Radio(1346, 195, 18, 80, "有/停止", "Yes/Stop"),
    Group(1340, 7, 38, 286, 38, "アーバ/テーパチェック", "Check Arbor/Taper"),
    Radio(1341, 15, 49, 90, "無/無視", "No/Ignore", kGroupStart),
    Radio(1343, 110, 49, 175, "無/必要長さ出力", "No/Output necessary length"),
    Radio(1342, 15, 62, 90, "無/強制切削", "No/Forcible Cut"),
    Radio(1344, 110, 62, 80, "有/中断", "Yes/Break"),
    Radio(1354, 195, 62, 80, "有/停止", "Yes/Stop"),
    Group(1345, 7, 81, 286, 38, "有効高さチェック", "Check Available-Height"),
    Radio(1347, 15, 92, 90, "無/強制切削", "No/Forcible Cut", kGroupStart),
    Radio(1348, 110, 92, 175, "無/必要高さ出力", "No/Output necessary height"),
    Radio(1349, 15, 105, 90, "有/中断", "Yes/Break"),
    Radio(1355, 110, 105, 80, "有/停止", "Yes/Stop"),
    Group(1350, 7, 124, 286, 38, "切粉/縦型・ラジアスミルチェック",
          "Check Chip/VERTICAL or RADIUS Mill"),
    Radio(1351, 15, 135, 90, "無/強制切削", "No/Forcible Cut", kGroupStart),
    Radio(1352, 110, 135, 175, "無/必要幅・高さ出力", "No/Output necessary width or height"),
    Radio(1353, 15, 148, 90, "有/中断", "Yes/Break"),
    Radio(1356, 110, 148, 80, "有/停止", "Yes/Stop"),
    Ok(187, 170),
    Cancel(243, 170),
};

// One structure pair: the label of the part it is checked against and its three buttons.
struct StructurePair {
    int label;
    const char* against;
    int first;  // the buttons of 0, 1 and 2 are first, first + 1, first + 2
};
struct StructureGroup {
    int id;
    const char* text;
    int column;
    int y;
    int pairCount;
};
constexpr StructurePair kPairs[25] = {
    {1476, "VICE", 1467},   {1477, "TABLE2", 1470}, {1478, "TABLE1", 1473}, {1479, "TABLE", 1483},
    {1480, "BASIC", 1486},  {1481, "VICE", 1489},   {1482, "TABLE2", 1492}, {1519, "TABLE1", 1495},
    {1520, "TABLE", 1498},  {1521, "BASIC", 1501},  {1504, "WORK", 1534},   {1505, "VICE", 1537},
    {1506, "TABLE", 1540},  {1507, "BASIC", 1543},  {1508, "WORK", 1546},   {1509, "VICE", 1549},
    {1510, "TABLE1", 1552}, {1511, "TABLE", 1555},  {1512, "BASIC", 1561},  {1513, "WORK", 1564},
    {1514, "VICE", 1567},   {1515, "TABLE2", 1570}, {1516, "TABLE1", 1579}, {1517, "TABLE", 1582},
    {1518, "BASIC", 1585},
};
constexpr StructureGroup kStructureGroups[5] = {
    {1522, "TOOL vs", 0, 7, 5},  {1523, "ARBOR vs", 0, 87, 5}, {1524, "HEAD2 vs", 0, 167, 4},
    {1525, "HEAD1 vs", 1, 7, 5}, {1526, "HEAD vs", 1, 87, 6},
};

// Each pair is an automatic radio group of its own: its first button starts the group.
constexpr auto MakeStructureControls() {
    ControlList<107> list;
    int pair = 0;
    for (const StructureGroup& group : kStructureGroups) {
        const int x = 7 + 180 * group.column;
        list.Add(Group(group.id, x, group.y, 175, 16 + 12 * group.pairCount, group.text, nullptr));
        for (int row = 0; row < group.pairCount; ++row, ++pair) {
            const int y = group.y + 12 + 12 * row;
            list.Add(Label(kPairs[pair].label, x + 6, y + 1, 40, kPairs[pair].against, nullptr));
            list.Add(AutoRadio(kPairs[pair].first, x + 48, y, 35, "無視", "No", kGroupStart));
            list.Add(AutoRadio(kPairs[pair].first + 1, x + 84, y, 35, "中断", "Yes"));
            list.Add(AutoRadio(kPairs[pair].first + 2, x + 120, y, 50, "一時停止", "Stop"));
        }
    }
    list.Add(Ok(250, 240));
    list.Add(Cancel(306, 240));
    return list;
}
constexpr auto kStructure = MakeStructureControls();

}  // namespace

const DialogTemplate CheckDialogTemplates[2] = {
    {IDD_INTERFERENCE_CHECK, "各種干渉チェックの設定", "Check Interference", 300, 190, 0,
     kInterference},
    {IDD_STRUCTURE_INTERFERENCE, "構造物干渉チェックの設定(暫定仕様)", "Interference of Machine",
     370, 262, 0, Controls(kStructure)},
};

}  // namespace mirexa
