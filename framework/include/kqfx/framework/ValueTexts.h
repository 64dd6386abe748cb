#pragma once
// Fixed value texts, eight characters each.

namespace kqfx {

inline constexpr char kOverflowText[] = " Huge!  ";
inline constexpr char kMinusInfinityText[] = "  -oo   ";
inline constexpr char kNotANumberText[] = "  NaN   ";

}  // namespace kqfx
