// Dialogs over Qt widgets. Handlers only post messages; the procedure runs
// from the dialog's own loop (run) or from QtDispatchDialogMessages.
#include "platform/qt/qt_dialog.h"

#include <QtCore/QEvent>
#include <QtCore/QPointer>
#include <QtCore/QRegularExpression>
#include <QtCore/QTimer>
#include <QtGui/QFontMetricsF>
#include <QtGui/QKeyEvent>
#include <QtWidgets/QAbstractItemView>
#include <QtWidgets/QApplication>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QDialog>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QGroupBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QSlider>
#include <QtWidgets/QSpinBox>
#include <QtWidgets/QWhatsThis>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "platform/event_source.h"
#include "platform/message_box.h"
#include "platform/qt/qt_launch.h"
#include "platform/termination.h"

namespace {

struct QtDialogRec {
  WindowHandle handle = 0;
  DialogProc procedure = nullptr;
  QDialog* widget = nullptr;
  std::map<int, QWidget*> controls;
  std::map<int, ControlKind> kinds;
  std::map<int, int> spinEdit;  // spin id -> its buddy edit id
  bool ended = false;
  intptr_t code = 0;
};

std::vector<std::unique_ptr<QtDialogRec>> gQtDialogs;
WindowHandle gNextQtDialog = 0x7000;

QtDialogRec* Find(WindowHandle handle) {
  for (auto& d : gQtDialogs)
    if (d->handle == handle) return d.get();
  return nullptr;
}

// Everything a user does comes back as a posted message, never a direct
// call: the procedure may open message boxes and nested dialogs. Which
// message is the shared table's word, as on every host.
void Notify(WindowHandle dialog, ControlKind kind, DialogAction action, int id, int position = 0) {
  DialogNotice notice;
  if (!FindDialogNotice(kind, action, &notice)) return;
  uint32_t message = 0;
  WParam wParam = 0;
  LParam lParam = 0;
  DialogNoticeMessage(notice, id, position, &message, &wParam, &lParam);
  PostMessage(dialog, message, wParam, lParam);
}

// Focus the user moved: Tab, Shift+Tab, an access key or a click. Focus
// coming back from a message box or another window, or set by the
// procedure, is none of the user's doing.
bool UserFocus(Qt::FocusReason reason) {
  return reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::MouseFocusReason ||
         reason == Qt::ShortcutFocusReason;
}

class ControlEvents : public QObject {
 public:
  ControlEvents(WindowHandle dialog, int id, ControlKind kind, QObject* parent)
      : QObject(parent), dialog_(dialog), id_(id), kind_(kind) {}

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    switch (event->type()) {
      case QEvent::QueryWhatsThis:
        return true;
      case QEvent::WhatsThis:
        // The procedure shows the text; the mode ends with this click.
        if (QWhatsThis::inWhatsThisMode()) QWhatsThis::leaveWhatsThisMode();
        PostMessage(dialog_, WM_HELP, 0, id_);
        return true;
      case QEvent::ContextMenu:
        PostMessage(dialog_, WM_CONTEXTMENU, WParam(id_), 0);
        return true;
      case QEvent::FocusIn:
        // Focus coming back from a message box would ask the pattern list's
        // save question again.
        if (UserFocus(static_cast<QFocusEvent*>(event)->reason()))
          Notify(dialog_, kind_, DialogAction::Focus, id_);
        return false;
      default:
        return false;
    }
  }

 private:
  WindowHandle dialog_;
  int id_;
  ControlKind kind_;
};

class DialogWidget : public QDialog {
 public:
  explicit DialogWidget(WindowHandle handle) : handle_(handle) {}

 protected:
  // Esc and the close button are Cancel, which the procedure may refuse.
  void reject() override { PostMessage(handle_, WM_COMMAND, MakeCommand(IDCANCEL, BN_CLICKED), 0); }
  void closeEvent(QCloseEvent* event) override {
    event->ignore();
    reject();
  }
  void keyPressEvent(QKeyEvent* event) override {
    // Shift+F1 is the What's This button for desktops that show none in
    // the caption: the next click asks for a control's help.
    if (event->key() == Qt::Key_F1 && (event->modifiers() & Qt::ShiftModifier)) {
      QWhatsThis::enterWhatsThisMode();
      return;
    }
    if (event->key() == Qt::Key_F1) {
      QWidget* focus = focusWidget();
      QVariant id = focus ? focus->property("dialogId") : QVariant();
      if (id.isValid()) PostMessage(handle_, WM_HELP, 0, id.toInt());
      return;
    }
    QDialog::keyPressEvent(event);
  }

