// The cursor pictures: '#' the black line, '+' its white rim, so that each shows on any
// background.
#include "resources/cursor_images.h"

#include "platform/cursor.h"

namespace mirexa {

namespace {

// One picture row per line.
// clang-format off
// 238: rotate tool, idle.
constexpr const char* kCursor238[kCursorRows] = {
    "                ",
    "    +++++++     ",
    "  +++#####+++   ",
    "  +###+++###+   ",
    " ++#+++ +++#++  ",
    " +##+   ++#+#++ ",
    " +#++   +#+++#+ ",
    " +#+    +++ +++ ",
    " +#++           ",
    " +##+     +++   ",
    " ++#+++ +++#+   ",
    "  +###+++###+   ",
    "  +++#####+++   ",
    "    +++++++     ",
    "                ",
    "                ",
};

// 239: view spin.
constexpr const char* kCursor239[kCursorRows] = {
    "    +++++++     ",
    "  +++#####+++   ",
    " ++###+++###++  ",
    " +##+++++++##+  ",
    "++#++#####++#+++",
    "+##+##+++#####+#",
    "+#++#++ ++#+###+",
    "+#++#+   +#++#++",
    "###+#++ ++#++#+ ",
    "+#####+++##+##+ ",
    "++#++#####++#++ ",
    " +##+++++++##+  ",
    " ++###+++###++  ",
    "  +++#####+++   ",
    "    +++++++     ",
    "                ",
};

// 240: stock-part tools, measuring tools 5-7.
constexpr const char* kCursor240[kCursorRows] = {
    "      +#+       ",
    "      +#+       ",
    "      +#+       ",
    "      +#+       ",
    "      +#+       ",
    "      +#+       ",
    "++++++++++++++++",
    "######+ +######+",
    "++++++++++++++++",
    "      +#++++++++",
    "      +#++#####+",
    "      +#++#+++#+",
    "      +#++#+ +#+",
    "      +#++#+++#+",
    "      +#++#####+",
    "      ++++++++++",
};

// 241: measuring tool 3.
constexpr const char* kCursor241[kCursorRows] = {
    "      +#+       ",
    "      +#+       ",
    "      +#+       ",
    "      +#+       ",
    "      +#+       ",
    "      +#+       ",
    "++++++++++++++++",
    "######+ +######+",
    "++++++++++++++++",
    "      +#+       ",
    "      +#+  +++  ",
    "      +#+  +#+  ",
    "      +#++++++++",
    "      +#++#+#+#+",
    "      +#++++++++",
    "      +++  +#+  ",
};

// 242: rectangle drag up.
constexpr const char* kCursor242[kCursorRows] = {
    "      +++       ",
    "     ++#++      ",
    "    ++###++     ",
    "   ++#+#+#++    ",
    "  ++#++#++#++   ",
    "  +#+++#+++#+   ",
    "  +++ +#+ +++   ",
    "      +#+       ",
    "      +#+       ",
    "      +#+       ",
    "      +#+       ",
    "      +#+       ",
    "      +#+       ",
    "      +#+       ",
    "      +#+       ",
    "      +++       ",
};

// 243: rectangle drag right.
constexpr const char* kCursor243[kCursorRows] = {
    "                ",
    "                ",
    "         +++    ",
    "         +#++   ",
    "         ++#++  ",
    "          ++#++ ",
    "+++++++++++++#++",
    "+##############+",
    "+++++++++++++#++",
    "          ++#++ ",
    "         ++#++  ",
    "         +#++   ",
    "         +++    ",
    "                ",
    "                ",
    "                ",
};

// 244: rectangle drag down.
constexpr const char* kCursor244[kCursorRows] = {
    "      +++       ",
    "      +#+       ",
    "      +#+       ",
    "      +#+       ",
    "      +#+       ",
    "      +#+       ",
    "      +#+       ",
    "      +#+       ",
    "      +#+       ",
    "  +++ +#+ +++   ",
    "  +#+++#+++#+   ",
    "  ++#++#++#++   ",
    "   ++#+#+#++    ",
    "    ++###++     ",
    "     ++#++      ",
    "      +++       ",
};

// 245: rectangle drag left.
constexpr const char* kCursor245[kCursorRows] = {
    "                ",
    "                ",
    "    +++         ",
    "   ++#+         ",
    "  ++#++         ",
    " ++#++          ",
    "++#+++++++++++++",
    "+##############+",
    "++#+++++++++++++",
    " ++#++          ",
    "  ++#++         ",
    "   ++#+         ",
    "    +++         ",
    "                ",
    "                ",
    "                ",
};

// 246: measuring tool 4.
constexpr const char* kCursor246[kCursorRows] = {
    "      +#+       ",
    "      +#+       ",
    "    +++#+++     ",
    "   ++#####++    ",
    "  ++##+#+##++   ",
    "  +##+++++##+   ",
    "+++#++   ++#++++",
    "#####+   +#####+",
    "+++#++   ++#++++",
    "  +##+++++##+   ",
    "  ++##+#+##++   ",
    "   ++#####++    ",
    "    +++#+++     ",
    "      +#+       ",
    "      +#+       ",
    "      +++       ",
};

// 247: rotate tool, dragging.
constexpr const char* kCursor247[kCursorRows] = {
    "    +++++++     ",
    "  +++#####+++   ",
    " ++###+++###++++",
    " +##+++ +++##++#",
    "++#++     ++#+#+",
    "+##+       +##++",
    "++++       ++++ ",
    "                ",
    "++++       ++++ ",
    "+##+       +##+ ",
    "#+#++     ++#++ ",
    "++##+++ +++##+  ",
    " ++###+++###++  ",
    "  +++#####+++   ",
    "    +++++++     ",
    "                ",
};

// 248: measuring tool 1.
constexpr const char* kCursor248[kCursorRows] = {
    "   +#+          ",
    "   +#+          ",
    "   +#+          ",
    "++++#+++++      ",
    "####+####+      ",
    "++++#+++++      ",
    "   +#+          ",
    "   +#+ +++++++  ",
    "   +#+ +#####+  ",
    "   +++ +##++++  ",
    "       +#+#++   ",
    "       +#++#++  ",
    "       +#+++#++ ",
    "       +++ ++#++",
    "            ++#+",
    "             ++#",
};

// 249: measuring tool 2.
constexpr const char* kCursor249[kCursorRows] = {
    "      +#+   ++#+",
    "      +#+  ++#++",
    "      +#+ ++#++ ",
    "      +#+++#++  ",
    "      +#++#++   ",
    "      +#++++    ",
    "++++++++++++++++",
    "######+ +######+",
    "++++++++++++++++",
    "      +#+       ",
    "      +#+       ",
    "      +#+       ",
    "      +#+       ",
    "      +#+       ",
    "      +#+       ",
    "      +++       ",
};

// 250: zoom rectangle.
constexpr const char* kCursor250[kCursorRows] = {
    "+++++++++++++   ",
    "+###########+   ",
    "+#++#####++#+   ",
    "+#+##+++##+#+   ",
    "+###++ ++###+   ",
    "+##++   ++##+   ",
    "+##+     +##+   ",
    "+##++   ++##+   ",
    "+###++ ++###+   ",
    "+#+##+++####+   ",
    "+#++#####+##++  ",
    "+############++ ",
    "++++++++++++##++",
    "           ++##+",
    "            ++##",
    "             +++",
};

// 251: second stock-part tool.
constexpr const char* kCursor251[kCursorRows] = {
    "      +#+       ",
    "      +#+       ",
    "      +#+       ",
    "      +#+       ",
    "      +#+       ",
    "      +#+       ",
    "++++++++++++++++",
    "######+ +######+",
    "++++++++++++++++",
    "      +#++++++++",
    "      +#++#####+",
    "      +#++#####+",
    "      +#++#####+",
    "      +#++#####+",
    "      +#++#####+",
    "      ++++++++++",
};

// 252: move.
constexpr const char* kCursor252[kCursorRows] = {
    "      +++       ",
    "     ++#++      ",
    "    ++###++     ",
    "    +#+#+#+     ",
    "  +++++#+++++   ",
    " ++#+ +#+ +#++  ",
    "++#++++#++++#++ ",
    "+#############+ ",
    "++#++++#++++#++ ",
    " ++#+ +#+ +#++  ",
    "  +++++#+++++   ",
    "    +#+#+#+     ",
    "    ++###++     ",
    "     ++#++      ",
    "      +++       ",
    "                ",
};

// 253: zoom in.
constexpr const char* kCursor253[kCursorRows] = {
    "                ",
    "   +++++++      ",
    "  ++#####++     ",
    " ++##+++##++    ",
    " +##++#++##+    ",
    " +#+++#+++#+    ",
    " +#+#####+#+    ",
    " +#+++#+++#+    ",
    " +##++#++##+    ",
    " ++##+++##++    ",
    "  ++#####+#++   ",
    "   ++++++++#++  ",
    "          ++#++ ",
    "           ++#++",
    "            ++#+",
    "             +++",
};

// 254: zoom out.
constexpr const char* kCursor254[kCursorRows] = {
    "                ",
    "   +++++++      ",
    "  ++#####++     ",
    " ++##+++##++    ",
    " +##++ ++##+    ",
    " +#+++++++#+    ",
    " +#+#####+#+    ",
    " +#+++++++#+    ",
    " +##++ ++##+    ",
    " ++##+++##++    ",
    "  ++#####+#++   ",
    "   ++++++++#++  ",
    "          ++#++ ",
    "           ++#++",
    "            ++#+",
    "             +++",
};

// 255: pick point.
constexpr const char* kCursor255[kCursorRows] = {
    "                ",
    "                ",
    "  +++     +++   ",
    "  +#++   ++#+   ",
    "  ++#++ ++#++   ",
    "   ++#+++#++    ",
    "    ++#+#++     ",
    "     ++#++      ",
    "    ++#+#++     ",
    "   ++#+++#++    ",
    "  ++#++ ++#++   ",
    "  +#++   ++#+   ",
    "  +++     +++   ",
    "                ",
    "                ",
    "                ",
};

// 257: tool 14.
constexpr const char* kCursor257[kCursorRows] = {
    "                ",
    "          +++   ",
    "          +#++  ",
    "          ++#++ ",
    "         ++###+ ",
    "        ++#+#++ ",
    "       ++#+#++  ",
    "      ++#+#++   ",
    "     ++#+#++    ",
    "    ++#+#++     ",
    "   ++#+#++      ",
    "++++#+#++       ",
    "+#+#+#++        ",
    "+##+#++         ",
    "+###++          ",
    "+++++           ",
};

// 258: other tools, idle.
constexpr const char* kCursor258[kCursorRows] = {
    "#++             ",
    "##++            ",
    "#+#++           ",
    "#++#++          ",
    "#+++#++         ",
    "#+ ++#++        ",
    "#+  ++#++       ",
    "#+   ++#++      ",
    "#+    ++#++     ",
    "#++++++++#++    ",
    "###########+    ",
    "+++++#++++++    ",
    "    +#++        ",
    "    ++#+        ",
    "     +#++       ",
    "     ++#+       ",
};

// 265: busy.
constexpr const char* kCursor265[kCursorRows] = {
    "  ++++++++++++  ",
    "  +##########+  ",
    "  ++#++++++#++  ",
    "   ++#+  +#++   ",
    "    +#++++#+    ",
    "    ++#++#++    ",
    "     ++##++     ",
    "      +##+      ",
    "      +##+      ",
    "     ++##++     ",
    "    ++#++#++    ",
    "    +#++++#+    ",
    "   ++#+  +#++   ",
    "  ++#++++++#++  ",
    "  +##########+  ",
    "  ++++++++++++  ",
};

// 266: refused.
constexpr const char* kCursor266[kCursorRows] = {
    "    +++++++     ",
    "  +++#####+++   ",
    " ++###+++###++  ",
    " +##+++ +++##+  ",
    "++#+#++   ++#++ ",
    "+##++#++   +##+ ",
    "+#++++#++  ++#+ ",
    "+#+  ++#++  +#+ ",
    "+#++  ++#++++#+ ",
    "+##+   ++#++##+ ",
    "++#++   ++#+#++ ",
    " +##+++ +++##+  ",
    " ++###+++###++  ",
    "  +++#####+++   ",
    "    +++++++     ",
    "                ",
};
// clang-format on

}  // namespace

const CursorResource ProgramCursors[kProgramCursorCount] = {
    {238, 7, 7, kCursor238, "rotate tool, idle"},
    {239, 7, 7, kCursor239, "view spin"},
    {240, 7, 7, kCursor240, "stock-part tools, measuring tools 5-7"},
    {241, 7, 7, kCursor241, "measuring tool 3"},
    {242, 7, 1, kCursor242, "rectangle drag up"},
    {243, 14, 7, kCursor243, "rectangle drag right"},
    {244, 7, 14, kCursor244, "rectangle drag down"},
    {245, 1, 7, kCursor245, "rectangle drag left"},
    {246, 7, 7, kCursor246, "measuring tool 4"},
    {247, 7, 7, kCursor247, "rotate tool, dragging"},
    {248, 4, 4, kCursor248, "measuring tool 1"},
    {249, 7, 7, kCursor249, "measuring tool 2"},
    {250, 6, 6, kCursor250, "zoom rectangle"},
    {251, 7, 7, kCursor251, "second stock-part tool"},
    {252, 7, 7, kCursor252, "move"},
    {253, 6, 6, kCursor253, "zoom in"},
    {254, 6, 6, kCursor254, "zoom out"},
    {255, 7, 7, kCursor255, "pick point"},
    {257, 1, 14, kCursor257, "tool 14"},
    {258, 0, 0, kCursor258, "other tools, idle"},
    {265, 7, 7, kCursor265, "busy"},
    {266, 7, 7, kCursor266, "refused"},
};

int RegisterProgramCursors() {
    int registered = 0;
    for (const CursorResource& cursor : ProgramCursors) {
        CursorImage image;
        image.width = 16;
        image.height = kCursorRows;
        image.hotX = cursor.hotX;
        image.hotY = cursor.hotY;
        image.rows = cursor.rows;
        registered += RegisterCursorImage(ResourceCursorName(cursor.id), image);
    }
    return registered;
}

}  // namespace mirexa
