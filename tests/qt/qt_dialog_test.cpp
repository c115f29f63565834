// The settings dialog on the Qt host (offscreen): the widgets its control
// table asks for, the collapsed size, and user actions reaching the
// procedure as its messages.
#include "platform/qt/qt_dialog.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QtGui/QAccessible>
#include <QtGui/QKeyEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QGroupBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QSlider>
#include <QtWidgets/QSpinBox>
#include <QtWidgets/QWhatsThis>
#include <filesystem>
#include <string>
#include <vector>

#include "patterns/preset.h"
#include "patterns/settings_session.h"
#include "platform/registry.h"
#include "saver/program_reset.h"
#include "saver/settings_dialog.h"
#include "tests/qt/qt_test_support.h"

namespace {

std::vector<Message> gSeen;

// Notes every message, then lets the dialog's own procedure act on it.
LResult RecordingProcedure(WindowHandle dialog, uint32_t message, WParam wParam, LParam lParam) {
  gSeen.push_back({dialog, message, wParam, lParam});
  return ScreenSaverConfigureDialog(dialog, message, wParam, lParam);
}

class QtSettingsDialogTest : public QtHostTest {
 protected:
  void SetUp() override {
    QtHostTest::SetUp();
    ResetProgram();
    root_ = std::filesystem::temp_directory_path() / ("prismora-qt-dialog-" + std::to_string(getpid()));
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_);
    setenv("PRISMORA_STATE_DIR", (root_ / "state").c_str(), 1);
    ResetRegistryStore();
    ASSERT_TRUE(OpenSettingsSession((root_ / "config").string()));
    InstallQtDialogHost();
    gSeen.clear();
    dialog_ = QtOpenDialog(kSettingsDialogTemplate, RecordingProcedure, 0);
  }
  void TearDown() override {
    QtCloseDialog(dialog_);
    ResetProgram();
    ResetRegistryStore();
    std::filesystem::remove_all(root_);
    QtHostTest::TearDown();
  }
  template <class W>
  W* Get(int id) {
    W* w = qobject_cast<W*>(QtDialogControl(dialog_, id));
    EXPECT_NE(w, nullptr) << id;
    return w;
  }
  bool Saw(uint32_t message, WParam wParam, LParam lParam) {
    for (const Message& m : gSeen)
      if (m.message == message && m.wParam == wParam && m.lParam == lParam) return true;
    return false;
  }
  void Key(QWidget* target, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
  }

  std::filesystem::path root_;
  WindowHandle dialog_ = 0;
};

TEST_F(QtSettingsDialogTest, BuildsTheWidgetsWithTheirRangesStepsAndTexts) {
  QWidget* window = QtDialogWidget(dialog_);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->windowTitle().toStdString(), "Prismora Settings");
  struct Slider {
    int id, minimum, maximum, step;
  };
  const Slider sliders[] = {
      {kIdFrequency, 0, 100, 10},      {kIdBall, 0, 10, 1},          {kIdBackground, 0, 255, 32},
      {kIdMorphSpeed, 1, 20000, 2000}, {kIdVolume, 0, 100, 10},      {kIdTrailLength, 1, 1000, 100},
      {kIdDensity, 1, 50, 5},          {kIdColourSpeed, 1, 300, 25}, {kIdSparkliness, 4, 200, 25},
  };
  for (const Slider& s : sliders) {
    SCOPED_TRACE(s.id);
    QSlider* slider = Get<QSlider>(s.id);
    ASSERT_NE(slider, nullptr);
    EXPECT_EQ(slider->minimum(), s.minimum);
    EXPECT_EQ(slider->maximum(), s.maximum);
    EXPECT_EQ(slider->pageStep(), s.step);
    EXPECT_EQ(slider->tickInterval(), s.step);
    EXPECT_EQ(slider->orientation(), Qt::Horizontal);
  }
  EXPECT_EQ(Get<QSlider>(kIdDensity)->value(), 51 - gPresets[gCurrentPattern].TrailDensity);
  struct Spin {
    int id, minimum, maximum;
  };
  for (const Spin& s : {Spin{kIdMorphInterval, 0, 3600}, Spin{kIdMaxFps, 25, 999}, Spin{kIdTrails, 1, 100},
                        Spin{kIdJump, 1, 3600}}) {
    QSpinBox* spin = Get<QSpinBox>(s.id);
    ASSERT_NE(spin, nullptr);
    EXPECT_EQ(spin->minimum(), s.minimum);
    EXPECT_EQ(spin->maximum(), s.maximum);
    EXPECT_FALSE(spin->isGroupSeparatorShown());
  }
  EXPECT_EQ(Get<QSpinBox>(kIdMaxFps)->value(), 85);
  EXPECT_EQ(Get<QComboBox>(kIdPatternList)->count(), 20);
  EXPECT_FALSE(Get<QComboBox>(kIdPatternList)->isEditable());
  EXPECT_TRUE(Get<QComboBox>(kIdMusic)->isEditable());
  EXPECT_EQ(Get<QComboBox>(kIdMusic)->itemText(0).toStdString(), "- No Music -");
  EXPECT_EQ(Get<QLabel>(kIdVersion)->text().toStdString(), "Prismora Version 0.1.0");
  EXPECT_EQ(Get<QLabel>(kIdMorphsLabel)->text().toStdString(), "(Every 20 morphs)");
  EXPECT_EQ(Get<QPushButton>(IDOK)->text().toStdString(), "OK");
  EXPECT_TRUE(Get<QPushButton>(IDOK)->isDefault());
  EXPECT_EQ(Get<QCheckBox>(kIdQuicksand)->text().toStdString(), "Always draw \"sticky\" trails");
  // A label's mnemonic leads to its control; a check box names the edit beside it.
  EXPECT_EQ(Get<QLabel>(kIdFrequencyTitle)->buddy(), Get<QSlider>(kIdFrequency));
  EXPECT_EQ(Get<QLabel>(kIdTrailsLabel)->buddy(), Get<QSpinBox>(kIdTrails));
  EXPECT_EQ(Get<QSpinBox>(kIdMorphInterval)->accessibleName().toStdString(), "Change patterns every");
}

