#include "platform/inifile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QString>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>

namespace platform {
namespace {

struct Line {
  std::string text;
  std::string eol;  // "\r\n", "\n", "\r" or "" for a last line without one
};

struct Document {
  std::vector<Line> lines;
  bool exists = false;
  std::string eol = "\r\n";  // line end used for added lines
};

Document Load(const std::string& path) {
  Document doc;
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return doc;
  std::ifstream in(path, std::ios::binary);
  if (!in) return doc;
  doc.exists = true;
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::size_t start = 0;
  bool eolSeen = false;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != '\r' && bytes[i] != '\n') continue;
    std::string eol(1, bytes[i]);
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') eol = "\r\n";
    doc.lines.push_back({bytes.substr(start, i - start), eol});
    if (!eolSeen) doc.eol = eol;
    eolSeen = true;
    i += eol.size() - 1;
    start = i + 1;
  }
  if (start < bytes.size()) doc.lines.push_back({bytes.substr(start), ""});
  return doc;
}

std::string Trim(const std::string& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return s.substr(b, e - b);
}

bool SameName(const std::string& a, const std::string& b) {
  return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

std::optional<std::string> SectionName(const std::string& line) {
  const std::string t = Trim(line);
  if (t.empty() || t[0] != '[') return std::nullopt;
  const std::size_t close = t.find(']');
  return Trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
}

// Index range [begin, end) of the lines inside the first section of that name;
// begin points at the section's header line. False when there is none.
bool FindSection(const Document& doc, const std::string& section, std::size_t& begin,
                 std::size_t& end) {
  for (std::size_t i = 0; i < doc.lines.size(); ++i) {
    auto name = SectionName(doc.lines[i].text);
    if (!name || !SameName(*name, section)) continue;
    begin = i;
    end = i + 1;
    while (end < doc.lines.size() && !SectionName(doc.lines[end].text)) ++end;
    return true;
  }
  return false;
}

bool KeyOf(const std::string& line, std::string& key, std::string& value) {
  const std::size_t eq = line.find('=');
  if (eq == std::string::npos) return false;
  key = Trim(line.substr(0, eq));
  value = Trim(line.substr(eq + 1));
  return true;
}

// Cuts to the limit without splitting a UTF-8 sequence.
std::string Limit(std::string v) {
  if (v.size() <= kIniValueLimit) return v;
  std::size_t n = kIniValueLimit;
  while (n > 0 && (static_cast<unsigned char>(v[n]) & 0xC0) == 0x80) --n;
  v.resize(n);
  return v;
}

void Save(const std::string& path, const Document& doc) {
  const std::string tmp = path + ".~" + std::to_string(getpid());
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out) throw IniWriteError(path);
    for (const Line& l : doc.lines) out << l.text << l.eol;
    out.flush();
    if (!out) {
      out.close();
      std::remove(tmp.c_str());
      throw IniWriteError(path);
    }
  }
  if (std::rename(tmp.c_str(), path.c_str()) != 0) {
    std::remove(tmp.c_str());
    throw IniWriteError(path);
  }
}

}  // namespace

IniWriteError::IniWriteError(const std::string& path)
    : std::runtime_error("Unable to write to " + path) {}

std::string IniFile::ReadString(const std::string& section, const std::string& key,
                                const std::string& def) const {
  const Document doc = Load(path_);
  std::size_t begin = 0, end = 0;
  if (!FindSection(doc, section, begin, end)) return Limit(def);
  for (std::size_t i = begin + 1; i < end; ++i) {
    std::string k, v;
    if (!KeyOf(doc.lines[i].text, k, v) || !SameName(k, key)) continue;
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
    return Limit(v);
  }
  return Limit(def);
}

bool IniFile::SectionExists(const std::string& section) const {
  std::size_t b = 0, e = 0;
  return FindSection(Load(path_), section, b, e);
}

std::vector<std::string> IniFile::ReadSection(const std::string& section) const {
  std::vector<std::string> keys;
  const Document doc = Load(path_);
  std::size_t begin = 0, end = 0;
  if (!FindSection(doc, section, begin, end)) return keys;
  for (std::size_t i = begin + 1; i < end; ++i) {
    std::string k, v;
    if (KeyOf(doc.lines[i].text, k, v)) keys.push_back(k);
  }
  return keys;
}

void IniFile::WriteString(const std::string& section, const std::string& key,
                          const std::string& value) {
  Document doc = Load(path_);
  const std::string line = key + "=" + value;
  std::size_t begin = 0, end = 0;
  if (FindSection(doc, section, begin, end)) {
    std::size_t lastKey = begin;
    for (std::size_t i = begin + 1; i < end; ++i) {
      std::string k, v;
      if (!KeyOf(doc.lines[i].text, k, v)) continue;
      if (SameName(k, key)) {
        doc.lines[i].text = line;
        Save(path_, doc);
        return;
      }
      lastKey = i;
    }
    if (doc.lines[lastKey].eol.empty()) doc.lines[lastKey].eol = doc.eol;
    doc.lines.insert(doc.lines.begin() + static_cast<std::ptrdiff_t>(lastKey + 1),
                     Line{line, doc.eol});
  } else {
    if (!doc.lines.empty() && doc.lines.back().eol.empty()) doc.lines.back().eol = doc.eol;
    doc.lines.push_back({"[" + section + "]", doc.eol});
    doc.lines.push_back({line, doc.eol});
  }
  Save(path_, doc);
}

void IniFile::EraseSection(const std::string& section) {
  Document doc = Load(path_);
  std::size_t begin = 0, end = 0;
  if (!FindSection(doc, section, begin, end)) return;
  doc.lines.erase(doc.lines.begin() + static_cast<std::ptrdiff_t>(begin),
                  doc.lines.begin() + static_cast<std::ptrdiff_t>(end));
  Save(path_, doc);
}

std::string ToUtf8(const std::string& bytes) {
  const QByteArray raw = QByteArray::fromStdString(bytes);
  const QString utf8 = QString::fromUtf8(raw);
  if (utf8.toUtf8() == raw && !utf8.contains(QChar::ReplacementCharacter)) return bytes;
  // Windows-1252: Latin-1 except 0x80-0x9F.
  static const char16_t k80[32] = {
      0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
  QString s;
  s.reserve(raw.size());
  for (char c : raw) {
    const auto b = static_cast<unsigned char>(c);
    s += (b >= 0x80 && b < 0xA0) ? QChar(k80[b - 0x80]) : QChar(b);
  }
  return s.toStdString();
}

}  // namespace platform
