#pragma once
// Helpers for the skin tests: a fixture that starts the skin engine and puts
// the previous look back, the five skins, and colour arithmetic.
#include <gtest/gtest.h>

#include <QApplication>
#include <QColor>
#include <QGradient>
#include <QPalette>
#include <cmath>
#include <vector>

#include "skin/qt/skin_engine.h"

inline const std::vector<const char*>& AllSkins() {
  static const std::vector<const char*> names = {"KORVANE", "DEVIOR", "CORONA", "XP_ARGENT",
                                                 "FUTURE"};
  return names;
}

// WCAG relative luminance and contrast ratio.
inline double Luminance(const QColor& c) {
  auto lin = [](double v) {
    v /= 255.0;
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * lin(c.red()) + 0.7152 * lin(c.green()) + 0.0722 * lin(c.blue());
}
inline double Contrast(const QColor& a, const QColor& b) {
  double la = Luminance(a), lb = Luminance(b);
  if (la < lb) std::swap(la, lb);
  return (la + 0.05) / (lb + 0.05);
}

// Every colour a brush can show: its colour, or each stop of its gradient.
inline std::vector<QColor> BrushColours(const QBrush& b) {
  std::vector<QColor> out;
  if (const QGradient* g = b.gradient()) {
    for (const auto& stop : g->stops()) out.push_back(stop.second);
  } else {
    out.push_back(b.color());
  }
  return out;
}

class SkinTest : public ::testing::Test {
 protected:
  void SetUp() override { SkinStart("Demo", 0, 0); }
  void TearDown() override { SkinShutdown(); }
};
