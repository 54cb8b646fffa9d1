// Short constructors for the controls of the dialog templates, with the sizes every template
// uses (dialog units): buttons 50 x 14, edit fields 12 high, labels 8, check and radio boxes 10.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/dialogs.h"

namespace mirexa::templates {

constexpr std::int16_t kButtonW = 50;
constexpr std::int16_t kButtonH = 14;
constexpr std::int16_t kEditH = 12;
constexpr std::int16_t kLabelH = 8;
constexpr std::int16_t kBoxH = 10;

constexpr ControlTemplate Make(ControlKind kind, int id, int x, int y, int w, int h,
                               const char* japanese, const char* english, std::uint32_t style) {
    return ControlTemplate{kind,
                           id,
                           static_cast<std::int16_t>(x),
                           static_cast<std::int16_t>(y),
                           static_cast<std::int16_t>(w),
                           static_cast<std::int16_t>(h),
                           japanese,
                           english,
                           style};
}
constexpr ControlTemplate Push(int id, int x, int y, const char* japanese, const char* english,
                               int w = kButtonW) {
    return Make(ControlKind::PushButton, id, x, y, w, kButtonH, japanese, english, kTabStop);
}
constexpr ControlTemplate Ok(int x, int y) {
    return Make(ControlKind::DefPushButton, IDOK, x, y, kButtonW, kButtonH, "OK", nullptr,
                kTabStop);
}
constexpr ControlTemplate Cancel(int x, int y) {
    return Make(ControlKind::PushButton, IDCANCEL, x, y, kButtonW, kButtonH, "キャンセル", "Cancel",
                kTabStop);
}
constexpr ControlTemplate Label(int id, int x, int y, int w, const char* japanese,
                                const char* english, std::uint32_t style = 0) {
    return Make(ControlKind::Text, id, x, y, w, kLabelH, japanese, english, style);
}
constexpr ControlTemplate Note(int id, int x, int y, int w, int h, const char* japanese,
                               const char* english) {
    return Make(ControlKind::Text, id, x, y, w, h, japanese, english, 0);
}
constexpr ControlTemplate Field(int id, int x, int y, int w = 50, std::uint32_t style = 0) {
    return Make(ControlKind::Edit, id, x, y, w, kEditH, "", nullptr,
                kTabStop | kAlignRight | style);
}
constexpr ControlTemplate Value(int id, int x, int y, int w) {
    return Make(ControlKind::Text, id, x, y, w, kLabelH, "", nullptr, kAlignRight);
}
constexpr ControlTemplate Radio(int id, int x, int y, int w, const char* japanese,
                                const char* english, std::uint32_t style = 0) {
    return Make(ControlKind::RadioButton, id, x, y, w, kBoxH, japanese, english, kTabStop | style);
}
constexpr ControlTemplate AutoRadio(int id, int x, int y, int w, const char* japanese,
                                    const char* english, std::uint32_t style = 0) {
    return Make(ControlKind::AutoRadioButton, id, x, y, w, kBoxH, japanese, english,
                kTabStop | style);
}
constexpr ControlTemplate Check(int id, int x, int y, int w, const char* japanese,
                                const char* english) {
    return Make(ControlKind::CheckBox, id, x, y, w, kBoxH, japanese, english, kTabStop);
}
constexpr ControlTemplate Group(int id, int x, int y, int w, int h, const char* japanese,
                                const char* english) {
    return Make(ControlKind::GroupBox, id, x, y, w, h, japanese, english, 0);
}
constexpr ControlTemplate Swatch(int id, int x, int y, int w, int h) {
    return Make(ControlKind::Swatch, id, x, y, w, h, "", nullptr, kNotify);
}

// A fixed-size list of controls filled one at a time by a row generator.
template <std::size_t N>
struct ControlList {
    std::array<ControlTemplate, N> items = {};
    std::size_t count = 0;
    constexpr void Add(const ControlTemplate& control) {
        items[count++] = control;
    }
};

// The controls a generator added, for a DialogTemplate.
template <std::size_t N>
constexpr std::span<const ControlTemplate> Controls(const ControlList<N>& list) {
    return std::span<const ControlTemplate>(list.items.data(), list.count);
}

}  // namespace mirexa::templates
