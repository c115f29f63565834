// The player's frame over Qt on the offscreen platform: the menu bar built
// from a table, menu commands, sizes and placement, and what each becomes
// in the message queue.
#include <QtGui/QAction>
#include <QtGui/QWindow>
#include <QtWidgets/QApplication>
#include <QtWidgets/QMainWindow>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>
#include <algorithm>
#include <vector>

#include "platform/frame_window.h"
#include "platform/window.h"
#include "tests/qt/qt_test_support.h"

namespace {

using QtFrameWindowTest = QtHostTest;

constexpr MenuTemplate kMenu[] = {
    {MenuKind::Popup, 0, "&File"},
    {MenuKind::Item, 11, "&Pause"},
    {MenuKind::Popup, 0, "&Memory"},
    {MenuKind::Radio, 21, "Use &Video Memory"},
    {MenuKind::Radio, 22, "Use &System Memory"},
    {MenuKind::End, 0, nullptr},
    {MenuKind::Separator, 0, nullptr},
    {MenuKind::Item, 12, "E&xit"},
    {MenuKind::End, 0, nullptr},
    {MenuKind::Popup, 0, "&Help"},
    {MenuKind::Item, 31, "&About Prismora..."},
    {MenuKind::End, 0, nullptr},
};
constexpr int kMenuCount = int(sizeof kMenu / sizeof kMenu[0]);

QMainWindow* Frame() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* frame = qobject_cast<QMainWindow*>(w)) return frame;
  return nullptr;
}

// The menu's entries as "title>text" lines, separators as "-".
void Collect(QMenu* menu, const QString& path, std::vector<std::string>* out) {
  for (QAction* a : menu->actions()) {
    if (a->isSeparator()) {
      out->push_back("-");
    } else if (a->menu()) {
      Collect(a->menu(), path + a->text() + ">", out);
    } else {
      out->push_back((path + a->text()).toStdString());
    }
  }
}

QAction* ActionNamed(QMainWindow* frame, const char* text) {
  for (QAction* a : frame->findChildren<QAction*>())
    if (a->text() == QString::fromUtf8(text)) return a;
  return nullptr;
}

std::vector<Message> Matching(const std::vector<Message>& all, uint32_t message) {
  std::vector<Message> out;
  std::copy_if(all.begin(), all.end(), std::back_inserter(out),
               [message](const Message& m) { return m.message == message; });
  return out;
}

}  // namespace

TEST_F(QtFrameWindowTest, MenuBarFollowsTheTableAndPostsCommands) {
  WindowHandle window = gFrameWindows->create("Prismora", kDefaultPosition, 0, 320, 240, kMenu, kMenuCount);
  ASSERT_NE(window, 0u);
  QMainWindow* frame = Frame();
  ASSERT_NE(frame, nullptr);
  std::vector<std::string> entries;
  for (QAction* top : frame->menuBar()->actions()) Collect(top->menu(), top->text() + ">", &entries);
  std::vector<std::string> want = {
      "&File>&Pause", "&File>&Memory>Use &Video Memory", "&File>&Memory>Use &System Memory", "-",
      "&File>E&xit",  "&Help>&About Prismora..."};
  EXPECT_EQ(entries, want);

  std::vector<Message> first = TakeMessages();
  auto minmax = Matching(first, WM_GETMINMAXINFO);
  ASSERT_EQ(minmax.size(), 1u);
  EXPECT_GE(minmax[0].lParam, 112);

  gFrameWindows->setMenuCheck(window, 11, true);
  gFrameWindows->setMenuCheck(window, 22, true);
  EXPECT_TRUE(ActionNamed(frame, "&Pause")->isChecked());
  EXPECT_TRUE(ActionNamed(frame, "Use &System Memory")->isChecked());
  EXPECT_FALSE(ActionNamed(frame, "Use &Video Memory")->isChecked());
  EXPECT_FALSE(ActionNamed(frame, "E&xit")->isCheckable()) << "a plain command has no mark";

  ActionNamed(frame, "E&xit")->trigger();
  ActionNamed(frame, "Use &Video Memory")->trigger();
  auto commands = Matching(TakeMessages(), WM_COMMAND);
  ASSERT_EQ(commands.size(), 2u);
  EXPECT_EQ(commands[0].wParam, 12u);
  EXPECT_EQ(commands[1].wParam, 21u);
  EXPECT_EQ(commands[0].window, window);

  // The close button asks; the window stays until the program destroys it.
  frame->close();
  EXPECT_EQ(Matching(TakeMessages(), WM_CLOSE).size(), 1u);
  gWindows->destroy(window);
  EXPECT_EQ(Frame(), nullptr);
}

