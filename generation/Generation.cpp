#include "generation/Generation.h"

#include <QImage>
#include <QPixmap>
#include <exception>
#include <stdexcept>

#include "generation/Collection.h"
#include "generation/ProceduresImages.h"
#include "generation/formats/jpeg.h"
#include "platform/dirsearch.h"
#include "platform/widgets.h"
#include "settings/Options.h"
#include "support/ProceduresChaine.h"
#include "ui/About.h"
#include "ui/Logs.h"
#include "ui/Procedures.h"
#include "ui/Unit1.h"

namespace {

std::string FolderOf(const std::string& path) { return path.substr(0, path.rfind('/') + 1); }
std::string NameOf(const std::string& path) { return path.substr(path.rfind('/') + 1); }

void StartRunCounters(int count) {
  Form1->Gauge1->setMaximum(count);
  Form1->Gauge1->setValue(0);
  Form1->Gauge1->show();
  SetCounter(Form1->Label10, count);
  SetCounter(Form1->Label11, 0);
  SetCounter(Form1->Label8, 0);
}

void EndRun() {
  Form1->Animate2->SetActive(false);
  Form1->Animate2->hide();
  Form1->Gauge1->hide();
  Form1->Gauge1->setValue(0);
  FileList->Clear();
  SetBusy(false);
}

void ShowPreview(const formats::Image& image) {
  const QImage view(image.pixels.data(), image.width, image.height,
                    static_cast<qsizetype>(image.Stride()), QImage::Format_RGB888);
  Form1->Image1->setPixmap(QPixmap::fromImage(view.copy()));
}

// Loads, reduces and writes one thumbnail. Failures after loading are counted
// and logged like load failures, and the run goes on.
void MakeThumbnail(const std::string& picture, const std::string& thumbnail) {
  TOptionsForm* o = OptionsForm;
  TWorkBitmap bitmap;
  bitmap.ReduceToWidth = o->SpinEdit2->Value();
  bitmap.KeepRatio = o->CheckBox2->isChecked();
  WorkBitmap = &bitmap;
  StartPictureTimer();
  if (LoadPicture(picture)) {
    try {
      const int width = o->SpinEdit2->Value();
      if (bitmap.Width() > width) ResizeBitmap(bitmap, width, width, o->CheckBox2->isChecked());
      std::string error;
      if (!formats::WriteJpegFile(bitmap.Pixels, o->SpinEdit1->Value(), thumbnail, &error)) {
        throw std::runtime_error(error);
      }
      AddActionLine(11014, thumbnail);
      if (Form1->CheckBox3->isChecked()) RecordTick();
      if (Form1->CheckBox4->isChecked()) ShowPreview(bitmap.Pixels);
      IncrementCounter(Form1->Label11);
    } catch (const std::exception&) {
      IncrementCounter(Form1->Label14);
      AddErrorLine(11001, picture);
    }
  }
  WorkBitmap = nullptr;
}

}  // namespace

std::string ThumbnailPath(const std::string& folder, const std::string& name) {
  return folder + OptionsForm->Edit1->text().toStdString() + "/" +
         OptionsForm->Edit5->text().toStdString() + name + ".jpg";
}

void GenerateThumbnails() {
  CollectPictures(false);
  StartRunStatistics();
  const int count = FileList->Count();
  StartRunCounters(count);
  int pos = 0;
  while (pos < count) {
    if (AbortRequested) break;
    const std::string folder = FolderOf((*FileList)[pos]);
    const std::string sub = OptionsForm->Edit1->text().toStdString();
    const std::int32_t n = CountOccurrences("/", folder);
    if (TextAfterNth("/", folder, n - 1) == sub + "/") {
      // A thumbnail folder: its files get no thumbnail of their own.
      Form1->Gauge1->StepBy(1);
      ++pos;
      continue;
    }
    platform::ForceDirectories(folder + sub + "/");
    while (true) {
      const std::string picture = (*FileList)[pos];
      const std::string thumbnail = ThumbnailPath(folder, NameOf(picture));
      if (!(platform::FileExists(thumbnail) && Form1->RadioButton1->isChecked())) {
        MakeThumbnail(picture, thumbnail);
      }
      ++pos;
      Form1->Gauge1->StepBy(1);
      SetCounter(Form1->Label8, pos);
      if (pos < count) {
        if (Form1->CheckBox3->isChecked()) UpdateStatistics();
        platform::ProcessMessages();
      }
      if (AbortRequested || pos >= count || FolderOf((*FileList)[pos]) != folder) break;
    }
  }
  EndRun();
}

