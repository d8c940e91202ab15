// The editing protocol of the configuration edits against the simulated controller: what
// the controller receives for each way of typing and leaving an edit.
#include <QtTest>

#include "GuiTestSupport.h"
#include "ZarnoSimulator.h"

using namespace kalvist;

namespace {

constexpr int kLinkMs = 8000;

// The window connected to a 20-sensor controller (firmware 2.5, window in degrees) with
// the administrator's password accepted and every value read.
class TEditRig {
 public:
  TEditRig() {
    Window.ConnectTo(Simulator.Start(), 1);
    Window.show();
    Window.activateWindow();
  }
  bool Ready() {
    if (!QTest::qWaitFor([&] { return Window.Zarno->IsConnected(); }, kLinkMs)) return false;
    Window.Zarno->EnterPassword(1111);
    return QTest::qWaitFor(
        [&] { return Window.Zarno->AccessLevel() == alAdministrator && Settled(); }, kLinkMs);
  }
  // Every transfer queued so far has been answered.
  bool Settled() { return Window.Zarno->Queue().Count() == 0; }
  int64_t Raw(uint16_t id) const {
    const std::optional<std::vector<uint8_t>> bytes = Simulator.GetObject(id);
    int64_t value = 0;
    for (size_t i = bytes->size(); i-- > 0;) value = value * 256 + (*bytes)[i];
    return value;
  }
  uint64_t Writes(uint16_t id) const { return Count(Simulator.Counters().Writes, id); }
  uint64_t Reads(uint16_t id) const { return Count(Simulator.Counters().Reads, id); }
  // Queues a read behind whatever was queued for `id`; once it has been answered,
  // everything sent before it has arrived.
  bool Synchronised(uint16_t id) {
    const uint64_t before = Reads(id);
    Window.Zarno->ReadValue(id);
    return QTest::qWaitFor([&] { return Reads(id) > before && Settled(); }, kLinkMs);
  }
  static uint64_t Count(const std::map<uint16_t, uint64_t>& counts, uint16_t id) {
    const auto it = counts.find(id);
    return it == counts.end() ? 0 : it->second;
  }

  sim::TZarnoSimulator Simulator;
  TWindowRig Rig;
  TmSetUp& Window = Rig.Start();
};

enum class TFinish { Enter, Escape, Tab, MouseAway, None };

}  // namespace

class EditProtocolTest : public QObject {
  Q_OBJECT

 private slots:
  void TypingAndLeaving_data();
  void TypingAndLeaving();
  void SpinStepWritesAtOnceWithoutTheEditingLook();
  void DispatchWhileEditingEndsTheEditingState();
  void KeysMapToTheVirtualKeysOfTheProtocol();
};

void EditProtocolTest::TypingAndLeaving_data() {
  QTest::addColumn<QString>("edit");
  QTest::addColumn<QString>("typed");
  QTest::addColumn<int>("finish");
  QTest::addColumn<int>("id");
  QTest::addColumn<qint64>("expected");  // -1: the controller keeps its value

  const auto row = [](const char* name, const char* edit, const char* typed, TFinish finish, int id,
                      qint64 expected) {
    QTest::newRow(name) << edit << typed << int(finish) << id << expected;
  };
  row("ramp 23.4 Enter", "seDecreaseRamp", "23.4", TFinish::Enter, 10300, 234);
  row("ramp 123 Enter is limited", "seDecreaseRamp", "123", TFinish::Enter, 10300, 1000);
  row("ramp 123 Tab is written as typed", "seDecreaseRamp", "123", TFinish::Tab, 10300, 1230);
  row("ramp 123 mouse away", "seDecreaseRamp", "123", TFinish::MouseAway, 10300, 1230);
  row("CAN address Esc writes nothing", "seCanAddr", "99", TFinish::Escape, 10306, -1);
  row("CAN address 200 Enter", "seCanAddr", "200", TFinish::Enter, 10306, 127);
  row("typing alone writes nothing", "seCanAddr", "99", TFinish::None, 10306, -1);
  row("attenuation 1 Enter", "seAttenuation", "1", TFinish::Enter, 10297, 1000);
  row("window delay 2.3 degrees", "seWindowDelay", "2.3", TFinish::Enter, 10293, 23);
  row("stop limit 29.8", "seImmediateStopLimit", "29.8", TFinish::Enter, 10304, 76);
  row("gain 250 Enter", "seGain1", "250", TFinish::Enter, 11043, 250);
  row("gain 350 Enter is limited", "seGain1", "350", TFinish::Enter, 11043, 300);
  row("gain 350 Tab is limited too", "seGain2", "350", TFinish::Tab, 11044, 300);
}

