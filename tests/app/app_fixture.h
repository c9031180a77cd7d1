// Runs the program's windows offscreen in a temporary program folder, with
// message boxes, colour dialogs and links answered or recorded by the test.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "generation/formats/image.h"
#include "platform/dialogs.h"

class AppTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  void SetUp() override;
  void TearDown() override;

  // Copies the shipped language files into the program folder.
  void InstallLanguages();
  // Creates the windows as the program does at start-up.
  void StartProgram();
  // Closes the main window (the closing steps run) and destroys the windows.
  void StopProgram();

  std::string ProgramDir() const { return dir_.string() + "/"; }
  // A folder of pictures inside the test's temporary folder.
  std::string MakeFolder(const std::string& relative);
  static std::string ReadFile(const std::string& path);
  static void WriteFile(const std::string& path, const std::string& bytes);
  // Writes a w × h JPEG or PNG picture (a gradient) at path.
  static void WriteJpeg(const std::string& path, int w, int h, int quality = 90);
  static void WritePng(const std::string& path, int w, int h);

  std::filesystem::path dir_;
  std::vector<platform::MessageRequest> messages_;
  std::vector<std::string> opened_;
  platform::Answer answer_ = platform::Answer::Ok;
  std::optional<std::uint32_t> colorAnswer_;
  bool started_ = false;
};
