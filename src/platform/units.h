// The units of the program's geometry: the layout is in twips (1440 to the inch), the desktop in physical
// pixels, and a scale in dots per inch turns one into the other. Every conversion goes through here.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>

namespace platform {

inline constexpr int kTwipsPerInch = 1440;

// A scale in dots per inch; 96 is 100 %. A window system that reports none (0 or less) means 100 %.
class Dpi {
 public:
  constexpr Dpi() = default;
  constexpr explicit Dpi(int dots) : dots_(dots > 0 ? dots : 96) {}
  constexpr int dots() const { return dots_; }
  friend constexpr bool operator==(Dpi, Dpi) = default;

 private:
  int dots_ = 96;
};

// a * b / c rounded to the nearest whole number, halves away from zero (as Windows' MulDiv rounds).
constexpr std::int64_t scaleRounded(std::int64_t a, std::int64_t b, std::int64_t c) {
  const std::int64_t product = a * b;
  return product >= 0 ? (product + c / 2) / c : -((-product + c / 2) / c);
}

constexpr std::int64_t toPixels(std::int64_t twips, Dpi dpi) {
  return scaleRounded(twips, dpi.dots(), kTwipsPerInch);
}

constexpr std::int64_t toTwips(std::int64_t pixels, Dpi dpi) {
  return scaleRounded(pixels, kTwipsPerInch, dpi.dots());
}

// A window coordinate in pixels, kept well inside what window systems take: coordinates far beyond any screen
// upset some window managers, and a drag far off screen is clamped rather than wrapped.
constexpr int windowCoordinate(std::int64_t pixels) {
  constexpr std::int64_t kFarthest = 30000;
  return static_cast<int>(pixels < -kFarthest ? -kFarthest : pixels > kFarthest ? kFarthest : pixels);
}

// A position in fractional pixels, as a pointer's arrives from some window systems, in fractional twips.
constexpr double fractionalTwips(double pixels, Dpi dpi) { return pixels * kTwipsPerInch / dpi.dots(); }

// Fractional twips, as a pointer position arrives from a window system, rounded to whole ones; nothing for
// a value that is not a number or lies beyond any desktop.
inline std::optional<int> wholeTwips(double twips) {
  constexpr double kBeyondAnyDesktop = 1e9;
  if (!(std::fabs(twips) < kBeyondAnyDesktop)) return std::nullopt;
  return static_cast<int>(std::lround(twips));
}

}  // namespace platform
