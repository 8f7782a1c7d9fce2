// The window as designed: its caption, size and the settings of every control. Both front ends
// build their window from these tables, so the two can never disagree on a caption or a rectangle.
#pragma once

#include "app/types.h"
#include "app/window_system.h"

#include <algorithm>
#include <array>
#include <span>
#include <string_view>

namespace pikorina {

enum class ControlKind { Button, ListBox, Image, Label };

// The pictures that are part of the program itself.
enum class Picture { None, Flag, Swirl, Dynamite, Burst };

// A picture as tools/make_art.py draws it: the file in assets/ that each front end builds into
// the program, whether it is an icon (with a mask; the image controls show its 32 x 32 image)
// or a bitmap, and its own size in pixels at 96 dpi. The art is ours, so the sizes are known
// here rather than asked of each platform's decoder.
struct PictureDesign {
    Picture picture;
    std::string_view name;
    std::string_view file;
    bool icon;
    int width, height;
};

// One row a picture, in the order of the enumeration; every table kept per picture is sized
// from it (PictureTable), so a picture added to one is added to all.
inline constexpr auto kPictures = std::to_array<PictureDesign>({
    {Picture::None, "None", "", false, 0, 0},
    {Picture::Flag, "Flag", "flag.ico", true, 32, 32},
    {Picture::Swirl, "Swirl", "swirl.bmp", false, 640, 480},
    {Picture::Dynamite, "Dynamite", "dynamite.ico", true, 32, 32},
    {Picture::Burst, "Burst", "burst.ico", true, 32, 32},
});
static_assert(std::ranges::all_of(kPictures, [](const PictureDesign& d) {
    return &d - kPictures.data() == static_cast<int>(d.picture);
}));

template <typename T> using PictureTable = std::array<T, kPictures.size()>;

// at(): a picture missing from the table fails loudly instead of reading past it.
constexpr const PictureDesign& Design(Picture picture) {
    return kPictures.at(static_cast<std::size_t>(picture));
}

struct ControlDesign {
    ControlId id;
    ControlKind kind;
    std::string_view name;
    std::string_view caption; // "&" marks the access key
    Twips left, top, width, height;
    int tabIndex; // -1: takes no part in the tab order
    bool visible;
    bool stretch; // image controls: scale the picture to the control's size
    Picture picture;
};

// In the order in which the window declares them; index with static_cast<int>(ControlId).
inline constexpr std::array<ControlDesign, kControlCount> kControls{{
    {ControlId::終了, ControlKind::Button, "終了", "終了(&E)", 170, 3020, 1655, 293, 4, true, false,
     Picture::None},
    {ControlId::キャンセル, ControlKind::Button, "キャンセル", "キャンセル", 3725, 3020, 1655, 310,
     3, true, false, Picture::None},
    {ControlId::シャットダウン, ControlKind::Button, "シャットダウン", "シャットダウン(&S)", 1955,
     3020, 1635, 310, 2, true, false, Picture::None},
    {ControlId::ListBox, ControlKind::ListBox, "ListBox", "", 180, 120, 5125, 1860, 0, true, false,
     Picture::None},
    {ControlId::Back_2, ControlKind::Image, "Back_2", "", 3960, 3360, 690, 690, -1, false, true,
     Picture::None},
    {ControlId::Back_1, ControlKind::Image, "Back_1", "", 3120, 3360, 9600, 7200, -1, false, false,
     Picture::Swirl},
    {ControlId::Donpa_2, ControlKind::Image, "Donpa_2", "", 3480, 1920, 480, 480, -1, false, false,
     Picture::Burst},
    {ControlId::Donpa_1, ControlKind::Image, "Donpa_1", "", 3000, 1920, 480, 480, -1, false, false,
     Picture::Dynamite},
    {ControlId::Donpa, ControlKind::Image, "Donpa", "", 1800, 720, 1920, 1920, -1, false, true,
     Picture::Dynamite},
    {ControlId::Label, ControlKind::Label, "Label",
     "警告 : Ctrl+Alt+Delキーをもう一度押すとコンピュータが再起動します。その場合､"
     "実行中のプログラムで保存されていないデータはすべて失われます。",
     240, 2280, 5055, 630, 1, true, false, Picture::None},
}};

constexpr const ControlDesign& Design(ControlId id) {
    return kControls[static_cast<int>(id)];
}

// Enter presses the default button when no other button has the focus; Esc presses the cancel
// button.
inline constexpr ControlId kDefaultButton = ControlId::終了;
inline constexpr ControlId kCancelButton = ControlId::キャンセル;

// The window: its caption, and the frame that the outer size includes. Whatever frame the
// window manager really draws, the client area is the outer size less this frame.
inline constexpr std::string_view kWindowCaption = "プログラムの強制終了";
inline constexpr Twips kFrameLeft = 45;
inline constexpr Twips kFrameRight = 45;
inline constexpr Twips kFrameTop = 330;
inline constexpr Twips kFrameBottom = 45;
inline constexpr Twips kDesignClientWidth = 6255;
inline constexpr Twips kDesignClientHeight = 4500;
inline constexpr Twips kDesignWidth = kDesignClientWidth + kFrameLeft + kFrameRight;
inline constexpr Twips kDesignHeight = kDesignClientHeight + kFrameTop + kFrameBottom;

constexpr Twips ClientWidthFor(Twips outerWidth) {
    return outerWidth - kFrameLeft - kFrameRight;
}
constexpr Twips ClientHeightFor(Twips outerHeight) {
    return outerHeight - kFrameTop - kFrameBottom;
}

// A font as designed: the faces after the first stand in where it is not installed.
struct Font {
    std::span<const std::string_view> faces;
    int points;
    int charset;
};

// The warning label's own font, which is also the dialog's.
inline constexpr std::array<std::string_view, 4> kLabelFontFaces{"MS UI Gothic", "IPAPGothic",
                                                                 "IPAGothic", "Noto Sans CJK JP"};
inline constexpr Font kLabelFont{kLabelFontFaces, 9, 128}; // 128: Shift-JIS
inline constexpr OleColor kLabelForeColor = kBlack;

// Twips to pixels at a given dpi, rounded to the nearest pixel.
constexpr int TwipsToPixels(Twips twips, int dpi) {
    const long long scaled = static_cast<long long>(twips) * dpi;
    return static_cast<int>(scaled >= 0 ? (scaled + 720) / 1440 : -((-scaled + 720) / 1440));
}

} // namespace pikorina
