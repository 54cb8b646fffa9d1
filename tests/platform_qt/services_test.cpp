// Services of the Qt backend beside the windows: a clipboard bitmap of the program reaches the
// desktop's clipboard as the same picture, and the program's cursor pictures become the cursor of
// its windows with their hot spot; a status pane painted again shows only its new text.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <cstring>

#include "platform/clipboard.h"
#include "platform/controls.h"
#include "platform/cursor.h"
#include "platform/paint.h"
#include "platform/qt/qt_internal.h"
#include "qt_test_support.h"

namespace mirexa {
namespace {

TEST(QtServices, AClipboardBitmapReachesTheDesktopClipboard) {
    // 3 x 2 pixels, bottom-up BGR rows padded to 4 bytes (12 bytes a row).
    std::vector<std::uint8_t> block(40 + 2 * 12, 0);
    const std::uint32_t header[] = {40, 3, 2};
    std::memcpy(block.data(), header, sizeof header);
    block[12] = 1;   // planes
    block[14] = 24;  // bits per pixel
    std::uint8_t* bottom = block.data() + 40;
    std::uint8_t* top = bottom + 12;
    top[0] = 255;             // top-left blue
    bottom[3 * 2 + 2] = 255;  // bottom-right red
    ASSERT_EQ(SetClipboardData(CLIPBOARD_DIB, block), 1);
    const QImage image = QGuiApplication::clipboard()->image();
    ASSERT_EQ(image.size(), QSize(3, 2));
    EXPECT_EQ(image.pixel(0, 0), qRgb(0, 0, 255));
    EXPECT_EQ(image.pixel(2, 1), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(1, 0), qRgb(0, 0, 0));

    const char text[] = "工具 T12";
    SetClipboardData(CLIPBOARD_TEXT, std::vector<std::uint8_t>(text, text + sizeof text));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromUtf8("工具 T12"));
}

TEST(QtServices, TheProgramsCursorBecomesTheWindowsCursor) {
    static const char* const rows[] = {"  #  ", " #+# ", "#+++#", " #+# ", "  #  "};
    CursorImage image{5, 5, 2, 2, rows};
    ASSERT_EQ(RegisterCursorImage("qt-test-diamond", image), 1);
    WindowHandle window = testing::MakeShownWindow(100, 100);
    WindowHandle child = testing::MakeChild(window, WindowRect{0, 0, 50, 50});
    const CursorHandle previous = SetCursorHandle(LoadCursorHandle("qt-test-diamond"));
    const QCursor shown = FindQtWidget(child)->cursor();
    EXPECT_EQ(shown.shape(), Qt::BitmapCursor);
    EXPECT_EQ(shown.hotSpot(), QPoint(2, 2));
    SetCursorHandle(LoadCursorHandle(CURSOR_ARROW));
    EXPECT_EQ(FindQtWidget(child)->cursor().shape(), Qt::ArrowCursor);
    SetCursorHandle(previous);
    DestroyPlatformWindow(window);
}

// A value pane painted over an old one on a kept picture (a repaint without erasing) looks as
// the new one alone does: its face is filled before the text.
TEST(QtServices, AStatusPanePaintedAgainHoldsOnlyItsNewText) {
    const struct {
        const char* before;
        const char* after;
        unsigned style;
    } cases[] = {{"Dia = 16.00", "Dia = 10.00", 0},
                 {"Ready", "Used", SBT_NOBORDERS},
                 {"\t\t 250.000", "\t\t  -1.000", SBT_POPOUT}};
    for (const auto& c : cases) {
        auto pane = [&c](const char* text) {
            PaintOperation op;
            op.op = PaintOp::StatusPane;
            op.rect = WindowRect{4, 4, 120, 22};
            op.text = text;
            op.flags = static_cast<int>(c.style);
            op.background = kPaneFaceColor;
            op.fontPixelHeight = 13;
            return op;
        };
        QImage kept(130, 30, QImage::Format_RGB32);
        kept.fill(Qt::darkBlue);
        QImage fresh = kept;
        ReplayQtPaintRecord({pane(c.before)}, &kept);
        ReplayQtPaintRecord({pane(c.after)}, &kept);
        ReplayQtPaintRecord({pane(c.after)}, &fresh);
        EXPECT_EQ(kept, fresh) << c.before << " -> " << c.after;
    }
}

}  // namespace
}  // namespace mirexa