TEST_F(QtSettingsDialogTest, CollapsedEndsSixPixelsAboveDefaultsAndAClickExpandsIt) {
  QWidget* window = QtDialogWidget(dialog_);
  QPushButton* defaults = Get<QPushButton>(kIdDefaults);
  const int collapsed = window->height();
  EXPECT_EQ(collapsed, defaults->geometry().top() - 6);
  EXPECT_TRUE(defaults->isHidden());
  Get<QPushButton>(kIdShowMore)->click();
  EXPECT_EQ(QtDispatchDialogMessages(), 1);
  EXPECT_TRUE(Saw(WM_COMMAND, MakeCommand(kIdShowMore, BN_CLICKED), 0));
  EXPECT_GT(window->height(), defaults->geometry().bottom());
  EXPECT_FALSE(defaults->isHidden());
  EXPECT_EQ(Get<QPushButton>(kIdShowMore)->text().toStdString(), "Hide Pattern &Settings");
  Get<QPushButton>(kIdShowMore)->click();
  QtDispatchDialogMessages();
  EXPECT_EQ(window->height(), collapsed);
}

TEST_F(QtSettingsDialogTest, KeysReachTheProcedureAsItsMessages) {
  QSlider* frequency = Get<QSlider>(kIdFrequency);
  Key(frequency, Qt::Key_End);
  QtDispatchDialogMessages();
  EXPECT_TRUE(Saw(WM_HSCROLL, 100, kIdFrequency));
  EXPECT_EQ(frequency->value(), 100);
  EXPECT_NE(Get<QLabel>(kIdMorphsLabel)->text().toStdString(), "(Every 20 morphs)");

  QSpinBox* trails = Get<QSpinBox>(kIdTrails);
  int before = trails->value();
  Key(trails, Qt::Key_Up);
  QtDispatchDialogMessages();
  EXPECT_EQ(trails->value(), before + 1);
  EXPECT_TRUE(Saw(WM_VSCROLL, WParam(before + 1), kIdTrailsSpin));

  QWidget* window = QtDialogWidget(dialog_);
  Get<QCheckBox>(kIdShowNames)->setFocus();
  Key(window, Qt::Key_F1);
  QtDispatchDialogMessages();
  EXPECT_TRUE(Saw(WM_HELP, 0, kIdShowNames));

  // Shift+F1, then a click: What's This for the clicked control.
  QKeyEvent whatsThis(QEvent::KeyPress, Qt::Key_F1, Qt::ShiftModifier);
  QApplication::sendEvent(window, &whatsThis);
  EXPECT_TRUE(QWhatsThis::inWhatsThisMode());
  QWhatsThis::leaveWhatsThisMode();
  QHelpEvent help(QEvent::WhatsThis, QPoint(1, 1), QPoint(1, 1));
  QApplication::sendEvent(Get<QSlider>(kIdTrailWidth), &help);
  QtDispatchDialogMessages();
  EXPECT_TRUE(Saw(WM_HELP, 0, kIdTrailWidth));

  // Escape is Cancel, which ends the dialog with 0.
  Key(window, Qt::Key_Escape);
  QtDispatchDialogMessages();
  EXPECT_TRUE(Saw(WM_COMMAND, MakeCommand(IDCANCEL, BN_CLICKED), 0));
  intptr_t code = -1;
  EXPECT_TRUE(QtDialogEnded(dialog_, &code));
  EXPECT_EQ(code, 0);
}

