// Message boxes: caption, text, icon, buttons and the answer given.
#include <QtCore/QTimer>
#include <QtGui/QKeyEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QPushButton>

#include "platform/message_box.h"
#include "tests/qt/qt_test_support.h"

namespace {

using QtMessageBoxTest = QtHostTest;

struct SeenBox {
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
  QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
  bool onTop = false;
};

// Waits for the box to come up, notes what it shows, then presses Enter
// (the default button) or clicks the named button.
void AnswerNextBox(SeenBox* seen, QMessageBox::StandardButton click) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, poll, [poll, seen, click] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    poll->stop();
    poll->deleteLater();
    seen->title = box->windowTitle();
    seen->text = box->text();
    seen->icon = box->icon();
    seen->buttons = box->standardButtons();
    seen->defaultButton =
        box->defaultButton() ? box->standardButton(box->defaultButton()) : QMessageBox::NoButton;
    seen->onTop = (box->windowFlags() & Qt::WindowStaysOnTopHint) != 0;
    if (click == QMessageBox::NoButton) {
      QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
      QApplication::sendEvent(box, &enter);
    } else {
      box->button(click)->click();
    }
  });
  poll->start(5);
}

TEST_F(QtMessageBoxTest, ShowsWhatTheFlagsAskAndReturnsTheAnswer) {
  struct {
    uint32_t flags;
    QMessageBox::StandardButton click;  // NoButton: press Enter
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton;
    bool onTop;
    int answer;
  } cases[] = {
      {MB_OK, QMessageBox::NoButton, QMessageBox::NoIcon, QMessageBox::Ok, QMessageBox::Ok, false, IDOK},
      {MB_OK | MB_ICONERROR, QMessageBox::NoButton, QMessageBox::Critical, QMessageBox::Ok, QMessageBox::Ok,
       false, IDOK},
      {MB_OK | MB_ICONWARNING | MB_TOPMOST, QMessageBox::NoButton, QMessageBox::Warning, QMessageBox::Ok,
       QMessageBox::Ok, true, IDOK},
      {MB_OK | MB_ICONINFORMATION, QMessageBox::NoButton, QMessageBox::Information, QMessageBox::Ok,
       QMessageBox::Ok, false, IDOK},
      {MB_YESNO | MB_ICONQUESTION, QMessageBox::NoButton, QMessageBox::Question,
       QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, false, IDYES},
      {MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2, QMessageBox::NoButton, QMessageBox::Question,
       QMessageBox::Yes | QMessageBox::No, QMessageBox::No, false, IDNO},
      {MB_YESNO | MB_DEFBUTTON2 | MB_TOPMOST, QMessageBox::Yes, QMessageBox::NoIcon,
       QMessageBox::Yes | QMessageBox::No, QMessageBox::No, true, IDYES},
      {MB_YESNO, QMessageBox::No, QMessageBox::NoIcon, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes,
       false, IDNO},
  };
  for (const auto& c : cases) {
    SeenBox seen;
    AnswerNextBox(&seen, c.click);
    int answer = MessageBox("Delete the pattern?", "Prismora", c.flags);
    EXPECT_EQ(answer, c.answer) << std::hex << c.flags;
    EXPECT_EQ(seen.title, QString("Prismora")) << std::hex << c.flags;
    EXPECT_EQ(seen.text, QString("Delete the pattern?")) << std::hex << c.flags;
    EXPECT_EQ(seen.icon, c.icon) << std::hex << c.flags;
    EXPECT_EQ(seen.buttons, c.buttons) << std::hex << c.flags;
    EXPECT_EQ(seen.defaultButton, c.defaultButton) << std::hex << c.flags;
    EXPECT_EQ(seen.onTop, c.onTop) << std::hex << c.flags;
  }
}

}  // namespace
