// The HTML page run.
#include <filesystem>
#include <regex>

#include "generation/Generation.h"
#include "settings/Options.h"
#include "tests/app/app_fixture.h"
#include "ui/Logs.h"
#include "ui/Procedures.h"
#include "ui/Unit1.h"

namespace fs = std::filesystem;

class PagesTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    InstallLanguages();
    StartProgram();
    folder_ = MakeFolder("photos");
    OptionsForm->DirTree1->SetSelectedPath(folder_);
    OptionsForm->FileExtentionList->SetChecked(10, true);  // .png
  }
  // A picture of `bytes` bytes and its thumbnail of w × h.
  void Picture(const std::string& relative, std::size_t bytes = 1000, int w = 100, int h = 75) {
    WriteFile(folder_ + relative, std::string(bytes, 'x'));
    const fs::path p = fs::path(folder_ + relative);
    WriteJpeg((p.parent_path() / "Smallprev" / ("Small" + p.filename().string() + ".jpg")).string(),
              w, h);
  }
  std::string Page(const std::string& name) { return ReadFile(folder_ + name); }
  static int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
    return n;
  }
  std::string folder_;
};

TEST_F(PagesTest, ExamplePageByteForByte) {
  Picture("a.jpg", 52300, 100, 75);
  Picture("b.png", 200000, 100, 200);
  GenerateHtmlPages();
  EXPECT_EQ(Page("Index0.htm"), ReadFile(std::string(GALVORA_FIXTURES) + "/pages/Index0.htm"));
  EXPECT_EQ(Form1->Label10->text(), "2");
  EXPECT_EQ(Form1->Label11->text(), "1");
  EXPECT_EQ(Form1->Label8->text(), "2");
  const std::string last = LogForm->ACTIONLOG->item(LogForm->ACTIONLOG->count() - 1)->text().toStdString();
  EXPECT_NE(last.find(": File written: " + folder_ + "Index0.htm"), std::string::npos);
  EXPECT_FALSE(IsBusy());
}

TEST_F(PagesTest, PageBreaksAndNumbering) {
  struct Case {
    int pictures, perPage, start;
    std::vector<int> cellsPerPage;
  } cases[] = {
      {5, 0, 0, {5}},
      {5, 2, 0, {2, 2, 1}},
      {4, 2, 0, {2, 2, 0}},  // a full page opens the next at once
      {3, 2, 7, {2, 1}},     // numbering from the start number
  };
  for (const auto& c : cases) {
    fs::remove_all(folder_);
    for (int i = 0; i < c.pictures; ++i) Picture("p" + std::to_string(i) + ".jpg");
    OptionsForm->HTMLSpinEdit1->SetValue(c.perPage);
    OptionsForm->HTMLSpinEdit2->SetValue(c.start);
    GenerateHtmlPages();
    for (std::size_t p = 0; p < c.cellsPerPage.size(); ++p) {
      const std::string name = "Index" + std::to_string(c.start + p) + ".htm";
      EXPECT_EQ(Count(Page(name), "<TD>"), c.cellsPerPage[p]) << c.pictures << "/" << c.perPage << " " << name;
    }
    EXPECT_FALSE(fs::exists(folder_ + "Index" + std::to_string(c.start + c.cellsPerPage.size()) + ".htm"));
    EXPECT_EQ(CounterValue(Form1->Label11), static_cast<int>(c.cellsPerPage.size()));
  }
}

TEST_F(PagesTest, TableRows) {
  struct Case {
    int pictures, columns;
    std::vector<int> rows;  // cells per row, in order
  } cases[] = {
      {6, 4, {4, 2}},
      {4, 4, {4, 0}},  // the page ends with an empty row
      {3, 1, {1, 1, 1, 0}},
      {3, 0, {1, 1, 1, 0}},
  };
  for (const auto& c : cases) {
    fs::remove_all(folder_);
    for (int i = 0; i < c.pictures; ++i) Picture("p" + std::to_string(i) + ".jpg");
    OptionsForm->NBcoloSpinEdit->SetValue(c.columns);
    GenerateHtmlPages();
    const std::string page = Page("Index0.htm");
    std::vector<int> rows;
    const std::regex row("<TR ALIGN=CENTER>\r\n((  <TD>[^\r]*\r\n)*)</TR>");
    for (auto it = std::sregex_iterator(page.begin(), page.end(), row); it != std::sregex_iterator(); ++it) {
      rows.push_back(Count((*it)[1].str(), "<TD>"));
    }
    EXPECT_EQ(rows, c.rows) << c.pictures << " in " << c.columns;
  }
}

