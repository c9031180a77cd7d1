// The main window: busy state, statistics check box, menu commands, counters.
#include <QCoreApplication>
#include <QMouseEvent>

#include "generation/Collection.h"
#include "settings/Options.h"
#include "tests/app/app_fixture.h"
#include "ui/About.h"
#include "ui/Help.h"
#include "ui/Logs.h"
#include "ui/Procedures.h"
#include "ui/Unit1.h"

TEST_F(AppTest, BusyStateShowsAndDisablesTheRightControls) {
  StartProgram();
  OptionsForm->CheckBox8->setChecked(true);
  AbortRequested = true;
  SetBusy(true);
  EXPECT_FALSE(AbortRequested);
  EXPECT_TRUE(IsBusy());
  EXPECT_FALSE(Form1->ButtonCancel->isHidden());
  EXPECT_TRUE(Form1->CloseButton->isHidden());
  EXPECT_FALSE(Form1->GeneThumbnailsBTN->isEnabled());
  EXPECT_FALSE(Form1->GeneHTMLBTN->isEnabled());
  EXPECT_FALSE(OptionsForm->CheckBox8->isEnabled());
  EXPECT_FALSE(OptionsForm->Button9->isEnabled());
  EXPECT_FALSE(OptionsForm->Button13->isEnabled());
  EXPECT_TRUE(Form1->RadioButton1->isEnabled());
  Form1->ButtonCancel->click();
  EXPECT_TRUE(AbortRequested);
  SetBusy(false);
  EXPECT_FALSE(AbortRequested);
  EXPECT_TRUE(Form1->ButtonCancel->isHidden());
  EXPECT_FALSE(Form1->CloseButton->isHidden());
  EXPECT_TRUE(Form1->GeneThumbnailsBTN->isEnabled());
  EXPECT_TRUE(OptionsForm->CheckBox8->isEnabled());
  EXPECT_TRUE(OptionsForm->Button9->isEnabled());
  // Without the folder list the path buttons stay as they are.
  OptionsForm->CheckBox8->setChecked(false);
  SetBusy(true);
  SetBusy(false);
  EXPECT_FALSE(OptionsForm->Button9->isEnabled());
  EXPECT_FALSE(OptionsForm->Button13->isEnabled());
}

TEST_F(AppTest, StatisticsCheckBoxGreysSixteenLabels) {
  StartProgram();
  const QLabel* labels[] = {Form1->Label64, Form1->Label71, Form1->Label76, Form1->Label63,
                            Form1->Label65, Form1->Label69, Form1->Tick1,   Form1->Tick2,
                            Form1->Tick3,   Form1->Tick4,   Form1->Tick5,   Form1->Tick6,
                            Form1->Label75, Form1->Label74, Form1->Label78, Form1->Label73};
  Form1->CheckBox3->click();
  for (const QLabel* l : labels) EXPECT_FALSE(l->isEnabled());
  Form1->Statistiquesdexcution1->trigger();
  EXPECT_TRUE(Form1->CheckBox3->isChecked());
  for (const QLabel* l : labels) EXPECT_TRUE(l->isEnabled());
  Form1->Statistiquesdexcution1->trigger();  // already checked: nothing changes
  EXPECT_TRUE(Form1->CheckBox3->isChecked());
}

TEST_F(AppTest, MenuWindowsDisableTheMainWindowUntilClosed) {
  StartProgram();
  struct Case {
    QAction* command;
    QWidget* window;
  } cases[] = {{Form1->Option2, OptionsForm},
               {Form1->ErreursetLog1, LogForm},
               {Form1->Apropos1, AboutForm}};
  for (const auto& c : cases) {
    c.command->trigger();
    EXPECT_FALSE(Form1->isEnabled());
    EXPECT_TRUE(c.window->isVisible());
    c.window->close();
    EXPECT_TRUE(Form1->isEnabled());
    EXPECT_FALSE(c.window->isVisible());
  }
  Form1->Aide2->trigger();
  EXPECT_TRUE(HelpForm->isVisible());
  EXPECT_TRUE(Form1->isEnabled());
  // The About window's own close button enables the main window as well.
  Form1->Apropos1->trigger();
  AboutForm->CloseButton->click();
  EXPECT_TRUE(Form1->isEnabled());
}

TEST_F(AppTest, LogWindowAlwaysOpensOnTheActionPage) {
  StartProgram();
  LogForm->PageControl1->setCurrentWidget(LogForm->TabSheet7);
  Form1->ErreursetLog1->trigger();
  EXPECT_EQ(LogForm->PageControl1->currentWidget(), LogForm->TabSheet5);
}

TEST_F(AppTest, CountersAddOneToTheirText) {
  StartProgram();
  SetCounter(Form1->Label14, 41);
  IncrementCounter(Form1->Label14);
  EXPECT_EQ(Form1->Label14->text(), "42");
  for (QLabel* l : {Form1->Label8, Form1->Label10, Form1->Label11}) EXPECT_EQ(l->text(), "0");
}

TEST_F(AppTest, MainWindowHelpTopics) {
  InstallLanguages();
  StartProgram();
  struct Case {
    QWidget* control;
    int key;
  } cases[] = {{Form1->CloseButton, 11100}, {Form1->Panel2, 11103},
               {Form1->GeneThumbnailsBTN, 11104}, {Form1->GeneHTMLBTN, 11105},
               {Form1->RadioButton2, 11106}, {Form1->RadioButton1, 11107},
               {Form1->CheckBox4, 11110}, {LogForm->ERRORLOG, 11108}};
  for (const auto& c : cases) {
    QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), QPointF(2, 2), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(c.control, &move);
    EXPECT_EQ(HelpForm->HelpMemo->toPlainText().toStdString(), HelpTopicText(c.key - 11000));
    EXPECT_FALSE(HelpForm->HelpMemo->toPlainText().isEmpty()) << c.key;
  }
}
