// Pens and brushes are deleted once (a second delete or a stale handle is refused), and cursor
// pictures are checked before they are taken; a cursor loaded before its picture gets it.
#include "platform/gdi_objects.h"

#include <gtest/gtest.h>

#include "platform/cursor.h"

namespace mirexa {
namespace {

TEST(GdiObjects, ObjectsRememberWhatTheyWereMadeFromAndDieOnce) {
    const int before = CountLiveGdiObjects();
    EXPECT_EQ(CreatePenObject(4, 1, 0), nullptr);  // no such style
    const GdiObjectHandle pen = CreatePenObject(kPenDashDot, 0, 0xFF123456u);
    const GdiObjectHandle brush = CreateSolidBrushObject(0x00ABCDEFu);
    ASSERT_NE(pen, nullptr);
    ASSERT_NE(brush, nullptr);
    EXPECT_EQ(CountLiveGdiObjects(), before + 2);
    GdiObjectInfo info;
    ASSERT_EQ(GetGdiObjectInfo(pen, &info), 1);
    EXPECT_EQ(info.kind, kGdiPen);
    EXPECT_EQ(info.style, kPenDashDot);
    EXPECT_EQ(info.width, 1);            // at least one pixel
    EXPECT_EQ(info.color, 0x00123456u);  // no bits above the colour
    EXPECT_EQ(DeleteGdiObject(pen), 1);
    EXPECT_EQ(DeleteGdiObject(pen), 0);  // already gone
    // A new object never takes a deleted one's handle, so a stale handle reaches nothing.
    const GdiObjectHandle next = CreatePenObject(kPenSolid, 1, 0);
    EXPECT_NE(next, pen);
    EXPECT_EQ(DeleteGdiObject(pen), 0);
    EXPECT_EQ(DeleteGdiObject(next), 1);
    EXPECT_EQ(GetGdiObjectInfo(pen, &info), 0);
    EXPECT_EQ(DeleteGdiObject(nullptr), 0);
    EXPECT_EQ(DeleteGdiObject(brush), 1);
    EXPECT_EQ(CountLiveGdiObjects(), before);
}

TEST(CursorImages, OnlyWellFormedPicturesAreTakenAndLoadedCursorsGetThem) {
    static const char* const kGood[3] = {"#+ ", "+#+", " +#"};
    static const char* const kRagged[3] = {"#+ ", "+#", " +#"};
    static const char* const kStrange[3] = {"#+ ", "+x+", " +#"};
    const CursorImage good{3, 3, 1, 1, kGood};
    EXPECT_EQ(IsValidCursorImage(good), 1);
    EXPECT_EQ(IsValidCursorImage({3, 3, 1, 1, kRagged}), 0);
    EXPECT_EQ(IsValidCursorImage({3, 3, 1, 1, kStrange}), 0);
    EXPECT_EQ(IsValidCursorImage({3, 3, 3, 1, kGood}), 0);  // hot spot outside
    EXPECT_EQ(IsValidCursorImage({3, 3, 1, -1, kGood}), 0);
    EXPECT_EQ(IsValidCursorImage({3, 3, 1, 1, nullptr}), 0);
    EXPECT_EQ(IsValidCursorImage({65, 3, 1, 1, kGood}), 0);

    EXPECT_EQ(ResourceCursorName(238), "#238");
    const CursorHandle early = LoadCursorHandle("#test-early");
    CursorImage image;
    EXPECT_EQ(GetCursorImage(early, &image), 0);
    EXPECT_EQ(RegisterCursorImage("#test-early", {3, 3, 1, 1, kRagged}), 0);
    EXPECT_EQ(GetCursorImage(early, &image), 0);
    EXPECT_EQ(RegisterCursorImage("#test-early", good), 1);
    EXPECT_EQ(LoadCursorHandle("#test-early"), early);
    ASSERT_EQ(GetCursorImage(early, &image), 1);
    EXPECT_EQ(image.rows, kGood);
    EXPECT_EQ(image.hotX, 1);
    EXPECT_EQ(RegisterCursorImage("", good), 0);
    EXPECT_EQ(GetCursorImage(nullptr, &image), 0);
}

}  // namespace
}  // namespace mirexa