 private:
  WindowHandle handle_;
};

class SpinField : public QSpinBox {
 public:
  SpinField(WindowHandle dialog, QWidget* parent) : QSpinBox(parent), dialog_(dialog) {}
  int spinId = 0;
  void stepBy(int steps) override {
    QSpinBox::stepBy(steps);
    Notify(dialog_, ControlKind::Spin, DialogAction::Spin, spinId, value());
  }

 private:
  WindowHandle dialog_;
};

// Runs its action once, just after the next mouse button release.
class ReleaseWaiter : public QObject {
 public:
  explicit ReleaseWaiter(std::function<void()> action) : action_(std::move(action)) {}

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::MouseButtonRelease) {
      qApp->removeEventFilter(this);
      QTimer::singleShot(0, qApp, action_);
      deleteLater();
    }
    return false;
  }

 private:
  std::function<void()> action_;
};

struct Units {
  double x, y;  // pixels per dialog unit
};

Units DialogUnits(const QFont& font) {
  QFontMetricsF metrics(font);
  double average = metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 52.0;
  return {average / 4.0, metrics.height() / 8.0};
}

QRect Place(const Units& u, int x, int y, int w, int h) {
  int left = int(std::lround(x * u.x)), top = int(std::lround(y * u.y));
  return QRect(left, top, int(std::lround((x + w) * u.x)) - left, int(std::lround((y + h) * u.y)) - top);
}

Qt::Alignment AlignmentOf(uint32_t align) {
  Qt::Alignment vertical = Qt::AlignVCenter;
  if (align == kAlignCentre) return Qt::AlignHCenter | vertical;
  if (align == kAlignRight) return Qt::AlignRight | vertical;
  return Qt::AlignLeft | vertical;
}

QString Text(const char* text) { return QString::fromUtf8(text ? text : ""); }

QWidget* MakeControl(QtDialogRec* d, const ControlTemplate& c, const Units& u) {
  QWidget* parent = d->widget;
  WindowHandle h = d->handle;
  int id = c.id;
  ControlKind kind = c.kind;
  QRect rect = Place(u, c.x, c.y, c.width, c.height);
  QWidget* w = nullptr;
  switch (c.kind) {
    case ControlKind::Group:
      w = new QGroupBox(Text(c.text), parent);
      break;
    case ControlKind::Label: {
      auto* label = new QLabel(Text(c.text), parent);
      label->setAlignment(AlignmentOf(c.align));
      label->setWordWrap(c.height > 10);
      w = label;
      break;
    }
    case ControlKind::Button:
    case ControlKind::DefaultButton: {
      auto* button = new QPushButton(Text(c.text), parent);
      button->setDefault(c.kind == ControlKind::DefaultButton);
      button->setAutoDefault(false);
      QObject::connect(button, &QPushButton::clicked,
                       [h, id, kind] { Notify(h, kind, DialogAction::Click, id); });
      w = button;
      break;
    }
    case ControlKind::Link: {
      auto* link = new QPushButton(Text(c.text), parent);
      link->setFlat(true);
      link->setCursor(Qt::PointingHandCursor);
      link->setStyleSheet(
          "QPushButton { color: #0000ff; text-decoration: underline; border: none; background: transparent; "
          "}");
      QObject::connect(link, &QPushButton::clicked,
                       [h, id, kind] { Notify(h, kind, DialogAction::Click, id); });
      w = link;
      break;
    }
    case ControlKind::CheckBox: {
      auto* box = new QCheckBox(Text(c.text), parent);
      QObject::connect(box, &QCheckBox::clicked, [h, id, kind] { Notify(h, kind, DialogAction::Click, id); });
      w = box;
      break;
    }
    case ControlKind::Edit: {
      bool numeric = false;
      for (const auto& [spin, edit] : d->spinEdit)
        if (edit == id) numeric = true;
      if (numeric) {
        auto* field = new SpinField(h, parent);
        field->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
        field->setGroupSeparatorShown(false);
        for (const auto& [spin, edit] : d->spinEdit)
          if (edit == id) field->spinId = spin;
        QObject::connect(field->findChild<QLineEdit*>(), &QLineEdit::textEdited,
                         [h, id, kind] { Notify(h, kind, DialogAction::Type, id); });
        w = field;
      } else {
        auto* edit = new QLineEdit(parent);
        QObject::connect(edit, &QLineEdit::textEdited,
                         [h, id, kind] { Notify(h, kind, DialogAction::Type, id); });
        w = edit;
      }
      break;
    }
    case ControlKind::Spin:
      return nullptr;  // part of its buddy's field
    case ControlKind::Slider: {
      auto* slider = new QSlider(Qt::Horizontal, parent);
      slider->setTickPosition(QSlider::TicksBelow);
      QObject::connect(slider, &QSlider::actionTriggered, [h, id, kind, slider](int) {
        // The action's new position is applied after this signal.
        Notify(h, kind, DialogAction::Slide, id, slider->sliderPosition());
      });
      w = slider;
      break;
    }
    case ControlKind::DropList:
    case ControlKind::DropEdit: {
      auto* combo = new QComboBox(parent);
      bool editable = c.kind == ControlKind::DropEdit;
      combo->setEditable(editable);
      if (editable) {
        combo->setInsertPolicy(QComboBox::NoInsert);
        QObject::connect(combo->lineEdit(), &QLineEdit::textEdited,
                         [h, id, kind] { Notify(h, kind, DialogAction::Type, id); });
      }
      QObject::connect(combo, qOverload<int>(&QComboBox::activated),
                       [h, id, kind](int) { Notify(h, kind, DialogAction::Choose, id); });
      // The template's height is the open list's; the field is one line.
      rect.setHeight(int(std::lround(12 * u.y)) + 4);
      rect.translate(0, -2);
      w = combo;
      break;
    }
  }
  w->setGeometry(rect);
  w->setProperty("dialogId", id);
  if (id != -1) {
    auto* events = new ControlEvents(h, id, kind, w);
    w->installEventFilter(events);
    if (auto* combo = qobject_cast<QComboBox*>(w); combo && combo->lineEdit())
      combo->lineEdit()->installEventFilter(events);
    if (auto* spin = qobject_cast<QSpinBox*>(w)) spin->findChild<QLineEdit*>()->installEventFilter(events);
  }
  return w;
}

