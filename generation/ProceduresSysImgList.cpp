#include "generation/ProceduresSysImgList.h"

#include <map>
#include <vector>

#include "platform/widgets.h"

TSystemImageList* SystemSmallImages = nullptr;
int SystemImageListFrees = 0;

namespace {
// The shared list itself outlives every wrapper, as the shell's does.
struct SharedIcons {
  std::vector<QIcon> icons;
  std::map<std::string, int> byExtension;
};
SharedIcons& Shared() {
  static SharedIcons shared;
  return shared;
}
}  // namespace

QIcon TSystemImageList::Icon(int index) const {
  const auto& icons = Shared().icons;
  return index >= 0 && index < static_cast<int>(icons.size()) ? icons[index] : QIcon();
}

void InitSystemImageList() {
  if (SystemSmallImages == nullptr) SystemSmallImages = new TSystemImageList;
}

void FreeSystemImageList() {
  if (SystemSmallImages == nullptr) return;
  delete SystemSmallImages;
  SystemSmallImages = nullptr;
  ++SystemImageListFrees;
}

int SystemIconIndex(const std::string& name, int, int) {
  try {
    const std::size_t dot = name.rfind('.');
    const std::string ext = dot == std::string::npos ? std::string() : name.substr(dot);
    auto& shared = Shared();
    auto it = shared.byExtension.find(ext);
    if (it != shared.byExtension.end()) return it->second;
    shared.icons.push_back(platform::FileTypeIcon(ext));
    const int index = static_cast<int>(shared.icons.size()) - 1;
    shared.byExtension[ext] = index;
    return index;
  } catch (...) {
    return -1;
  }
}