TEST_F(QtSettingsDialogTest, FocusFromTheKeyboardSendsTheSharedTablesNoticeOnceAndNoPress) {
  QtDialogWidget(dialog_)->show();
  QtDialogWidget(dialog_)->activateWindow();
  QApplication::processEvents();
  QtDispatchDialogMessages();
  for (const ControlTemplate* c = kSettingsDialogTemplate.controls; c->id != kIdTrailLengthLabel; ++c) {
    if (!TakesDialogFocus(c->kind) || QtDialogControl(dialog_, c->id)->hasFocus()) continue;
    SCOPED_TRACE(c->id);
    gSeen.clear();
    QtDialogControl(dialog_, c->id)->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    QtDispatchDialogMessages();
    DialogNotice n;
    bool says = FindDialogNotice(c->kind, DialogAction::Focus, &n);
    ASSERT_EQ(gSeen.size(), says ? 1u : 0u);
    if (says) {
      EXPECT_EQ(gSeen[0].wParam, MakeCommand(c->id, n.code));
    }
  }
  EXPECT_FALSE(QtDialogEnded(dialog_, nullptr));
}

std::string Describe(QWidget* w) {
  QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
  return std::to_string(w->property("dialogId").toInt()) + " " +
         (a ? a->text(QAccessible::Name) : "").toStdString();
}

TEST_F(QtSettingsDialogTest, EveryControlHasANameAndNoneCoversAnotherOrAFramesBorder) {
  Get<QPushButton>(kIdShowMore)->click();
  QtDispatchDialogMessages();
  std::vector<QWidget*> frames, controls;
  for (QWidget* w : QtDialogWidget(dialog_)->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    if (w->property("dialogId").isValid()) (qobject_cast<QGroupBox*>(w) ? frames : controls).push_back(w);
  ASSERT_EQ(frames.size() + controls.size(),
            size_t(kSettingsDialogTemplate.count) - 4);  // spins are in their edits
  for (QWidget* w : controls) EXPECT_NE(Describe(w).back(), ' ') << "no name: " << Describe(w);
  for (const std::vector<QWidget*>& group : {controls, frames})
    for (size_t i = 0; i < group.size(); ++i)
      for (size_t j = i + 1; j < group.size(); ++j)
        EXPECT_FALSE(group[i]->geometry().intersects(group[j]->geometry()))
            << Describe(group[i]) << " covers " << Describe(group[j]);
  // Inside a frame, a control stays clear of its border and its title.
  for (QWidget* w : controls)
    for (QWidget* frame : frames)
      if (frame->geometry().contains(w->geometry().center())) {
        EXPECT_TRUE(w->geometry().top() >= frame->contentsRect().top() + frame->y() &&
                    w->geometry().bottom() <= frame->geometry().bottom() - 2)
            << Describe(w) << " cuts the border of " << Describe(frame);
      }
}

TEST_F(QtSettingsDialogTest, ChoosingAPatternIsASelectionChange) {
  QComboBox* list = Get<QComboBox>(kIdPatternList);
  // Focus coming back from a message box is not the user entering the list.
  QFocusEvent back(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
  QApplication::sendEvent(list, &back);
  QtDispatchDialogMessages();
  EXPECT_FALSE(Saw(WM_COMMAND, MakeCommand(kIdPatternList, CBN_SETFOCUS), 0));
  QFocusEvent tab(QEvent::FocusIn, Qt::TabFocusReason);
  QApplication::sendEvent(list, &tab);
  emit list->activated(3);
  list->setCurrentIndex(3);
  QtDispatchDialogMessages();
  EXPECT_TRUE(Saw(WM_COMMAND, MakeCommand(kIdPatternList, CBN_SETFOCUS), 0));
  EXPECT_TRUE(Saw(WM_COMMAND, MakeCommand(kIdPatternList, CBN_SELCHANGE), 0));
  EXPECT_EQ(gCurrentPattern, 3u);
  EXPECT_EQ(Get<QSlider>(kIdTrailLength)->value(), gPresets[3].TrailLength);
}

}  // namespace