// Frames that overlap the bottom edge of a frame above them start where it
// ends, so that neither covers the other's border.
void TrimUnderFrameAbove(const DialogTemplate& t, int index, const Units& u, QWidget* frame) {
  const ControlTemplate& c = t.controls[index];
  for (int i = 0; i < index; ++i) {
    const ControlTemplate& above = t.controls[i];
    int bottom = above.y + above.height;
    bool besideIt = c.x < above.x + above.width && above.x < c.x + c.width;
    if (above.kind != ControlKind::Group || !besideIt || c.y <= above.y || c.y >= bottom) continue;
    QRect r = Place(u, c.x, bottom, c.width, c.y + c.height - bottom);
    frame->setGeometry(r.adjusted(0, 1, 0, 0));
  }
}

QString WithoutAccessKey(const char* text) {
  QString plain = Text(text);
  plain.remove(QRegularExpression("&(?=[^&])"));
  return plain;
}

// A control without text of its own is named by its label: a label as its
// buddy (whose access key then moves the focus here), a check box's text as
// its accessible name.
void NameControl(QtDialogRec* d, const DialogTemplate& t, const ControlTemplate& c) {
  auto it = d->controls.find(c.id);
  auto named = d->controls.find(c.label);
  if (c.label == 0 || it == d->controls.end() || named == d->controls.end()) return;
  if (auto* label = qobject_cast<QLabel*>(named->second)) {
    label->setBuddy(it->second);
    return;
  }
  for (int i = 0; i < t.count; ++i)
    if (t.controls[i].id == c.label) it->second->setAccessibleName(WithoutAccessKey(t.controls[i].text));
}

QWidget* Control(QtDialogRec* d, int id) {
  auto spin = d->spinEdit.find(id);
  if (spin != d->spinEdit.end()) id = spin->second;
  auto it = d->controls.find(id);
  return it == d->controls.end() ? nullptr : it->second;
}

LResult CopyOut(const QString& text, WParam capacity, LParam buffer) {
  if (capacity == 0 || buffer == 0) return 0;
  QByteArray bytes = text.toUtf8();
  int n = std::snprintf(reinterpret_cast<char*>(buffer), capacity, "%s", bytes.constData());
  return std::min<LResult>(n, LResult(capacity) - 1);
}

