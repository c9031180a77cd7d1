#include "ui/Procedures.h"

#include <QApplication>
#include <exception>

#include "generation/ProceduresImages.h"
#include "generation/formats/formats.h"
#include "platform/ticks.h"
#include "settings/Options.h"
#include "ui/Logs.h"
#include "ui/Unit1.h"

bool AbortRequested = false;
RunStatistics Statistics;

void SetBusy(bool busy) {
  AbortRequested = false;
  if (busy) {
    QApplication::setOverrideCursor(Qt::BusyCursor);
    OptionsForm->Button9->setEnabled(false);
    OptionsForm->Button13->setEnabled(false);
  } else {
    while (QApplication::overrideCursor() != nullptr) QApplication::restoreOverrideCursor();
    if (OptionsForm->CheckBox8->isChecked()) {
      OptionsForm->Button9->setEnabled(true);
      OptionsForm->Button13->setEnabled(true);
    }
  }
  Form1->ButtonCancel->setVisible(busy);
  OptionsForm->CheckBox8->setEnabled(!busy);
  Form1->CloseButton->setVisible(!busy);
  Form1->GeneThumbnailsBTN->setEnabled(!busy);
  Form1->GeneHTMLBTN->setEnabled(!busy);
}

bool IsBusy() { return Form1->CloseButton->isHidden(); }

std::int32_t CounterValue(const QLabel* counter) {
  bool ok = false;
  const int v = counter->text().toInt(&ok);
  return ok ? v : 0;
}

void SetCounter(QLabel* counter, std::int64_t value) {
  counter->setText(QString::number(value));
}

void IncrementCounter(QLabel* counter) {
  SetCounter(counter, static_cast<std::int64_t>(CounterValue(counter)) + 1);
}

void StartRunStatistics() {
  Statistics.ringIndex = 1;
  Statistics.ring.fill(0);
  Form1->Tick4->setText(QString::number(platform::GetTickCount()));
}

void StartPictureTimer() { Statistics.pictureStart = platform::GetTickCount(); }

void RecordTick() {
  const std::uint32_t d = platform::GetTickCount() - Statistics.pictureStart;
  Statistics.ring[Statistics.ringIndex - 1] = d;
  Statistics.ringIndex = Statistics.ringIndex == 20 ? 1 : Statistics.ringIndex + 1;
  Form1->Tick1->setText(QString::number(d));
}

std::string FormatDuration(std::uint32_t ms) {
  const std::uint32_t s = ms / 1000;
  const std::uint32_t hours = s / 3600;
  const std::uint32_t minutes = s / 60 - 60 * hours;
  const std::uint32_t seconds = s - 3600 * hours - 60 * minutes;
  return std::to_string(hours) + " h " + std::to_string(minutes) + " min " +
         std::to_string(seconds) + " s";
}

void UpdateStatistics() {
  const std::uint32_t processed = static_cast<std::uint32_t>(CounterValue(Form1->Label8));
  const std::uint32_t total = static_cast<std::uint32_t>(CounterValue(Form1->Label10));
  const std::uint32_t remaining = total - processed;
  std::uint32_t sum = 0;
  for (std::uint32_t d : Statistics.ring) sum += d;
  const std::uint32_t average = sum / 20;
  Form1->Tick5->setText(QString::number(average));
  Form1->Tick3->setText(QString::fromStdString(FormatDuration(average * remaining)));
  bool ok = false;
  const std::uint32_t start = Form1->Tick4->text().toUInt(&ok);
  const std::uint32_t elapsed = platform::GetTickCount() - (ok ? start : 0);
  Form1->Tick2->setText(QString::fromStdString(FormatDuration(elapsed)));
  const std::int32_t handled = CounterValue(Form1->Label8);
  const auto divisor = static_cast<std::int64_t>(elapsed / 1000) + 1;
  Form1->Tick6->setText(QString::number(static_cast<std::int64_t>(handled) / divisor));
}

bool LoadPicture(const std::string& path) {
  try {
    const std::string ext = formats::LowerExtension(path);
    if (ext == ".jpg" || ext == ".jpeg" || ext == ".jpe") return LoadJpegPicture(path);
    if (ext == ".gif") return LoadGifPicture(path);
    if (ext == ".bmp") {
      LoadBitmapFile(path);
      return true;
    }
    if (IsInternalType(ext)) return LoadGenericPicture(path);
    if (IsExternalType(ext)) return LoadExternalPicture(path);
    return false;
  } catch (const std::exception&) {
    IncrementCounter(Form1->Label14);
    AddErrorLine(11001, path);
    return false;
  }
}
