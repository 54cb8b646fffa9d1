// The view's popup menu as data: its items in menu order, each with its command, the resource id
// of its picture and the captions shown where pictures are not drawn.
#pragma once

#include "resources/program_resources.h"

namespace mirexa {

// One line of the popup: a command with its picture and captions, or a separator (command 0).
struct PopupResourceLine {
    unsigned command = {};
    int bitmap = {};  // one of ViewPopupBitmaps
    const char* captionEnglish = {};
    const char* captionJapanese = {};
};

// The popup of the view window: rotate (257, picture 228), a separator, measure (250, picture
// 154), a separator, path pick (254, picture 149). *count receives the number of lines.
const PopupResourceLine* FindViewPopupResource(int* count);

}  // namespace mirexa