void EditProtocolTest::TypingAndLeaving() {
  QFETCH(QString, edit);
  QFETCH(QString, typed);
  QFETCH(int, finish);
  QFETCH(int, id);
  QFETCH(qint64, expected);
  TEditRig rig;
  QVERIFY(rig.Ready());
  TmSetUp& w = rig.Window;
  auto* target = w.findChild<TBoundSpinEdit*>(edit);
  QVERIFY(target != nullptr);
  for (QWidget* page : {w.tsParams, w.tsGains, w.tsOptions, w.tsCAN}) {
    if (page->isAncestorOf(target)) w.PCTRL->setCurrentWidget(page);
  }
  const int64_t before = rig.Raw(static_cast<uint16_t>(id));
  const uint64_t writesBefore = rig.Writes(static_cast<uint16_t>(id));

  target->setFocus();
  QTRY_VERIFY(target->hasFocus());
  QTest::keyClicks(target, typed);
  QVERIFY(w.IsEditing(*target));
  switch (static_cast<TFinish>(finish)) {
    case TFinish::Enter:
      QTest::keyClick(target, Qt::Key_Return);
      break;
    case TFinish::Escape:
      QTest::keyClick(target, Qt::Key_Escape);
      break;
    case TFinish::Tab:
      QTest::keyClick(target, Qt::Key_Tab);
      QVERIFY(!target->hasFocus());
      break;
    case TFinish::MouseAway: {
      QWidget* elsewhere = w.seTimingReductionGain;
      QTest::mouseClick(elsewhere, Qt::LeftButton);
      QTRY_VERIFY(!target->hasFocus());
      break;
    }
    case TFinish::None:
      break;
  }

  if (static_cast<TFinish>(finish) != TFinish::None) QVERIFY(!w.IsEditing(*target));
  QVERIFY(rig.Synchronised(static_cast<uint16_t>(id)));
  if (expected < 0) {
    QCOMPARE(rig.Writes(static_cast<uint16_t>(id)), writesBefore);
    QCOMPARE(rig.Raw(static_cast<uint16_t>(id)), before);
  } else {
    QCOMPARE(rig.Raw(static_cast<uint16_t>(id)), expected);
  }
  if (static_cast<TFinish>(finish) == TFinish::Escape) {
    QCOMPARE(target->value(), double(before));  // the object's value shown again
  }
}

void EditProtocolTest::SpinStepWritesAtOnceWithoutTheEditingLook() {
  TEditRig rig;
  QVERIFY(rig.Ready());
  TmSetUp& w = rig.Window;
  w.PCTRL->setCurrentWidget(w.tsCAN);
  const int64_t before = rig.Raw(idCANAddress);
  w.seCanAddr->setFocus();
  QTRY_VERIFY(w.seCanAddr->hasFocus());
  QTest::keyClick(w.seCanAddr, Qt::Key_Up);
  QVERIFY(!w.IsEditing(*w.seCanAddr));
  QTRY_COMPARE_WITH_TIMEOUT(rig.Raw(idCANAddress), before + 1, kLinkMs);
}

void EditProtocolTest::DispatchWhileEditingEndsTheEditingState() {
  TEditRig rig;
  const uint8_t limit[] = {76};  // 29.8 %
  rig.Simulator.SetObject(idIgnitionReductionLimit, limit);
  QVERIFY(rig.Ready());
  TmSetUp& w = rig.Window;
  w.PCTRL->setCurrentWidget(w.tsOptions);
  w.seDecreaseRamp->setFocus();
  QTRY_VERIFY(w.seDecreaseRamp->hasFocus());
  QTest::keyClicks(w.seDecreaseRamp, "55");
  QVERIFY(w.IsEditing(*w.seDecreaseRamp));
  // A read of the object arrives while the user types: it sets a colour, which ends the
  // editing state and shows the controller's value.
  w.Zarno->ObjectChanged(idDecreaseRamp);
  QVERIFY(!w.IsEditing(*w.seDecreaseRamp));
  QCOMPARE(w.seDecreaseRamp->value(), rig.Raw(idDecreaseRamp) / 10.0);

  // One without a colour (an output limit) keeps the state but shows the value.
  w.seIgnitionReductionLimit->setFocus();
  QTRY_VERIFY(w.seIgnitionReductionLimit->hasFocus());
  QTest::keyClicks(w.seIgnitionReductionLimit, "7");
  w.Zarno->ObjectChanged(idIgnitionReductionLimit);
  QVERIFY(w.IsEditing(*w.seIgnitionReductionLimit));
  QCOMPARE(w.seIgnitionReductionLimit->value(), 29.8);
}

void EditProtocolTest::KeysMapToTheVirtualKeysOfTheProtocol() {
  struct TCase {
    Qt::Key Key;
    Qt::KeyboardModifiers Modifiers;
    int VirtualKey;
  };
  const TCase cases[] = {
      {Qt::Key_0, Qt::NoModifier, 48},           {Qt::Key_9, Qt::NoModifier, 57},
      {Qt::Key_0, Qt::KeypadModifier, 96},       {Qt::Key_9, Qt::KeypadModifier, 105},
      {Qt::Key_Period, Qt::KeypadModifier, 110}, {Qt::Key_Comma, Qt::KeypadModifier, 110},
      {Qt::Key_Period, Qt::NoModifier, 190},     {Qt::Key_Backspace, Qt::NoModifier, 8},
      {Qt::Key_Delete, Qt::NoModifier, 46},      {Qt::Key_Clear, Qt::NoModifier, 12},
      {Qt::Key_Print, Qt::NoModifier, 44},       {Qt::Key_Return, Qt::NoModifier, 13},
      {Qt::Key_Enter, Qt::KeypadModifier, 13},   {Qt::Key_Escape, Qt::NoModifier, 27},
      {Qt::Key_Up, Qt::NoModifier, 0},
  };
  for (const TCase& c : cases) {
    const QKeyEvent event(QEvent::KeyPress, c.Key, c.Modifiers);
    QCOMPARE(VirtualKey(event), c.VirtualKey);
  }
}

QTEST_MAIN(EditProtocolTest)
#include "EditProtocolTest.moc"
