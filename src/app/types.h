// The units the window's handlers speak in: twips for geometry, 32-bit colour values,
// 16-bit Booleans. Front ends convert them to their own units, once, at the edge.
#pragma once

#include <cstdint>

namespace pikorina {

// 1/1440 inch; 15 twips are one pixel at 96 dots per inch.
using Twips = std::int32_t;
inline constexpr Twips kTwipsPerPixelAt96Dpi = 15;

// Either a fixed colour 0x00BBGGRR or, with the top bit set, a reference to a system colour
// whose index is in the low byte. A reference is kept and handed back as it is.
using OleColor = std::uint32_t;
inline constexpr OleColor kSystemColorFlag = 0x80000000u;
inline constexpr OleColor kButtonFace = kSystemColorFlag | 15u;
inline constexpr OleColor kRed = 0x000000FFu;
inline constexpr OleColor kBlack = 0x00000000u;

constexpr bool IsSystemColor(OleColor c) {
    return (c & kSystemColorFlag) != 0;
}
constexpr int SystemColorIndex(OleColor c) {
    return static_cast<int>(c & 0xFFu);
}
constexpr int RedOf(OleColor c) {
    return static_cast<int>(c & 0xFFu);
}
constexpr int GreenOf(OleColor c) {
    return static_cast<int>((c >> 8) & 0xFFu);
}
constexpr int BlueOf(OleColor c) {
    return static_cast<int>((c >> 16) & 0xFFu);
}

// Booleans the window keeps are 16-bit: 0 is false, all bits set is true.
using Boolean16 = std::int16_t;
inline constexpr Boolean16 kTrue16 = -1;
inline constexpr Boolean16 kFalse16 = 0;

// Message-box style values and the answers a box gives back.
inline constexpr int kMbOkOnly = 0;
inline constexpr int kMbOkCancel = 1;
inline constexpr int kMbInformation = 64;
inline constexpr int kAnswerOk = 1;
inline constexpr int kAnswerCancel = 2;

} // namespace pikorina
