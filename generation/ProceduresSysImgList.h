// The desktop's small file-type icons, shared by index like the shell's
// system image list.
#pragma once

#include <QIcon>
#include <string>

class TSystemImageList {
 public:
  QIcon Icon(int index) const;
};

// The program-wide wrapper; it exists from the Options window's creation
// until the main window closes.
extern TSystemImageList* SystemSmallImages;
// How many times the wrapper has been freed (it must be freed once).
extern int SystemImageListFrees;

void InitSystemImageList();
void FreeSystemImageList();
// Index of the icon for files named like `name`, by its extension; -1 on failure.
int SystemIconIndex(const std::string& name, int attributes, int flags);