// The selection of an editable list is -1 while its field holds typed text.
int CurrentSelection(QComboBox* combo) {
  int index = combo->currentIndex();
  if (combo->isEditable() && index >= 0 && combo->currentText() != combo->itemText(index)) return -1;
  return index;
}

LResult ListMessage(QComboBox* combo, uint32_t message, WParam w, LParam l) {
  switch (message) {
    case DLG_RESETCONTENT:
      combo->clear();
      if (combo->isEditable()) combo->setEditText(QString());
      return 1;
    case DLG_ADDITEM:
      combo->addItem(Text(reinterpret_cast<const char*>(l)), QVariant::fromValue<qlonglong>(0));
      return combo->count() - 1;
    case DLG_DELETEITEM:
      combo->removeItem(int(w));
      return 1;
    case DLG_GETCOUNT:
      return combo->count();
    case DLG_SETCURSEL:
      combo->setCurrentIndex(intptr_t(w) >= 0 && int(w) < combo->count() ? int(w) : -1);
      if (combo->isEditable() && combo->currentIndex() < 0) combo->setEditText(QString());
      return 1;
    case DLG_GETCURSEL:
      return CurrentSelection(combo);
    case DLG_SETITEMDATA:
      if (int(w) >= combo->count()) return 0;
      combo->setItemData(int(w), QVariant::fromValue<qlonglong>(l));
      return 1;
    case DLG_GETITEMDATA:
      return int(w) < combo->count() ? LResult(combo->itemData(int(w)).toLongLong()) : -1;
    case DLG_GETITEMTEXT:
      return int(w) < combo->count() ? CopyOut(combo->itemText(int(w)), kDialogTextMax, l) : 0;
    case DLG_SETVISIBLEITEMS:
      combo->setMaxVisibleItems(std::max(1, int(w)));
      return 1;
    case DLG_LIMITTEXT:
      if (combo->lineEdit()) combo->lineEdit()->setMaxLength(int(w));
      return 1;
    case DLG_GETTEXT:
      return CopyOut(combo->currentText(), w, l);
    case DLG_SETTEXT:
      if (combo->isEditable()) combo->setEditText(Text(reinterpret_cast<const char*>(l)));
      return 1;
    default:
      return 0;
  }
}

LResult QtSend(WindowHandle handle, int id, uint32_t message, WParam w, LParam l) {
  QtDialogRec* d = Find(handle);
  if (!d) return 0;
  QWidget* widget = Control(d, id);
  if (!widget) return 0;
  switch (message) {
    case DLG_SHOW:
      widget->setVisible(w != 0);
      return 1;
    case DLG_ENABLE:
      widget->setEnabled(w != 0);
      return 1;
    case DLG_SETFOCUS:
      widget->setFocus(Qt::OtherFocusReason);
      if (auto* edit = qobject_cast<QLineEdit*>(widget)) edit->selectAll();
      return 1;
    default:
      break;
  }
  if (auto* combo = qobject_cast<QComboBox*>(widget)) return ListMessage(combo, message, w, l);
  if (auto* slider = qobject_cast<QSlider*>(widget)) {
    switch (message) {
      case DLG_SETRANGE:
        slider->setRange(int(w), int(l));
        return 1;
      case DLG_SETPOS:
        slider->setValue(int(intptr_t(w)));
        return 1;
      case DLG_GETPOS:
        return slider->value();
      case DLG_SETSTEP:
        slider->setPageStep(int(w));
        slider->setTickInterval(int(w));
        return 1;
      default:
        return 0;
    }
  }
  if (auto* spin = qobject_cast<QSpinBox*>(widget)) {
    switch (message) {
      case DLG_SETRANGE:
        spin->setRange(int(w), int(l));
        return 1;
      case DLG_SETPOS:
        spin->setValue(int(intptr_t(w)));
        return 1;
      case DLG_GETPOS:
        return spin->value();
      case DLG_SETTEXT:
        spin->setValue(Text(reinterpret_cast<const char*>(l)).toInt());
        return 1;
      case DLG_GETTEXT:
        return CopyOut(spin->cleanText(), w, l);
      default:
        return 0;
    }
  }
  if (auto* check = qobject_cast<QCheckBox*>(widget)) {
    if (message == DLG_SETCHECK) check->setChecked(w != 0);
    if (message == DLG_GETCHECK) return check->isChecked() ? 1 : 0;
  }
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
    switch (message) {
      case DLG_SETTEXT:
        edit->setText(Text(reinterpret_cast<const char*>(l)));
        return 1;
      case DLG_GETTEXT:
        return CopyOut(edit->text(), w, l);
      case DLG_LIMITTEXT:
        edit->setMaxLength(int(w));
        return 1;
      default:
        return 0;
    }
  }
  if (message == DLG_SETTEXT) {
    if (auto* label = qobject_cast<QLabel*>(widget)) label->setText(Text(reinterpret_cast<const char*>(l)));
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
      button->setText(Text(reinterpret_cast<const char*>(l)));
    if (auto* group = qobject_cast<QGroupBox*>(widget))
      group->setTitle(Text(reinterpret_cast<const char*>(l)));
    return 1;
  }
  if (message == DLG_GETTEXT) {
    if (auto* label = qobject_cast<QLabel*>(widget)) return CopyOut(label->text(), w, l);
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) return CopyOut(button->text(), w, l);
  }
  return 0;
}

