#include "platform/collate.h"

#include <QCollator>
#include <QLocale>
#include <QString>
#include <algorithm>
#include <numeric>

namespace platform {
namespace {
QCollator& Collator() {
  static QCollator collator = [] {
    // Without a locale of its own, the user gets the ordering of English.
    QLocale locale = QLocale::system();
    if (locale.language() == QLocale::C) locale = QLocale(QLocale::English, QLocale::UnitedStates);
    QCollator c(locale);
    c.setCaseSensitivity(Qt::CaseInsensitive);
    c.setNumericMode(false);
    return c;
  }();
  return collator;
}
}  // namespace

int CompareTextLocale(const std::string& a, const std::string& b) {
  return Collator().compare(QString::fromStdString(a), QString::fromStdString(b));
}

void SortUniqueLocale(std::vector<std::string>& texts) {
  std::vector<QCollatorSortKey> keys;
  keys.reserve(texts.size());
  for (const auto& t : texts) keys.push_back(Collator().sortKey(QString::fromStdString(t)));
  std::vector<std::size_t> order(texts.size());
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(), [&](std::size_t i, std::size_t j) {
    const int c = keys[i].compare(keys[j]);
    return c != 0 ? c < 0 : texts[i] < texts[j];
  });
  std::vector<std::string> sorted;
  sorted.reserve(texts.size());
  for (std::size_t i : order) {
    if (!sorted.empty() && sorted.back() == texts[i]) continue;
    sorted.push_back(std::move(texts[i]));
  }
  texts = std::move(sorted);
}

}  // namespace platform
