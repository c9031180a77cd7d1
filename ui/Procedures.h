// The busy state of a run, the counters, the run statistics and the picture
// dispatch.
#pragma once

#include <QLabel>
#include <array>
#include <cstdint>
#include <string>

// Set by Cancel and by the close request during a run; the runs stop on it.
extern bool AbortRequested;

// Enters (true) or leaves (false) the busy state of a run.
void SetBusy(bool busy);
// True while a run is under way (the close button is hidden).
bool IsBusy();

// Counters hold decimal text: read as a number (0 when not one), add, write back.
std::int32_t CounterValue(const QLabel* counter);
void SetCounter(QLabel* counter, std::int64_t value);
void IncrementCounter(QLabel* counter);

// ---- Run statistics ----
struct RunStatistics {
  std::array<std::uint32_t, 20> ring{};  // durations of the last thumbnails, ms
  std::uint8_t ringIndex = 1;           // slot (1-20) the next duration goes to
  std::uint32_t pictureStart = 0;
};
extern RunStatistics Statistics;

// Run start: empties the ring and writes the current tick count into Tick4.
void StartRunStatistics();
// Picture start: notes the tick count the next duration is measured from.
void StartPictureTimer();
// Records the duration of the thumbnail just written.
void RecordTick();
// Writes the average, time left, elapsed time and speed labels.
void UpdateStatistics();
// "H h M min S s" for a number of milliseconds (modulo 2^32).
std::string FormatDuration(std::uint32_t ms);

// Loads a picture file into WorkBitmap with the reader its extension selects.
// False when it cannot be loaded; failures that escape the readers are counted
// in Label14 and logged.
bool LoadPicture(const std::string& path);
