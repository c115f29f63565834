// Message boxes over QMessageBox. They run their own modal loop, so they are
// opened only from the program's window procedures, never from a toolkit
// callback.
#include <QtCore/QSocketNotifier>
#include <QtWidgets/QMessageBox>

#include "platform/message_box.h"
#include "platform/qt/qt_host_internal.h"
#include "platform/termination.h"

namespace {

QMessageBox::Icon IconFor(uint32_t flags) {
  switch (flags & 0xF0) {
    case MB_ICONERROR:
      return QMessageBox::Critical;
    case MB_ICONQUESTION:
      return QMessageBox::Question;
    case MB_ICONWARNING:
      return QMessageBox::Warning;
    case MB_ICONINFORMATION:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

// The answer when a termination request closes the box: nothing done.
int AnswerOnTermination(uint32_t flags) { return (flags & 0xF) == MB_YESNO ? IDNO : IDOK; }

int QtMessageBox(const char* text, const char* caption, uint32_t flags) {
  if (TerminationRequested()) return AnswerOnTermination(flags);
  QMessageBox box;
  // SIGTERM closes the box at once; the program then ends as it asks.
  if (QSocketNotifier* notifier = QtTerminationNotifier())
    QObject::connect(notifier, &QSocketNotifier::activated, &box, [&box] { box.done(0); });
  box.setWindowTitle(QString::fromUtf8(caption ? caption : ""));
  box.setText(QString::fromUtf8(text ? text : ""));
  box.setIcon(IconFor(flags));
  if ((flags & 0xF) == MB_YESNO) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton((flags & 0xF00) == MB_DEFBUTTON2 ? QMessageBox::No : QMessageBox::Yes);
  } else {
    box.setStandardButtons(QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
  }
  if (flags & MB_TOPMOST) box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
  int button = box.exec();
  if (TerminationRequested()) return AnswerOnTermination(flags);
  switch (button) {
    case QMessageBox::Yes:
      return IDYES;
    case QMessageBox::No:
      return IDNO;
    default:
      return IDOK;
  }
}

const MessageBoxService kQtMessageBoxes = {QtMessageBox};

}  // namespace

void InstallQtMessageBoxService() { gMessageBoxes = &kQtMessageBoxes; }
