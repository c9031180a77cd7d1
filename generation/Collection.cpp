#include "generation/Collection.h"

#include <sys/stat.h>

#include <algorithm>
#include <set>

#include "platform/collate.h"
#include "platform/ticks.h"
#include "platform/widgets.h"
#include "settings/Options.h"
#include "ui/Procedures.h"
#include "ui/Unit1.h"

TFileList* FileList = nullptr;

void TFileList::Add(std::string path) {
  items_.push_back(std::move(path));
  sorted_ = false;
}

void TFileList::Clear() {
  items_.clear();
  sorted_ = true;
}

void TFileList::Sort() {
  if (sorted_) return;
  platform::SortUniqueLocale(items_);
  sorted_ = true;
}

int TFileList::Count() {
  Sort();
  return static_cast<int>(items_.size());
}

const std::string& TFileList::operator[](int i) {
  Sort();
  return items_[static_cast<std::size_t>(i)];
}

void TFileList::RemoveContaining(const std::string& text) {
  if (text.empty()) return;
  Sort();
  std::erase_if(items_, [&](const std::string& s) { return s.find(text) != std::string::npos; });
}

void TFileList::SetCapacity(std::size_t capacity) {
  capacity_ = std::max(capacity, items_.size());
  if (capacity_ > items_.capacity()) {
    items_.reserve(capacity_);
  } else {
    items_.shrink_to_fit();
  }
}

namespace {

// Pending events are processed at most this often during a collection.
constexpr std::uint32_t kEventInterval = 15;

void ProcessMessagesThrottled() {
  static std::uint32_t last = 0;
  const std::uint32_t now = platform::GetTickCount();
  if (now - last >= kEventInterval) {
    last = now;
    platform::ProcessMessages();
  }
}

using Matcher = std::function<bool(const std::string& name)>;

// Walks one folder; false when the callback ended the walk. `seen` holds the
// folders entered, so a link back to a parent cannot walk for ever.
bool WalkFolder(const std::string& folder, const Matcher& matches, const WalkCallback& callback,
                std::set<std::pair<dev_t, ino_t>>& seen) {
  struct stat st {};
  if (stat(folder.c_str(), &st) == 0 && !seen.insert({st.st_dev, st.st_ino}).second) return true;
  ProcessMessagesThrottled();
  auto entries = platform::SearchFolder(folder, "*", platform::faAnyFile);
  std::sort(entries.begin(), entries.end(),
            [](const auto& a, const auto& b) { return a.name < b.name; });
  for (const auto& e : entries) {
    if (e.attr & (platform::faDirectory | platform::faVolumeID)) continue;
    if (!matches(e.name)) continue;
    if (!callback(folder, e)) return false;
  }
  for (const auto& e : entries) {
    if (!(e.attr & platform::faDirectory) || (e.attr & (platform::faHidden | platform::faSysFile))) {
      continue;
    }
    if (e.name == "." || e.name == "..") continue;
    if (!WalkFolder(folder + e.name + "/", matches, callback, seen)) return false;
  }
  return true;
}

std::string WithSeparator(std::string folder) {
  if (folder.empty()) folder = "./";
  if (folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace

void WalkFolders(const std::string& start, const std::string& mask, const WalkCallback& callback) {
  const std::string m = mask.empty() ? "*.*" : mask;
  std::set<std::pair<dev_t, ino_t>> seen;
  WalkFolder(WithSeparator(start), [&](const std::string& n) { return platform::MatchesMask(n, m); },
             callback, seen);
}

bool LogFiles(const std::string& folder, const platform::FoundEntry& entry) {
  if (FileList->Pending() + 1000 > FileList->Capacity()) {
    FileList->SetCapacity(FileList->Capacity() + 10000);
  }
  FileList->Add(folder + entry.name);
  ProcessMessagesThrottled();
  return true;
}

void ScanFolder(const std::string& folder) {
  // One walk matching every ticked type gives the same list as one walk per type.
  std::vector<std::string> masks;
  auto* list = OptionsForm->FileExtentionList;
  const int rows = list->RowCount();
  for (int i = 0; i < rows; ++i) {
    if (list->Checked(i)) masks.push_back("*" + list->Row(i)->text(0).toStdString());
  }
  if (masks.empty()) return;
  std::set<std::pair<dev_t, ino_t>> seen;
  WalkFolder(
      WithSeparator(folder),
      [&](const std::string& name) {
        return std::any_of(masks.begin(), masks.end(),
                           [&](const std::string& m) { return platform::MatchesMask(name, m); });
      },
      [](const std::string& f, const platform::FoundEntry& e) { return Form1->LogFiles(f, e); },
      seen);
}

void CollectPictures(bool htmlRun) {
  SetBusy(true);
  FileList->Clear();
  Form1->Animate2->show();
  Form1->Animate2->SetActive(true);
  QListWidget* folders = OptionsForm->ListBox3;
  if (OptionsForm->CheckBox8->isChecked() && folders->count() > 0) {
    const int n = folders->count();
    for (int i = 0; i < n && i < folders->count(); ++i) {
      if (AbortRequested) break;
      ScanFolder(folders->item(i)->text().toStdString());
    }
  } else {
    ScanFolder(OptionsForm->DirTree1->SelectedPath());
  }
  if (htmlRun) {
    FileList->RemoveContaining(OptionsForm->Edit1->text().toStdString());
  } else {
    FileList->SetCapacity(static_cast<std::size_t>(FileList->Count()));
  }
}

void AddPathToList(const std::string& folder, QListWidget* list) {
  std::string f = folder;
  if (f != "/") f += "/";
  if (list->count() == 0) {
    list->addItem(QString::fromStdString(f));
    return;
  }
  bool covered = false;
  int i = 0;
  while (i < list->count() && !covered) {
    const std::string entry = list->item(i)->text().toStdString();
    if (entry == f || f.find(entry) != std::string::npos) {
      covered = true;
    } else if (entry.find(f) != std::string::npos) {
      delete list->takeItem(i);
    } else {
      ++i;
    }
  }
  if (!covered) list->addItem(QString::fromStdString(f));
}
