// Collecting the picture files of a run: the folder walker, FileList and the
// Options window's list of folders.
#pragma once

#include <QListWidget>
#include <functional>
#include <string>
#include <vector>

#include "platform/dirsearch.h"

// The full paths of the pictures of the current run, sorted by the locale's
// comparison that ignores case (texts equal under it are kept in byte order,
// identical texts once). Additions are gathered and sorted once, when the list
// is next read, so a large collection costs one sort.
class TFileList {
 public:
  void Add(std::string path);
  void Clear();
  int Count();
  const std::string& operator[](int i);
  // Removes every entry that contains `text` (case-sensitive); nothing for an empty text.
  void RemoveContaining(const std::string& text);
  std::size_t Capacity() const { return capacity_; }
  void SetCapacity(std::size_t capacity);
  // Entries added since the last sort included.
  std::size_t Pending() const { return items_.size(); }

 private:
  void Sort();
  std::vector<std::string> items_;
  std::size_t capacity_ = 0;
  bool sorted_ = true;
};

extern TFileList* FileList;

// Called for each file found: the folder (ending with "/") and the entry;
// false ends the whole walk.
using WalkCallback = std::function<bool(const std::string& folder, const platform::FoundEntry&)>;

// Walks the folder tree below `start`, files of a folder before its
// subfolders; hidden and system folders are not entered.
void WalkFolders(const std::string& start, const std::string& mask, const WalkCallback& callback);
// Adds the file to FileList (the collection never ends a walk early).
bool LogFiles(const std::string& folder, const platform::FoundEntry& entry);
// Collects the files of one folder tree for every ticked picture type.
void ScanFolder(const std::string& folder);
// The collection step at the start of a run.
void CollectPictures(bool htmlRun);
// Adds a folder to the list unless a listed folder holds it; listed folders
// inside it are removed.
void AddPathToList(const std::string& folder, QListWidget* list);
