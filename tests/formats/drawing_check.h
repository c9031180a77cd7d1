// For the tests of readers that draw (metafiles, EPS previews): a GUI
// application for the whole run, since drawing text needs one, and a pixel
// check within a tolerance.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdint>
#include <cstdlib>

#include "generation/formats/image.h"

class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    if (QCoreApplication::instance() != nullptr) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "reader_test";
    static char* argv[] = {name, nullptr};
    new QGuiApplication(argc, argv);  // lives until the process ends
  }
};
inline ::testing::Environment* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

// Channels may differ from the expected colour by this much (antialiased
// edges are avoided by sampling well inside filled areas).
constexpr int kTolerance = 8;

struct Rgb {
  int r, g, b;
};
constexpr Rgb kWhite{255, 255, 255}, kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255},
    kYellow{255, 255, 0}, kBlack{0, 0, 0};

inline ::testing::AssertionResult PixelIs(const formats::Image& img, int x, int y, Rgb want) {
  if (x < 0 || y < 0 || x >= img.width || y >= img.height) {
    return ::testing::AssertionFailure()
           << "(" << x << "," << y << ") outside " << img.width << "x" << img.height;
  }
  const std::uint8_t* p =
      img.pixels.data() + (static_cast<std::size_t>(y) * img.width + x) * img.channels;
  if (std::abs(p[0] - want.r) <= kTolerance && std::abs(p[1] - want.g) <= kTolerance &&
      std::abs(p[2] - want.b) <= kTolerance) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "(" << x << "," << y << ") is " << int(p[0]) << ","
                                       << int(p[1]) << "," << int(p[2]) << " want " << want.r
                                       << "," << want.g << "," << want.b;
}