// ---- HTML pages ----

namespace {

void Line(PageFile& page, const std::string& text) {
  if (page.file == nullptr) return;
  if (std::fputs(text.c_str(), page.file) < 0 || std::fputs("\r\n", page.file) < 0) {
    page.failed = true;
  }
}

void Put(PageFile& page, const std::string& text) {
  if (page.file != nullptr && std::fputs(text.c_str(), page.file) < 0) page.failed = true;
}

bool TableMode() { return OptionsForm->Table->isChecked(); }

void MemoText(const QPlainTextEdit* memo, PageFile& page) {
  for (const auto& l : MemoLines(memo)) Line(page, l);
}

}  // namespace

std::string LinkText(const std::string& name) {
  static const char* kHex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : name) {
    if (c < 0x20 || c > 0x7E || c == '"' || c == '#' || c == '%' || c == '?' || c == '<' ||
        c == '>') {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string AttributeText(const std::string& name) {
  std::string out;
  for (char c : name) {
    if (c == '"') {
      out += "&quot;";
    } else if (c == '<') {
      out += "&lt;";
    } else if (c == '>') {
      out += "&gt;";
    } else {
      out += c;
    }
  }
  return out;
}

std::string TableAlignment() {
  switch (OptionsForm->AlignComboBox->currentIndex()) {
    case 0:
      return "CENTER";
    case 1:
      return "RIGHT";
    case 2:
      return "LEFT";
    default:
      return "";
  }
}

void WriteRowStart(PageFile& page) {
  if (TableMode()) Line(page, "<TR ALIGN=" + TableAlignment() + ">");
}

void WriteRowEnd(PageFile& page) {
  if (TableMode()) Line(page, "</TR>");
}

void WritePageHeader(PageFile& page) {
  TOptionsForm* o = OptionsForm;
  page.file = std::fopen(page.path.c_str(), "wb");
  page.failed = page.file == nullptr;
  Line(page, "<!-- This page was created whith Galvora Version " + AboutForm->VersionHint() + " -->");
  Line(page, "<HTML>");
  Line(page, "<HEAD>");
  Line(page, "<TITLE>" + o->HTMLEdit1->text().toStdString() + "</TITLE>");
  Line(page, "<META NAME=\"GENERATOR\" CONTENT=\"Galvora\">");
  const std::pair<const char*, QLineEdit*> metas[] = {
      {"KEYWORDS", o->MetaContent1}, {"DESCRIPTION", o->MetaContent2}, {"CATEGORY", o->MetaContent3},
      {"AUTHOR", o->MetaContent4}, {"COPYRIGHT", o->MetaContent5}};
  for (const auto& [name, edit] : metas) {
    const std::string content = edit->text().toStdString();
    if (!content.empty()) {
      Line(page, std::string("<META NAME=\"") + name + "\" CONTENT=\"" + content + "\">");
    }
  }
  Line(page, "</HEAD>");
  Line(page, "<BODY BGCOLOR=\"" + ColorToHtml(static_cast<std::int32_t>(o->ColorDialog1.Color)) +
                 "\" TEXT=\"" + ColorToHtml(static_cast<std::int32_t>(o->ColorDialog2.Color)) + "\">");
  if (o->CheckBox10->isChecked()) MemoText(o->HTMLMemo1, page);
  if (TableMode()) {
    Line(page, "<DIV ALIGN=\"" + TableAlignment() + "\">");
    Line(page, "<TABLE BORDER=" + std::to_string(o->LargColoSpinEdit->Value()) + ">");
    WriteRowStart(page);
  }
}

void WritePageFooter(PageFile& page) {
  TOptionsForm* o = OptionsForm;
  if (TableMode()) {
    Line(page, "</TR>");
    Line(page, "</TABLE>");
    Line(page, "</DIV>");
  }
  if (o->CheckBox11->isChecked()) MemoText(o->HTMLMemo2, page);
  Line(page, "</BODY>");
  Line(page, "</HTML>");
}

void WritePictureCell(PageFile& page, const std::string& name, const std::string& width,
                      const std::string& height, const std::string& fullPath) {
  TOptionsForm* o = OptionsForm;
  const std::string anchor =
      "<A HREF=\"" + LinkText(name) + "\"><IMG SRC=\"" + LinkText(o->Edit1->text().toStdString()) +
      "/" + LinkText(o->Edit5->text().toStdString() + name + ".jpg") + "\" WIDTH=\"" + width +
      "\" HEIGHT=\"" + height + "\" BORDER=\"" + std::to_string(o->HTMLSpinEdit3->Value()) +
      "\" ALT=\"" + AttributeText(name) + "\"></A>";
  if (!TableMode()) {
    Put(page, anchor);
    return;
  }
  std::string cell = "  <TD>";
  if (o->Taille->isChecked()) cell += "<P ALIGN=\"CENTER\">";
  cell += anchor;
  if (o->Taille->isChecked()) cell += "<BR>" + std::to_string(FileSizeOf(fullPath) / 1024) + " Ko";
  cell += "</TD>";
  Line(page, cell);
}

bool ClosePage(PageFile& page) {
  if (page.file != nullptr) {
    if (std::fclose(page.file) != 0) page.failed = true;
    page.file = nullptr;
  }
  return !page.failed;
}

namespace {

// Closes the page and counts it as written, or as an error when it failed.
void FinishPage(PageFile& page) {
  if (ClosePage(page)) {
    IncrementCounter(Form1->Label11);
  } else {
    IncrementCounter(Form1->Label14);
    AddErrorLine(11001, page.path);
  }
}

void OpenPage(PageFile& page, const std::string& pageFolder, int& number) {
  page = PageFile{};
  page.path = pageFolder + OptionsForm->HTMLEdit2->text().toStdString() + std::to_string(number) +
              ".htm";
  AddActionLine(11014, page.path);
  ++number;
  WritePageHeader(page);
}

}  // namespace

void GenerateHtmlPages() {
  CollectPictures(true);
  const int count = FileList->Count();
  StartRunCounters(count);
  TOptionsForm* o = OptionsForm;
  int pos = 0;
  std::string pageFolder = count > 0 ? FolderOf((*FileList)[0]) : std::string();
  while (pos < count) {
    const std::string folder = FolderOf((*FileList)[pos]);
    int number = o->HTMLSpinEdit2->Value();
    int cells = 0;
    int column = 1;
    if (AbortRequested) break;
    PageFile page;
    OpenPage(page, pageFolder, number);
    bool stopped = false;
    while (true) {
      platform::ProcessMessages();
      const std::string picture = (*FileList)[pos];
      const std::string name = NameOf(picture);
      const std::string thumbnail = ThumbnailPath(folder, name);
      if (platform::FileExists(thumbnail)) {
        int w = 0, h = 0;
        if (!formats::ReadJpegSize(thumbnail, w, h)) {
          IncrementCounter(Form1->Label14);
          AddErrorLine(11001, thumbnail);
        } else if (w <= o->SpinEdit2->MaxValue()) {
          WritePictureCell(page, name, std::to_string(w), std::to_string(h), picture);
          ++cells;
          if (TableMode()) {
            if (column < o->NBcoloSpinEdit->Value()) {
              ++column;
            } else {
              WriteRowEnd(page);
              WriteRowStart(page);
              column = 1;
            }
          }
        }
        const int perPage = o->HTMLSpinEdit1->Value();
        if (perPage > 0 && cells >= perPage) {
          cells = 0;
          column = 1;
          WritePageFooter(page);
          FinishPage(page);
          if (AbortRequested) {
            stopped = true;
            break;
          }
          OpenPage(page, pageFolder, number);
        }
      }
      ++pos;
      Form1->Gauge1->StepBy(1);
      SetCounter(Form1->Label8, pos);
      if (pos >= count || FolderOf((*FileList)[pos]) != folder) break;
    }
    if (stopped) break;
    WritePageFooter(page);
    FinishPage(page);
    if (pos < count) pageFolder = FolderOf((*FileList)[pos]);
    platform::ProcessMessages();
  }
  EndRun();
}