TEST_F(PagesTest, AlignmentTableOffMetaAndMemos) {
  Picture("a.jpg", 1023);
  Picture("b.jpg", 2047);
  GenerateHtmlPages();
  EXPECT_NE(Page("Index0.htm").find("<BR>0 Ko</TD>"), std::string::npos);
  EXPECT_NE(Page("Index0.htm").find("<BR>1 Ko</TD>"), std::string::npos);

  OptionsForm->AlignComboBox->setCurrentIndex(-1);
  GenerateHtmlPages();
  EXPECT_NE(Page("Index0.htm").find("<DIV ALIGN=\"\">\r\n<TABLE BORDER=3>\r\n<TR ALIGN=>\r\n"),
            std::string::npos);
  OptionsForm->AlignComboBox->setCurrentIndex(2);
  OptionsForm->LargColoSpinEdit->SetValue(9);
  GenerateHtmlPages();
  EXPECT_NE(Page("Index0.htm").find("<DIV ALIGN=\"LEFT\">\r\n<TABLE BORDER=9>\r\n<TR ALIGN=LEFT>"),
            std::string::npos);

  OptionsForm->Table->setChecked(false);
  OptionsForm->MetaContent2->setText("Holidays");
  OptionsForm->MetaContent5->setText("(c) us");
  OptionsForm->CheckBox10->setChecked(true);
  OptionsForm->HTMLMemo1->setPlainText("<H1>Top</H1>\n<HR>");
  OptionsForm->CheckBox11->setChecked(true);
  OptionsForm->HTMLMemo2->setPlainText("<P>End</P>");
  OptionsForm->HTMLSpinEdit3->SetValue(2);
  OptionsForm->HTMLEdit1->setText("My pictures");
  OptionsForm->SetBackgroundColor(0xFF);
  GenerateHtmlPages();
  const std::string expected =
      "<!-- This page was created whith Galvora Version 0.9 -->\r\n<HTML>\r\n<HEAD>\r\n"
      "<TITLE>My pictures</TITLE>\r\n<META NAME=\"GENERATOR\" CONTENT=\"Galvora\">\r\n"
      "<META NAME=\"DESCRIPTION\" CONTENT=\"Holidays\">\r\n"
      "<META NAME=\"COPYRIGHT\" CONTENT=\"(c) us\">\r\n</HEAD>\r\n"
      "<BODY BGCOLOR=\"#FF0000\" TEXT=\"#FFFFFF\">\r\n<H1>Top</H1>\r\n<HR>\r\n"
      "<A HREF=\"a.jpg\"><IMG SRC=\"Smallprev/Smalla.jpg.jpg\" WIDTH=\"100\" HEIGHT=\"75\" "
      "BORDER=\"2\" ALT=\"a.jpg\"></A>"
      "<A HREF=\"b.jpg\"><IMG SRC=\"Smallprev/Smallb.jpg.jpg\" WIDTH=\"100\" HEIGHT=\"75\" "
      "BORDER=\"2\" ALT=\"b.jpg\"></A><P>End</P>\r\n</BODY>\r\n</HTML>\r\n";
  EXPECT_EQ(Page("Index0.htm"), expected);
}

TEST_F(PagesTest, ThumbnailsMissingOrTooWideGetNoCell) {
  Picture("a.jpg");
  WriteFile(folder_ + "b.jpg", "no thumbnail");
  Picture("c.jpg", 100, 1001, 10);  // wider than the width control's upper bound
  GenerateHtmlPages();
  EXPECT_EQ(Count(Page("Index0.htm"), "<TD>"), 1);
  EXPECT_EQ(Form1->Label8->text(), "3");
}

TEST_F(PagesTest, AFolderSplitBySubfolderRewritesItsPages) {
  Picture("a.jpg");
  Picture("m/x.jpg");
  Picture("z.jpg");
  GenerateHtmlPages();
  // Sorted: a.jpg, m/x.jpg, z.jpg: the folder's second stretch writes Index0.htm again.
  EXPECT_EQ(Count(Page("Index0.htm"), "<TD>"), 1);
  EXPECT_NE(Page("Index0.htm").find("z.jpg"), std::string::npos);
  EXPECT_NE(Page("m/Index0.htm").find("x.jpg"), std::string::npos);
  EXPECT_EQ(Form1->Label11->text(), "3");
}

TEST_F(PagesTest, NamesThatWouldBreakThePageAreEncoded) {
  const std::string names[] = {"a b&c.jpg", "\xC3\xA9.jpg", "a#1.jpg", "100%.jpg", "q\"x.jpg"};
  for (const auto& n : names) Picture(n);
  GenerateHtmlPages();
  const std::string page = Page("Index0.htm");
  EXPECT_NE(page.find("<A HREF=\"a b&c.jpg\"><IMG SRC=\"Smallprev/Smalla b&c.jpg.jpg\""), std::string::npos);
  EXPECT_NE(page.find("ALT=\"a b&c.jpg\""), std::string::npos);
  EXPECT_NE(page.find("HREF=\"%C3%A9.jpg\""), std::string::npos);
  EXPECT_NE(page.find("SRC=\"Smallprev/Small%C3%A9.jpg.jpg\""), std::string::npos);
  EXPECT_NE(page.find("HREF=\"a%231.jpg\""), std::string::npos);
  EXPECT_NE(page.find("HREF=\"100%25.jpg\""), std::string::npos);
  EXPECT_NE(page.find("HREF=\"q%22x.jpg\""), std::string::npos);
  EXPECT_NE(page.find("ALT=\"q&quot;x.jpg\""), std::string::npos);
}

TEST_F(PagesTest, APageThatCannotBeWrittenIsCountedAsAnError) {
  Picture("a.jpg");
  fs::create_directories(folder_ + "Index0.htm/blocker");  // a folder where the page should be
  GenerateHtmlPages();
  EXPECT_EQ(Form1->Label11->text(), "0");
  EXPECT_EQ(Form1->Label14->text(), "1");
  ASSERT_EQ(LogForm->ERRORLOG->count(), 1);
  EXPECT_NE(LogForm->ERRORLOG->item(0)->text().toStdString().find(folder_ + "Index0.htm"),
            std::string::npos);
  EXPECT_FALSE(IsBusy());
}

TEST_F(PagesTest, AnUnreadableThumbnailIsCountedAndThePageClosed) {
  Picture("a.jpg");
  WriteFile(folder_ + "b.jpg", "x");
  WriteFile(folder_ + "Smallprev/Smallb.jpg.jpg", "not a jpeg");
  GenerateHtmlPages();
  EXPECT_EQ(Form1->Label14->text(), "1");
  EXPECT_EQ(Count(Page("Index0.htm"), "<TD>"), 1);
  EXPECT_NE(Page("Index0.htm").find("</HTML>\r\n"), std::string::npos);
  EXPECT_FALSE(IsBusy());
}
