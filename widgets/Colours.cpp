#include "Colours.h"

#include <algorithm>
#include <cmath>

namespace varnex {

namespace {

// The share of light a colour gives off, 0 for black to 1 for white, as sRGB defines it.
double Luminance(QColor colour) {
  const auto linear = [](double channel) {
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
         0.0722 * linear(colour.blueF());
}

// `colour` with its lightness moved towards white (or black) just far enough to stand out from
// `background` by `ratio`, or all the way where even that is not enough.
QColor Lifted(QColor colour, QColor background, double ratio) {
  // Below this luminance a background is seen better against white than against black.
  constexpr double kMiddle = 0.179;
  const bool lighter = Luminance(background) < kMiddle;
  const QColor hsl = colour.toHsl();
  // As drawn, in whole steps of each channel.
  const auto at = [&hsl](float lightness) {
    return QColor(QColor::fromHslF(hsl.hslHueF(), hsl.hslSaturationF(), lightness).rgb());
  };
  float near = hsl.lightnessF();
  float far = lighter ? 1.0F : 0.0F;
  if (ContrastRatio(at(far), background) < ratio) {
    return at(far);
  }
  for (int step = 0; step < 24; ++step) {
    const float middle = (near + far) / 2;
    (ContrastRatio(at(middle), background) >= ratio ? far : near) = middle;
  }
  return at(far);
}

}  // namespace

QColor TColor::In(const QPalette& palette) const {
  if (const auto* role = std::get_if<QPalette::ColorRole>(&value_)) {
    return palette.color(*role);
  }
  return std::get<QColor>(value_);
}

double ContrastRatio(QColor a, QColor b) {
  const double first = Luminance(a);
  const double second = Luminance(b);
  return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

QColor Legible(QColor wanted, QColor background, double ratio, QColor alternative) {
  if (ContrastRatio(wanted, background) >= ratio) {
    return wanted;
  }
  if (ContrastRatio(alternative, background) >= ratio) {
    return alternative;
  }
  return Lifted(alternative, background, ratio);
}

}  // namespace varnex
