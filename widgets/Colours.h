#pragma once

#include <QColor>
#include <QPalette>
#include <variant>

namespace varnex {

// A colour as a design gives it: a plain colour, or one of the desktop's colours, looked up each
// time it is drawn, so that it follows a change of the colour scheme.
class TColor {
 public:
  TColor(QColor plain) : value_(plain) {}
  TColor(Qt::GlobalColor plain) : value_(QColor(plain)) {}
  TColor(QPalette::ColorRole system) : value_(system) {}

  QColor In(const QPalette& palette) const;

  friend bool operator==(const TColor&, const TColor&) = default;

 private:
  std::variant<QColor, QPalette::ColorRole> value_;
};

// How far two colours stand apart for the eye: 1 (the same lightness) to 21 (black on white).
double ContrastRatio(QColor a, QColor b);

// Text wants 4.5:1 against its background to be read, a picture 3:1 to be made out.
constexpr double kTextContrast = 4.5;
constexpr double kGlyphContrast = 3.0;

// `wanted` where it stands out from `background` by `ratio`. A design colour meant for a light
// scheme may not on a dark one: then `alternative`, the scheme's colour of the same meaning, and
// where that does not stand out either, its hue made lighter or darker until it does.
QColor Legible(QColor wanted, QColor background, double ratio, QColor alternative);

}  // namespace varnex