void QtEnd(WindowHandle handle, intptr_t code) {
  if (QtDialogRec* d = Find(handle)) {
    d->ended = true;
    d->code = code;
  }
}

bool QtControlRect(WindowHandle handle, int id, DialogRect* rect) {
  QtDialogRec* d = Find(handle);
  QWidget* w = d ? Control(d, id) : nullptr;
  if (!w) return false;
  QRect g = w->geometry();
  *rect = {g.left(), g.top(), g.width(), g.height()};
  return true;
}

void QtClientSize(WindowHandle handle, int* width, int* height) {
  QtDialogRec* d = Find(handle);
  *width = d ? d->widget->width() : 0;
  *height = d ? d->widget->height() : 0;
}

void QtResize(WindowHandle handle, int width, int height) {
  if (QtDialogRec* d = Find(handle)) d->widget->setFixedSize(width, height);
}

void QtBusyCursor(bool on) {
  if (on)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  else
    QApplication::restoreOverrideCursor();
}

void QtShowHelpText(WindowHandle handle, int id, const char* text) {
  QtDialogRec* d = Find(handle);
  QWidget* w = d ? Control(d, id) : nullptr;
  if (!w) return;
  QPointer<QWidget> target = w;
  QString shown = Text(text);
  auto show = [target, shown] {
    if (target) QWhatsThis::showText(target->mapToGlobal(target->rect().center()), shown, target);
  };
  // A text shown while the button that asked for it is still down would
  // close again at its release.
  if (QGuiApplication::mouseButtons() == Qt::NoButton)
    show();
  else
    qApp->installEventFilter(new ReleaseWaiter(show));
}

bool QtOpenFile(WindowHandle handle, const char* const* filters, int count, int* filterIndex, char* path,
                unsigned capacity) {
  QtDialogRec* d = Find(handle);
  QStringList list;
  for (int i = 0; i < count; ++i) {
    // Qt reads the patterns from the last parentheses of a filter.
    QString patterns = Text(filters[2 * i + 1]).replace(';', ' ');
    list << Text(filters[2 * i]) + " (" + patterns + ")";
  }
  QString selected = list.value(std::clamp(*filterIndex, 1, count) - 1);
  QString file =
      QFileDialog::getOpenFileName(d ? d->widget : nullptr, "Open", QString(), list.join(";;"), &selected);
  if (file.isEmpty()) return false;
  int chosen = int(list.indexOf(selected));
  if (chosen >= 0) *filterIndex = chosen + 1;
  QByteArray bytes = file.toUtf8();
  if (bytes.size() >= int(capacity)) return false;
  std::snprintf(path, capacity, "%s", bytes.constData());
  return true;
}