TEST_F(QtFrameWindowTest, SizesPlacementAndTheEdgeDragged) {
  WindowHandle window = gFrameWindows->create("Prismora", 100, 80, 400, 330, kMenu, kMenuCount);
  ASSERT_NE(window, 0u);
  gFrameWindows->show(window, kShowNormal);
  PumpAfterNextMillisecond();
  TakeMessages();
  QMainWindow* frame = Frame();
  ASSERT_NE(frame, nullptr);

  // The program's own resize: the client gets exactly what was asked, with
  // no edge reported.
  gFrameWindows->setClientSize(window, 400, 300);
  PumpAfterNextMillisecond();
  uint32_t w = 0, h = 0;
  ASSERT_TRUE(gWindows->clientSize(window, &w, &h));
  EXPECT_EQ(w, 400u);
  EXPECT_EQ(h, 300u);
  std::vector<Message> own = TakeMessages();
  EXPECT_TRUE(Matching(own, WM_SIZING).empty());
  auto sizes = Matching(own, WM_SIZE);
  ASSERT_FALSE(sizes.empty());
  EXPECT_EQ(sizes.back().wParam, WParam(SIZE_RESTORED));
  EXPECT_EQ(sizes.back().lParam, LParam(400 | (300 << 16)));

  // The user's: only the width grew with the left edge still: the right
  // edge; only the height: the bottom edge.
  const struct {
    int dw, dh;
    uint32_t edge;
  } drags[] = {{60, 0, WMSZ_RIGHT}, {0, 40, WMSZ_BOTTOM}, {30, 30, WMSZ_BOTTOMRIGHT}};
  for (const auto& d : drags) {
    frame->resize(frame->width() + d.dw, frame->height() + d.dh);
    PumpAfterNextMillisecond();
    std::vector<Message> user = TakeMessages();
    auto sizing = Matching(user, WM_SIZING);
    ASSERT_EQ(sizing.size(), 1u) << d.edge;
    EXPECT_EQ(sizing[0].wParam, d.edge);
    EXPECT_FALSE(Matching(user, WM_SIZE).empty()) << d.edge;
  }

  FramePlacement placement;
  ASSERT_TRUE(gFrameWindows->getPlacement(window, &placement));
  EXPECT_EQ(placement.width, frame->width());
  EXPECT_EQ(placement.height, frame->height());
  EXPECT_EQ(placement.showState, kShowNormal);
  FramePlacement moved{150, 120, 500, 420, kShowNormal};
  gFrameWindows->setPlacement(window, moved);
  PumpAfterNextMillisecond();
  FramePlacement back;
  ASSERT_TRUE(gFrameWindows->getPlacement(window, &back));
  EXPECT_EQ(back.left, 150);
  EXPECT_EQ(back.top, 120);
  EXPECT_EQ(back.width, 500);
  EXPECT_EQ(back.height, 420);

  gFrameWindows->setTopmost(window, false);
  EXPECT_FALSE(frame->windowHandle()->flags() & Qt::WindowStaysOnTopHint);
  gFrameWindows->setTopmost(window, true);
  EXPECT_TRUE(frame->windowHandle()->flags() & Qt::WindowStaysOnTopHint);
  EXPECT_TRUE(frame->isVisible()) << "turning topmost on does not hide the window";

  gWindows->destroy(window);
  EXPECT_FALSE(gFrameWindows->getPlacement(window, &back)) << "a destroyed window has no placement";
}

// The player's picture sits inside the frame: when the frame's top level
// cannot be seen (hidden, or minimised by a window manager), neither can the
// picture, and the player is told so.
TEST_F(QtFrameWindowTest, HidingTheFramePostsShowWindowForThePicture) {
  WindowHandle window = gFrameWindows->create("Prismora", kDefaultPosition, 0, 320, 240, kMenu, kMenuCount);
  ASSERT_NE(window, 0u);
  gFrameWindows->show(window, kShowNormal);
  QMainWindow* frame = Frame();
  ASSERT_NE(frame, nullptr);
  PumpAfterNextMillisecond();
  EXPECT_TRUE(Matching(TakeMessages(), WM_SHOWWINDOW).empty()) << "shown from the start";
  for (bool show : {false, true, false, true}) {
    show ? frame->show() : frame->hide();
    PumpAfterNextMillisecond();
    std::vector<Message> shows = Matching(TakeMessages(), WM_SHOWWINDOW);
    ASSERT_EQ(shows.size(), 1u) << (show ? "shown" : "hidden");
    EXPECT_EQ(shows[0].window, window);
    EXPECT_EQ(shows[0].wParam, WParam(show ? 1 : 0));
  }
  gWindows->destroy(window);
}
