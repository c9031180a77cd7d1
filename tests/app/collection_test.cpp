// Collecting the pictures: the walk, the masks, FileList and the folder list.
#include <filesystem>

#include "generation/Collection.h"
#include "platform/ticks.h"
#include "settings/Options.h"
#include "tests/app/app_fixture.h"
#include "ui/Procedures.h"
#include "ui/Unit1.h"

namespace fs = std::filesystem;

class CollectionTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    StartProgram();
    root_ = MakeFolder("root");
  }
  void Touch(const std::string& relative) { WriteFile(root_ + relative, "x"); }
  std::vector<std::string> Walk(const std::string& start, const std::string& mask,
                                int stopAfter = -1) {
    std::vector<std::string> found;
    WalkFolders(start, mask, [&](const std::string& folder, const platform::FoundEntry& e) {
      found.push_back((folder + e.name).substr(root_.size()));
      return stopAfter < 0 || static_cast<int>(found.size()) < stopAfter;
    });
    return found;
  }
  std::vector<std::string> Collected() {
    std::vector<std::string> v;
    for (int i = 0; i < FileList->Count(); ++i) v.push_back((*FileList)[i].substr(root_.size()));
    return v;
  }
  void TickOnly(std::initializer_list<const char*> extensions) {
    auto* list = OptionsForm->FileExtentionList;
    for (int i = 0; i < list->RowCount(); ++i) {
      bool on = false;
      for (const char* e : extensions) on = on || list->Row(i)->text(0) == e;
      list->SetChecked(i, on);
    }
  }
  std::string root_;
};

TEST_F(CollectionTest, FilesOfAFolderComeBeforeItsSubfolders) {
  Touch("z.jpg");
  Touch("sub/a.jpg");
  Touch("sub/deeper/b.jpg");
  Touch(".hidden/c.jpg");   // a hidden folder is not entered
  Touch(".d.jpg");          // a hidden file is collected
  Touch("e.png");
  EXPECT_EQ(Walk(root_, "*.jpg"),
            (std::vector<std::string>{".d.jpg", "z.jpg", "sub/a.jpg", "sub/deeper/b.jpg"}));
  EXPECT_EQ(Walk(root_, "*.JPG").size(), 4u);  // masks ignore case
  EXPECT_EQ(Walk(root_, "").size(), 5u);       // empty mask: every file
  // A callback answering false ends the whole walk, at every level.
  EXPECT_EQ(Walk(root_, "*.jpg", 3), (std::vector<std::string>{".d.jpg", "z.jpg", "sub/a.jpg"}));
  // The start folder is walked even when it is hidden.
  EXPECT_EQ(Walk(root_ + ".hidden", "*.jpg"), (std::vector<std::string>{".hidden/c.jpg"}));
  EXPECT_TRUE(Walk(root_ + "missing", "*.jpg").empty());
}

TEST_F(CollectionTest, FileListIsSortedIgnoringCaseWithoutDuplicates) {
  Touch("A/z.jpg");
  Touch("A/b.jpg");
  Touch("A/sub/c.jpg");
  Touch("A/D.JPG");
  FileList->Clear();
  for (const char* mask : {"*.jpg", "*.JPG"}) {
    WalkFolders(root_, mask, [](const std::string& f, const platform::FoundEntry& e) {
      return Form1->LogFiles(f, e);
    });
  }
  EXPECT_EQ(Collected(),
            (std::vector<std::string>{"A/b.jpg", "A/D.JPG", "A/sub/c.jpg", "A/z.jpg"}));
  EXPECT_GE(FileList->Capacity(), 10000u);
}

TEST_F(CollectionTest, TwoFilesDifferingOnlyInCaseAreBothCollected) {
  Touch("a.jpg");
  Touch("A.jpg");
  FileList->Clear();
  ScanFolder(root_);
  EXPECT_EQ(Collected().size(), 2u);
}

TEST_F(CollectionTest, ScanFolderCollectsEveryTickedType) {
  Touch("a.JPG");
  Touch("b.png");
  Touch("c.gif");
  Touch("d.jpeg");
  TickOnly({".jpg", ".png"});
  FileList->Clear();
  ScanFolder(root_);
  EXPECT_EQ(Collected(), (std::vector<std::string>{"a.JPG", "b.png"}));
  TickOnly({});
  FileList->Clear();
  ScanFolder(root_);
  EXPECT_TRUE(Collected().empty());
}

TEST_F(CollectionTest, HtmlRunDropsThumbnailPaths) {
  Touch("Photos/Smallprev/SmallA.jpg");
  Touch("Photos/Smallprev-beach.jpg");
  Touch("Photos/a.jpg");
  OptionsForm->DirTree1->SetSelectedPath(root_);
  CollectPictures(true);
  EXPECT_EQ(Collected(), (std::vector<std::string>{"Photos/a.jpg"}));
  SetBusy(false);
  CollectPictures(false);
  EXPECT_EQ(Collected().size(), 3u);
  EXPECT_EQ(FileList->Capacity(), 3u);
  SetBusy(false);
}

TEST_F(CollectionTest, FolderListOrSelectedFolder) {
  Touch("one/a.jpg");
  Touch("two/b.jpg");
  Touch("three/c.jpg");
  OptionsForm->DirTree1->SetSelectedPath(root_ + "three");
  OptionsForm->CheckBox8->setChecked(true);
  CollectPictures(false);  // an empty list: the selected folder
  EXPECT_EQ(Collected(), (std::vector<std::string>{"three/c.jpg"}));
  SetBusy(false);
  AddPathToList(root_ + "one", OptionsForm->ListBox3);
  AddPathToList(root_ + "two", OptionsForm->ListBox3);
  CollectPictures(false);
  EXPECT_EQ(Collected(), (std::vector<std::string>{"one/a.jpg", "two/b.jpg"}));
  SetBusy(false);
}

TEST_F(CollectionTest, AddPathToListKeepsNoNestedFolders) {
  QListWidget list;
  auto entries = [&] {
    std::vector<std::string> v;
    for (int i = 0; i < list.count(); ++i) v.push_back(list.item(i)->text().toStdString());
    return v;
  };
  AddPathToList("/photos", &list);
  EXPECT_EQ(entries(), (std::vector<std::string>{"/photos/"}));
  AddPathToList("/photos/trips", &list);  // inside a listed folder
  AddPathToList("/photos", &list);        // listed already
  EXPECT_EQ(entries(), (std::vector<std::string>{"/photos/"}));
  AddPathToList("/pics", &list);
  AddPathToList("/other/a", &list);
  AddPathToList("/other/b", &list);
  AddPathToList("/other", &list);  // holds two listed folders: both go
  EXPECT_EQ(entries(), (std::vector<std::string>{"/photos/", "/pics/", "/other/"}));
  AddPathToList("/", &list);  // the root holds everything
  EXPECT_EQ(entries(), (std::vector<std::string>{"/"}));
}

TEST_F(CollectionTest, CancelBetweenFoldersOfTheList) {
  Touch("one/a.jpg");
  Touch("two/b.jpg");
  OptionsForm->CheckBox8->setChecked(true);
  AddPathToList(root_ + "one", OptionsForm->ListBox3);
  AddPathToList(root_ + "two", OptionsForm->ListBox3);
  // Cancel is clicked while the first folder is collected.
  platform::SetTickSource([] {
    if (FileList->Pending() > 0) AbortRequested = true;
    return 0u;
  });
  CollectPictures(false);
  EXPECT_EQ(Collected(), (std::vector<std::string>{"one/a.jpg"}));
  SetBusy(false);
}