intptr_t QtRun(const DialogTemplate& t, DialogProc procedure, LParam initParam) {
  QtDialogRec* outer = gQtDialogs.empty() ? nullptr : gQtDialogs.back().get();
  WindowHandle handle = QtOpenDialog(t, procedure, initParam);
  QtDialogRec* d = Find(handle);
  if (!d) return -1;
  // Opened over another window of ours (an outer dialog, the player's
  // frame), the dialog keeps input from it: what was clicked there would
  // otherwise wait in the queue and act once the dialog is gone.
  if (outer || QApplication::activeWindow()) d->widget->setWindowModality(Qt::ApplicationModal);
  d->widget->show();
  std::vector<Message> others;
  while (!d->ended) {
    Message m;
    if (!GetMessage(&m)) {
      PostMessage(m.window, WM_QUIT, m.wParam, m.lParam);
      break;
    }
    // A termination request closes the dialog as Cancel would, saving
    // nothing; the program then ends as the request asks.
    if (TerminationRequested()) break;
    if (m.window == handle)
      procedure(handle, m.message, m.wParam, m.lParam);
    else
      others.push_back(m);  // the outer dialog's, after this one
  }
  intptr_t code = d->ended ? d->code : 0;
  QtCloseDialog(handle);
  for (const Message& m : others) PostMessage(m.window, m.message, m.wParam, m.lParam);
  return code;
}

const DialogService kQtDialogService = {QtRun,    QtEnd,        QtSend,         QtControlRect, QtClientSize,
                                        QtResize, QtBusyCursor, QtShowHelpText, QtOpenFile};

}  // namespace

void InstallQtDialogHost() {
  gDialogs = &kQtDialogService;
  InstallQtLaunchService();
}

WindowHandle QtOpenDialog(const DialogTemplate& t, DialogProc procedure, LParam initParam) {
  auto rec = std::make_unique<QtDialogRec>();
  QtDialogRec* d = rec.get();
  d->handle = gNextQtDialog++;
  d->procedure = procedure;
  d->widget = new DialogWidget(d->handle);
  d->widget->setWindowTitle(Text(t.title));
  d->widget->setWindowFlag(Qt::WindowContextHelpButtonHint, t.contextHelp);
  // The template's face names an old system font; the desktop's sans face
  // at the template's size stands in for it.
  QFont font("Liberation Sans");
  font.setStyleHint(QFont::SansSerif);
  font.setPointSize(t.fontPoints);
  d->widget->setFont(font);
  Units u = DialogUnits(font);
  for (int i = 0; i < t.count; ++i)
    if (t.controls[i].kind == ControlKind::Spin) d->spinEdit[t.controls[i].id] = t.controls[i].buddy;
  gQtDialogs.push_back(std::move(rec));
  for (int i = 0; i < t.count; ++i) {
    const ControlTemplate& c = t.controls[i];
    QWidget* w = MakeControl(d, c, u);
    if (!w) continue;
    if (c.kind == ControlKind::Group) TrimUnderFrameAbove(t, i, u, w);
    d->controls[c.id] = w;
    d->kinds[c.id] = c.kind;
  }
  for (int i = 0; i < t.count; ++i) NameControl(d, t, t.controls[i]);
  QRect size = Place(u, 0, 0, t.width, t.height);
  d->widget->setFixedSize(size.width(), size.height());
  procedure(d->handle, WM_INITDIALOG, 0, initParam);
  return d->handle;
}

int QtDispatchDialogMessages() {
  if (gEvents) gEvents->pump();
  std::vector<Message> others;
  int handled = 0;
  Message m;
  while (PeekMessage(&m, true)) {
    QtDialogRec* d = Find(m.window);
    if (d && !d->ended) {
      d->procedure(m.window, m.message, m.wParam, m.lParam);
      ++handled;
    } else {
      others.push_back(m);
    }
  }
  for (const Message& o : others) PostMessage(o.window, o.message, o.wParam, o.lParam);
  return handled;
}

bool QtDialogEnded(WindowHandle handle, intptr_t* code) {
  QtDialogRec* d = Find(handle);
  if (d && code) *code = d->code;
  return d && d->ended;
}

void QtCloseDialog(WindowHandle handle) {
  QtDialogRec* d = Find(handle);
  if (!d) return;
  d->procedure(handle, WM_DESTROY, 0, 0);
  d->widget->hide();
  delete d->widget;
  gQtDialogs.erase(
      std::find_if(gQtDialogs.begin(), gQtDialogs.end(), [handle](auto& r) { return r->handle == handle; }));
}

QWidget* QtDialogWidget(WindowHandle handle) {
  QtDialogRec* d = Find(handle);
  return d ? d->widget : nullptr;
}

QWidget* QtDialogControl(WindowHandle handle, int id) {
  QtDialogRec* d = Find(handle);
  return d ? Control(d, id) : nullptr;
}
