// The enhancer window's components apart from Win32: the tray icon's click
// logic with a fake shell and timers, the simple timer's states, the bitmap
// button's frames and the knob's arithmetic.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "window/bit_button_model.h"
#include "window/knob_model.h"
#include "window/simple_timer.h"
#include "window/tray_logic.h"

namespace brindle::window {
namespace {

// System timers by id; a test fires them by hand.
struct FakeTimers : TimerBackend {
  std::map<uint32_t, uint32_t> set;  // id -> period
  bool refuse = false;
  int kills = 0;
  bool SetTimer(uint32_t id, uint32_t ms) override {
    if (refuse) return false;
    set[id] = ms;
    return true;
  }
  void KillTimer(uint32_t id) override {
    ++kills;
    set.erase(id);
  }
  // One tick of every system timer that is set now.
  void FireAll() {
    auto now = set;
    for (auto& [id, ms] : now)
      if (set.count(id)) SimpleTimer::DispatchTimer(id);
  }
};

struct FakeShell : TrayShell {
  std::vector<std::string> log;
  std::vector<TrayIconRecord> records;
  int inTray = 0;
  Point cursor{};
  bool NotifyIcon(TrayOp op, const TrayIconRecord& r) override {
    records.push_back(r);
    switch (op) {
      case TrayOp::add: if (inTray) return false; inTray = 1; log.push_back("add"); return true;
      case TrayOp::remove: if (!inTray) return false; inTray = 0; log.push_back("delete"); return true;
      case TrayOp::modify: return inTray != 0;
      case TrayOp::setVersion: return true;
    }
    return false;
  }
  uint32_t DoubleClickTime() override { return 500; }
  void PopupAtCursor() override { log.push_back("menu"); }
  void ClickDefaultMenuItem() override { log.push_back("default item"); }
  Point CursorPos() override { return cursor; }
};

constexpr uint32_t kMove = 0x200, kLDown = 0x201, kLUp = 0x202, kLDbl = 0x203, kRDown = 0x204,
                   kRUp = 0x205, kBalloonClick = 0x405;

struct TrayFixture : ::testing::Test {
  FakeTimers timers;
  FakeShell shell;
  TrayIconLogic tray{shell, timers};
  std::vector<std::string> events;
  void Record(bool withDblClick) {
    tray.events.onClick = [this] { events.push_back("click"); };
    if (withDblClick) tray.events.onDblClick = [this] { events.push_back("dblclick"); };
    tray.events.onMouseDown = [this](MouseButton b, uint32_t, Point) {
      events.push_back(b == MouseButton::left ? "down" : "rdown");
    };
    tray.events.onMouseUp = [this](MouseButton b, uint32_t, Point) {
      events.push_back(b == MouseButton::left ? "up" : "rup");
    };
    tray.events.onBalloonHintClick = [this] { events.push_back("balloon"); };
  }
  void Send(std::initializer_list<uint32_t> what) {
    for (uint32_t w : what) ASSERT_TRUE(TrayIconLogic::Dispatch(tray.Id(), w, {5, 5}, 0));
  }
};

TEST_F(TrayFixture, WithoutDoubleClickHandlerEveryPressClicksAtOnce) {
  Record(false);
  Send({kLDown, kLUp, kLDbl, kLUp});
  EXPECT_EQ(events, (std::vector<std::string>{"down", "click", "up", "up"}));
  EXPECT_TRUE(timers.set.empty()) << "no click timer without a double-click handler";
}

TEST_F(TrayFixture, WithDoubleClickHandlerADoubleClickNeverGivesAClick) {
  Record(true);
  Send({kLDown, kLUp});
  EXPECT_EQ(events, (std::vector<std::string>{"down", "up"}));
  ASSERT_EQ(timers.set.size(), 1u);
  EXPECT_EQ(timers.set.begin()->second, 500u) << "the system's double-click time";
  timers.FireAll();
  EXPECT_EQ(events.back(), "click") << "a single click comes after the double-click time";
  EXPECT_TRUE(timers.set.empty());

  events.clear();
  Send({kLDown, kLUp, kLDbl, kLUp});
  timers.FireAll();
  timers.FireAll();
  EXPECT_EQ(events, (std::vector<std::string>{"down", "up", "dblclick", "up"}));
}

TEST_F(TrayFixture, DisabledSilencesTheMouseButNotBalloons) {
  Record(false);
  tray.hasPopupMenu = true;
  tray.enabled = false;
  Send({kLDown, kLUp, kRDown, kRUp, kMove, kBalloonClick});
  EXPECT_EQ(events, (std::vector<std::string>{"balloon"}));
  EXPECT_EQ(std::count(shell.log.begin(), shell.log.end(), "menu"), 0);
}

TEST_F(TrayFixture, RightButtonMenuOpensOnTheDownBetweenDownAndUp) {
  Record(false);
  tray.hasPopupMenu = true;
  tray.events.onMouseDown = [this](MouseButton, uint32_t, Point) { shell.log.push_back("rdown"); };
  tray.events.onMouseUp = [this](MouseButton, uint32_t, Point) { shell.log.push_back("rup"); };
  Send({kRDown, kRUp});
  EXPECT_EQ(shell.log, (std::vector<std::string>{"rdown", "menu", "rup"}));
  shell.log.clear();
  Send({kLDbl});
  EXPECT_EQ(shell.log, (std::vector<std::string>{"default item"}));
}

TEST_F(TrayFixture, TipIsCutTo127BytesAndANul) {
  tray.SetHint(std::string(200, 'h'));
  tray.SetIconVisible(true);
  const auto& tip = shell.records.back().tip;
  EXPECT_EQ(std::string(tip.data()), std::string(127, 'h'));
  EXPECT_EQ(tip[127], '\0');
  tray.SetShowHint(false);
  EXPECT_EQ(std::string(shell.records.back().tip.data()), "");
  EXPECT_EQ(TrayTip("", true)[0], '\0');
  const auto& r = shell.records.back();
  EXPECT_EQ(r.flags, 7u);
  EXPECT_EQ(r.callbackMessage, 0x800u);
}

TEST_F(TrayFixture, SmallIdsAndUnknownIdsIgnored) {
  EXPECT_GE(tray.Id(), 1u);
  EXPECT_LT(tray.Id(), 65536u) << "a small number, not an address";
  EXPECT_FALSE(TrayIconLogic::Dispatch(0, kLUp, {}, 0));
  EXPECT_FALSE(TrayIconLogic::Dispatch(uint64_t{0x7ff612345678}, kLUp, {}, 0));
  uint32_t goneId;
  {
    TrayIconLogic other(shell, timers);
    goneId = other.Id();
    EXPECT_NE(goneId, tray.Id());
    EXPECT_TRUE(TrayIconLogic::Dispatch(goneId, kLUp, {}, 0));
  }
  EXPECT_FALSE(TrayIconLogic::Dispatch(goneId, kLDown, {}, 0)) << "a late message for a freed icon";
  TrayIconLogic newer(shell, timers);
  EXPECT_NE(newer.Id(), goneId) << "a freed icon's id is not handed to the next one";
  EXPECT_FALSE(TrayIconLogic::Dispatch(goneId, kLDown, {}, 0));
}

TEST_F(TrayFixture, TaskbarRestartPutsVisibleIconsBack) {
  tray.SetIconVisible(true);
  tray.SetIconVisible(true);  // twice: one icon
  EXPECT_EQ(shell.log, (std::vector<std::string>{"add"}));
  shell.inTray = 0;  // the shell forgot it
  TrayIconLogic::TaskbarCreatedForAll();
  EXPECT_EQ(shell.inTray, 1);
  tray.SetIconVisible(false);
  TrayIconLogic::TaskbarCreatedForAll();
  EXPECT_EQ(shell.inTray, 0) << "a hidden icon stays out";
}

TEST_F(TrayFixture, EnterAndExit) {
  std::vector<std::string> seen;
  tray.events.onMouseEnter = [&] { seen.push_back("enter"); };
  tray.events.onMouseExit = [&] { seen.push_back("exit"); };
  tray.SetWantEnterExitEvents(true);
  shell.cursor = {5, 5};
  Send({kMove});
  timers.FireAll();  // the cursor has not moved
  shell.cursor = {6, 5};
  timers.FireAll();
  timers.FireAll();
  Send({kMove});
  EXPECT_EQ(seen, (std::vector<std::string>{"enter", "exit", "enter"}));
}

TEST(TrayCycle, IndexRules) {
  EXPECT_EQ(ClampIconIndex(7, 3), 2);
  EXPECT_EQ(ClampIconIndex(1, 3), 1);
  EXPECT_EQ(ClampIconIndex(4, 0), 0);
  std::vector<int32_t> next;
  int32_t i = 0;
  for (int k = 0; k < 4; ++k) next.push_back(i = NextCycleIndex(i, 3));
  EXPECT_EQ(next, (std::vector<int32_t>{1, 2, 0, 1}));
}

TEST(SimpleTimerStates, StartStopPauseAndResume) {
  FakeTimers sys;
  int ticks = 0;
  SimpleTimer t(sys, 1000, [&](SimpleTimer&) { ++ticks; });
  EXPECT_FALSE(t.Running());
  EXPECT_TRUE(sys.set.empty()) << "a new timer never runs";
  EXPECT_TRUE(t.Start());
  EXPECT_EQ(sys.set.at(t.TimerId()), 1000u);
  sys.FireAll();
  EXPECT_EQ(ticks, 1);

  const int kills = sys.kills;
  t.SetIntervalMs(1000);  // the same: nothing
  EXPECT_EQ(sys.kills, kills);
  t.SetIntervalMs(250);  // restarts at once with the new period
  EXPECT_EQ(sys.set.at(t.TimerId()), 250u);

  t.SetIntervalMs(0);  // paused: still counted as running
  EXPECT_TRUE(t.Running());
  EXPECT_TRUE(sys.set.empty());
  t.SetIntervalMs(500);
  EXPECT_EQ(sys.set.at(t.TimerId()), 500u);

  t.SetOnElapsed({});  // an empty handler pauses too
  EXPECT_TRUE(t.Running());
  EXPECT_TRUE(sys.set.empty());

  t.Stop();
  EXPECT_FALSE(t.Running());
  t.SetIntervalMs(0);
  EXPECT_FALSE(t.Start()) << "a 0 interval cannot start";
  EXPECT_FALSE(t.Running());
}

TEST(SimpleTimerStates, RefusedTimerStaysStopped) {
  FakeTimers sys;
  SimpleTimer t(sys, 100);
  sys.refuse = true;
  EXPECT_FALSE(t.Start());
  EXPECT_FALSE(t.Running());
}

TEST(SimpleTimerStates, TimersAreIndependentAndLateTicksAreIgnored) {
  FakeTimers sys;
  const size_t before = SimpleTimer::LiveTimers();
  int a = 0, b = 0;
  auto ta = std::make_unique<SimpleTimer>(sys, 100, [&](SimpleTimer&) { ++a; });
  SimpleTimer tb(sys, 300, [&](SimpleTimer&) { ++b; });
  EXPECT_EQ(SimpleTimer::LiveTimers(), before + 2);
  ta->Start();
  tb.Start();
  EXPECT_NE(ta->TimerId(), tb.TimerId());
  const uint32_t goneId = ta->TimerId();
  ta.reset();  // killed before it goes
  EXPECT_EQ(sys.set.count(goneId), 0u);
  EXPECT_FALSE(SimpleTimer::DispatchTimer(goneId));
  sys.FireAll();
  EXPECT_EQ(a, 0);
  EXPECT_EQ(b, 1);
  EXPECT_TRUE(tb.Running());
  EXPECT_EQ(SimpleTimer::LiveTimers(), before + 1);
}

TEST(BitButton, StatesAndFrames) {
  BitButtonModel b;
  struct Step { void (BitButtonModel::*act)(); ButtonState state; int32_t frame; } steps[] = {
      {&BitButtonModel::MouseEnter, ButtonState::hot, 1},
      {&BitButtonModel::LeftDown, ButtonState::pressed, 2},
      {&BitButtonModel::DoubleClick, ButtonState::pressed, 2},
      {&BitButtonModel::LeftUp, ButtonState::hot, 1},
      {&BitButtonModel::MouseLeave, ButtonState::normal, 0},
      {&BitButtonModel::LeftDown, ButtonState::pressed, 2},
      {&BitButtonModel::MouseLeave, ButtonState::normal, 0},  // leaving while pressed
      {&BitButtonModel::LeftUp, ButtonState::hot, 1},         // released outside: hot stays
  };
  for (const auto& s : steps) {
    (b.*s.act)();
    EXPECT_EQ(b.State(), s.state);
    EXPECT_EQ(b.FrameIndex(), s.frame);
  }
  EXPECT_EQ(b.StripOrigin(0, 0, 49), (Point{-49, 0}));
  b.LeftDown();
  EXPECT_EQ(b.StripOrigin(30, 18, 49), (Point{-128, -18}));
}

TEST(Knob, PositionsAndAngles) {
  KnobModel k;
  int changes = 0;
  k.onChange = [&] { ++changes; };
  EXPECT_FLOAT_EQ(k.Scale(), 3.0f);
  k.SetPosition(50);
  EXPECT_EQ(k.PointerAngle(), 90);
  EXPECT_EQ(k.ValueAt(120), 40);
  EXPECT_EQ(k.ValueAt(240), 0);
  EXPECT_EQ(k.ValueAt(-60), 100);
  k.SetPosition(150);
  EXPECT_EQ(k.Position(), 100);
  EXPECT_EQ(k.PointerAngle(), -60);
  const int c = changes;
  k.SetPosition(150);  // the same request again: nothing
  EXPECT_EQ(changes, c);
  k.SetPosition(100);  // a new request with the same outcome fires
  EXPECT_EQ(changes, c + 1);
}

TEST(Knob, ReversedAndEmptyRanges) {
  KnobModel k;
  k.SetMin(100);
  k.SetMax(0);
  EXPECT_FLOAT_EQ(k.Scale(), -3.0f);
  k.SetPosition(150);
  EXPECT_EQ(k.Position(), 100);
  EXPECT_EQ(k.PointerAngle(), 240);
  k.SetPosition(-10);
  EXPECT_EQ(k.Position(), 0);
  EXPECT_EQ(k.PointerAngle(), -60);

  KnobModel flat;
  flat.SetMax(0);
  EXPECT_EQ(flat.Scale(), 0.0f);
  EXPECT_EQ(flat.PointerAngle(), 240);
  EXPECT_EQ(flat.ValueAt(90), 0);
}

TEST(Knob, MouseAnglesAndDeadZones) {
  struct Case { int32_t x, y, angle; } cases[] = {
      {20, 0, 90},     // straight above
      {20, 40, 240},   // straight below: the minimum
      {40, 20, 0},     // right
      {0, 20, 180},    // left
      {19, 39, 240},   // below, left of the centre line: minimum
      {21, 39, -60},   // below, right of it: maximum
      {0, 0, 135},
      {40, 40, -45},
  };
  for (const auto& c : cases) EXPECT_EQ(KnobModel::AngleFromMouse(c.x, c.y, 40, 40), c.angle) << c.x << "," << c.y;
}

TEST(Knob, DragsWheelAndKeys) {
  KnobModel k;
  std::vector<int32_t> labels;
  k.onLabel = [&](int32_t v) { labels.push_back(v); };
  k.LeftDown(20, 1, 40, 40);  // the top: 50
  EXPECT_TRUE(k.Dragging());
  EXPECT_EQ(k.Position(), 50);
  k.MouseMove(21, 39, 40, 40);  // into the dead zone right of centre
  EXPECT_EQ(k.Position(), 100);
  k.LeftUp();
  EXPECT_FALSE(k.Dragging());
  k.LeftDown(0, 0, 40, 40);  // a corner lies outside the ellipse
  EXPECT_FALSE(k.Dragging());
  EXPECT_EQ(k.Position(), 100);

  k.SetPosition(50);
  k.Wheel(120);
  EXPECT_EQ(k.Position(), 52);
  k.Wheel(-120);
  EXPECT_EQ(k.Position(), 50);
  struct KeyCase { uint32_t vk; int32_t pos; } keys[] = {
      {33, 60}, {34, 50}, {38, 51}, {39, 52}, {37, 51}, {40, 50}, {35, 100}, {36, 0}, {65, 0},
  };
  for (const auto& kc : keys) {
    k.Key(kc.vk);
    EXPECT_EQ(k.Position(), kc.pos) << kc.vk;
  }
}

TEST(Knob, SpringLoadedReturnsIntoTheRange) {
  KnobModel k;
  k.SetMin(10);
  k.SetSpringLoaded(true);
  EXPECT_EQ(k.Position(), 10);
  k.LeftDown(20, 1, 40, 40);
  EXPECT_EQ(k.Position(), 55);
  k.LeftUp();
  EXPECT_EQ(k.Position(), 10);
}

TEST(Knob, StaysSquareAndPointerLine) {
  KnobModel k;
  EXPECT_EQ(k.Resize(40, 40), 40);
  EXPECT_EQ(k.Resize(60, 50), 60);
  EXPECT_EQ(k.Resize(60, 30), 30);
  EXPECT_EQ(k.Radius(), 15);
  EXPECT_EQ(k.Resize(40, 40), 40);
  k.SetPosition(50);  // pointing up
  Point a, b;
  k.PointerLine(a, b);
  EXPECT_EQ(a, (Point{20, 14}));
  EXPECT_EQ(b, (Point{20, 7}));
  EXPECT_EQ(KnobModel::LabelText(42, "Gain"), "42 Gain");
}

}  // namespace
}  // namespace brindle::window
