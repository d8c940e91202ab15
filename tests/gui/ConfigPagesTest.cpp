// The configuration pages offline: the dispatch, the firing order and the two "Default"
// buttons, the filter lists, the window unit with its conversion dialog, and the
// visibility rules (offline and against the simulator).
#include <QtTest>

#include "GuiTestSupport.h"
#include "ZarnoSimulator.h"
#include "dlgConvertWndPars.h"

using namespace kalvist;

namespace {

constexpr int kLinkMs = 8000;

// Offline with the given hardware kind (0 or 1) and firmware version.
TmSetUp& StartOffline(TWindowRig& rig, int mode, int version) {
  TmSetUp& w = rig.Start();
  if (w.Zarno->ZarnoMode() != mode) w.actTwoSensorsMode->trigger();
  w.SelectOfflineVersion(version);
  return w;
}

int64_t Raw(TmSetUp& w, uint16_t id) {
  return w.Zarno->GetValue(id)->AsInt64();
}

// Answers every message box Yes and records it; the conversion dialog per `convert`.
void AnswerYes(TWindowRig& rig) {
  rig.Runner.Answer = [](QDialog&) { return int(QMessageBox::Yes); };
}

struct TSeen {
  bool Shown;
  bool Enabled;
};

TSeen SeenOf(TmSetUp& w, QWidget* control) {
  const int tab = w.PCTRL->indexOf(control);
  const bool shown = tab >= 0 ? w.PCTRL->isTabVisible(tab) : !control->isHidden();
  return {shown, control->isEnabled()};
}

// "1110" style: shown and enabled of each control, in the order of `controls`.
QString Picture(TmSetUp& w, const std::vector<QWidget*>& controls) {
  QString text;
  for (QWidget* control : controls) {
    const TSeen seen = SeenOf(w, control);
    text += QString(seen.Shown ? "S" : "-") + (seen.Enabled ? "E" : "-") + " ";
  }
  return text.trimmed();
}

std::vector<QWidget*> Watched(TmSetUp& w) {
  return {w.tsMode,       w.tsParams,
          w.tsGains,      w.tsFirings,
          w.tsOptions,    w.tsCAN,
          w.gbDiagnose,   w.gbSound,
          w.gbSensors,    w.gbSetpointsIDName,
          w.gbEngineType, w.chEnableKnockLEDLatch2};
}

}  // namespace

class ConfigPagesTest : public QObject {
  Q_OBJECT

 private slots:
  void UnknownObjectBeepsAndIgnoredOnesDoNot();
  void ChannelMaskBeyondTwentyChannelsIsWrittenBackCut();
  void ControllerValuesOutOfRangeAreShownAndMarked();
  void SwitchWordSetsEveryControl();
  void LedLatchBoxesFollowEachOther();
  void UncheckingAChannelWritesTheMaskAndDisablesItsEdits();
  void CanModeAndDiagnosticsEnableTheirControls();
  void NewerParameterSetOfflineResetsTheGains();
  void FiringOrderNeverDecreases();
  void DefaultButtons_data();
  void DefaultButtons();
  void StrokeChangeMarksAnglesAboveTheCycle();
  void FrequencyListsFollowTheRange();
  void WindowUnitChangeOfflineConverts_data();
  void WindowUnitChangeOfflineConverts();
  void ConversionDialogClampsAfterConfirmation();
  void OfflineVisibility_data();
  void OfflineVisibility();
  void ConnectedVisibility_data();
  void ConnectedVisibility();
};

void ConfigPagesTest::UnknownObjectBeepsAndIgnoredOnesDoNot() {
  TWindowRig rig;
  TmSetUp& w = rig.Start();
  int beeps = 0;
  w.Beep = [&] { ++beeps; };
  for (uint16_t ignored : {13875, 13877, 13878, 14563, 24469}) w.ZarnoObjectChanged(ignored);
  QCOMPARE(beeps, 0);
  w.ZarnoObjectChanged(12345);
  w.ZarnoObjectChanged(10342);
  QCOMPARE(beeps, 2);
}

void ConfigPagesTest::ChannelMaskBeyondTwentyChannelsIsWrittenBackCut() {
  TWindowRig rig;
  TmSetUp& w = StartOffline(rig, 0, 25);
  w.Zarno->SetValue(idUsedSensors, TValue(0x5));  // channels 1 and 3 only
  w.ZarnoObjectChanged(idUsedSensors);
  QCOMPARE(w.ChannelMask(), 0x5u);
  QVERIFY(!w.USensor[1]->Checked());
  w.Zarno->SetValue(idUsedSensors, TValue(2097151));  // bits 0 to 20
  w.ZarnoObjectChanged(idUsedSensors);
  QCOMPARE(w.ChannelMask(), 0xFFFFFu);
  QCOMPARE(Raw(w, idUsedSensors), 1048575);
}

void ConfigPagesTest::ControllerValuesOutOfRangeAreShownAndMarked() {
  TWindowRig rig;
  TmSetUp& w = StartOffline(rig, 0, 25);
  using L = TBoundSpinEdit::TLook;
  struct TCase {
    TBoundSpinEdit* Edit;
    int64_t Raw;
    double Shown;
    L Look;
  };
  const TCase cases[] = {
      {w.seAttenuation, 1500, 1.5, L::Marked},
      {w.seAttenuation, 1000, 1.0, L::Normal},
      {w.seCanAddr, 0, 0, L::Marked},
      {w.seCanAddr, 200, 200, L::Marked},
      {w.seAngleV, 400, 400, L::Marked},
      {w.seDecreaseRamp, 65535, 6553.5, L::Marked},
      {w.seDelayAfterLoadReduction, 255, 25.5, L::Marked},
      {w.seImmediateStopLimit, 255, 100.0, L::Normal},
      {w.seIgnitionReductionLimit, 76, 29.8, L::Normal},
      {w.seGain[4], 400, 400, L::Marked},
      {w.seWindowDelay, 1000, 100.0, L::Marked},
      {w.seWindowWidth, 600, 60.0, L::Normal},
      {w.seAngle[0], 7300, 730, L::Marked},
  };
  for (const TCase& c : cases) {
    const uint16_t id = TmSetUp::ObjectOf(*c.Edit);
    w.Zarno->SetValue(id, TValue(c.Raw));
    w.ZarnoObjectChanged(id);
    QCOMPARE(c.Edit->value(), c.Shown);
    QCOMPARE(int(c.Edit->Look()), int(c.Look));
    QCOMPARE(Raw(w, id), c.Raw);  // shown, not corrected
  }
  // A cylinder count below 2 is corrected by the commit its display triggers.
  w.Zarno->SetValue(idCylinderCount, TValue(1));
  w.ZarnoObjectChanged(idCylinderCount);
  QCOMPARE(w.seCylinderCount->value(), 2.0);
  QCOMPARE(Raw(w, idCylinderCount), 2);
}

void ConfigPagesTest::SwitchWordSetsEveryControl() {
  TWindowRig rig;
  TmSetUp& w = StartOffline(rig, 0, 19);  // no "Irregular"
  // 2-stroke, KNOCK, reverse, OPEN, latch; engine type 2 in the new field (bit 11).
  w.Zarno->SetValue(idSwitches, TValue(0b1'10'00'1010110));
  w.ZarnoObjectChanged(idSwitches);
  QCOMPARE(w.rgEngineStroke->ItemIndex(), 0);
  QCOMPARE(w.rgAttenuation->ItemIndex(), 0);
  QVERIFY(w.chReverseAnalogOutput->isChecked());
  QVERIFY(!w.chEnableMaxOutputSetting->isChecked());
  QCOMPARE(w.rgTripContactInactive->ItemIndex(), 1);
  QVERIFY(!w.chEnableBadSensorDetect->isChecked());
  QVERIFY(w.chEnableKnockLEDLatch->isChecked() && w.chEnableKnockLEDLatch2->isChecked());
  QCOMPARE(w.rgEngineType->ItemIndex(), 1);  // the last item, "V-type"
  QVERIFY(w.seAngleV->isEnabled());
}

void ConfigPagesTest::LedLatchBoxesFollowEachOther() {
  TWindowRig rig;
  TmSetUp& w = rig.Start();
  w.chEnableKnockLEDLatch->click();
  QVERIFY(w.chEnableKnockLEDLatch2->isChecked());
  QVERIFY(w.Zarno->SwitchBit(6));
  w.chEnableKnockLEDLatch2->click();
  QVERIFY(!w.chEnableKnockLEDLatch->isChecked());
  QVERIFY(!w.Zarno->SwitchBit(6));
}

void ConfigPagesTest::UncheckingAChannelWritesTheMaskAndDisablesItsEdits() {
  TWindowRig rig;
  TmSetUp& w = StartOffline(rig, 0, 25);
  w.USensor[2]->SetChecked(false);
  QCOMPARE(Raw(w, idUsedSensors), 0xFFFFF & ~0x4);
  QVERIFY(!w.seGain[2]->isEnabled());
  QVERIFY(!w.seAngle[2]->isEnabled());
  QVERIFY(w.seGain[3]->isEnabled());

  w.seCylinderCount->setValue(6);
  QVERIFY(!w.USensor[5]->isHidden());
  QVERIFY(w.USensor[6]->isHidden());
  QVERIFY(w.seAngle[6]->isHidden() && w.LabCyl[6]->isHidden() && w.seGain[6]->isHidden());
  QCOMPARE(w.USensor[0]->Caption(), QString("1"));
  QVERIFY(w.SSensor[0]->isHidden());
}

void ConfigPagesTest::CanModeAndDiagnosticsEnableTheirControls() {
  TWindowRig rig;
  TmSetUp& w = rig.Start();
  w.rgCanMode->Button(1)->click();  // "Qorvix-controller"
  QCOMPARE(Raw(w, idCANMode), 1);
  QVERIFY(!w.cbBusSpeed->isEnabled() && !w.lblBusSpeed->isEnabled());
  w.Zarno->SetValue(idCANMode, TValue(0));
  w.ZarnoObjectChanged(idCANMode);
  QCOMPARE(w.rgCanMode->ItemIndex(), 0);
  QVERIFY(w.cbBusSpeed->isEnabled() && w.lblBusSpeed->isEnabled());

  w.Zarno->SetValue(idBusSpeed, TValue(300));  // no such item
  w.ZarnoObjectChanged(idBusSpeed);
  QCOMPARE(w.cbBusSpeed->currentIndex(), -1);
  QCOMPARE(w.cbBusSpeed->palette().color(QPalette::Button), QColor(Qt::yellow));

  // Offline the group itself is disabled; what "Diagnose" decides shows within it.
  QVERIFY(!w.chgDiagLEDs->isEnabledTo(w.gbDiagnose));
  QVERIFY(!w.seDiagOutput->isEnabledTo(w.gbDiagnose));
  w.chDiagMode->setChecked(true);
  QVERIFY(w.Zarno->DiagnosticMode());
  QVERIFY(w.chgDiagLEDs->isEnabledTo(w.gbDiagnose) && w.seDiagOutput->isEnabledTo(w.gbDiagnose));
  w.chgDiagLEDs->Button(3)->setChecked(true);  // "REDUCTION"
  QCOMPARE(w.Zarno->DiagnosticLeds(), uint16_t(0b1000));
  w.seDiagOutput->setValue(2.3);
  QCOMPARE(w.Zarno->DiagnosticOutput(), uint16_t(23));
}

void ConfigPagesTest::NewerParameterSetOfflineResetsTheGains() {
  TWindowRig rig;
  TmSetUp& w = StartOffline(rig, 0, 23);
  w.seGain[7]->setValue(150);
  QCOMPARE(Raw(w, idGain1 + 7), 150);
  w.SelectOfflineVersion(19);  // no gains, no "Irregular"
  QCOMPARE(w.rgEngineType->Count(), 2);
  QVERIFY(!w.Zarno->HasParam(idGain1));
  w.SelectOfflineVersion(24);
  QCOMPARE(w.rgEngineType->Count(), 3);
  QCOMPARE(w.seGain[7]->value(), 100.0);
  QCOMPARE(Raw(w, idGain1 + 7), 100);
}

void ConfigPagesTest::FiringOrderNeverDecreases() {
  TWindowRig rig;
  TmSetUp& w = StartOffline(rig, 0, 25);
  for (size_t i = 0; i < w.seAngle.size(); ++i)
    w.seAngle[i]->setValue(10.0 * static_cast<double>(i));
  w.seAngle[2]->setValue(100);
  w.EnforceFiringOrder();
  const double expected[] = {0, 10, 100, 100, 100, 100, 100, 100, 100, 100, 100, 110, 120};
  for (size_t i = 0; i < std::size(expected); ++i) QCOMPARE(w.seAngle[i]->value(), expected[i]);
  // Written, each through its own commit: edit 4 is Beta 2.
  QCOMPARE(Raw(w, AngleObjectOfEdit(4)), 1000);
}

void ConfigPagesTest::DefaultButtons_data() {
  QTest::addColumn<int>("cylinders");
  QTest::addColumn<bool>("fourStroke");
  QTest::addColumn<QList<double>>("angles");
  QTest::newRow("6 cylinders, 4-stroke")
      << 6 << true << QList<double>{0, 120, 240, 360, 480, 600, 720, 840};
  QTest::newRow("7 cylinders, 4-stroke")
      << 7 << true << QList<double>{0, 102.9, 205.7, 308.6, 411.4, 514.3, 617.1, 720};
  QTest::newRow("6 cylinders, 2-stroke")
      << 6 << false << QList<double>{0, 60, 120, 180, 240, 300, 360};
  QTest::newRow("7 cylinders, 2-stroke")
      << 7 << false << QList<double>{0, 51.4, 102.9, 154.3, 205.7, 257.1, 308.6};
}

void ConfigPagesTest::DefaultButtons() {
  QFETCH(int, cylinders);
  QFETCH(bool, fourStroke);
  QFETCH(QList<double>, angles);
  TWindowRig rig;
  TmSetUp& w = StartOffline(rig, 0, 25);
  w.seCylinderCount->setValue(cylinders);
  w.rgEngineStroke->SetItemIndex(fourStroke ? 1 : 0);
  w.rgEngineType->SetItemIndex(2);  // irregular: the firing page is there
  QVERIFY(w.btnFiringDefault->isEnabled());

  rig.Runner.Answer = [](QDialog&) { return int(QMessageBox::No); };
  w.btnFiringDefault->click();
  QCOMPARE(w.seAngle[1]->value(), 0.0);  // "No" changes nothing

  AnswerYes(rig);
  w.btnFiringDefault->click();
  QCOMPARE(rig.Runner.BoxTexts, QStringList(2, "Set all angles to default value?"));
  for (int i = 0; i < angles.size(); ++i) {
    QCOMPARE(w.seAngle[static_cast<size_t>(i)]->value(), angles[i]);
    QCOMPARE(Raw(w, AngleObjectOfEdit(i + 1)), qRound64(angles[i] * 10));
  }
  QCOMPARE(int(w.seAngle[19]->Look()), int(TBoundSpinEdit::TLook::Normal));

  for (TBoundSpinEdit* gain : w.seGain) gain->setValue(42);
  w.btnGainDefault->click();
  QCOMPARE(rig.Runner.BoxTexts.size(), 3);
  QCOMPARE(rig.Runner.BoxTexts.last(), QString("Set all gains to default value?"));
  for (int n = 0; n < kChannelCount; ++n) {
    QCOMPARE(w.seGain[static_cast<size_t>(n)]->value(), 100.0);
    QCOMPARE(Raw(w, static_cast<uint16_t>(idGain1 + n)), 100);
  }
}

void ConfigPagesTest::StrokeChangeMarksAnglesAboveTheCycle() {
  TWindowRig rig;
  TmSetUp& w = StartOffline(rig, 0, 25);
  w.seAngle[10]->setValue(400);
  w.seAngle[11]->setValue(350);
  w.rgEngineStroke->SetItemIndex(0);  // 2-stroke
  QVERIFY(!w.Zarno->SwitchBit(0));
  QCOMPARE(int(w.seAngle[10]->Look()), int(TBoundSpinEdit::TLook::Marked));
  QCOMPARE(int(w.seAngle[0]->Look()), int(TBoundSpinEdit::TLook::Normal));
  QCOMPARE(w.seAngle[10]->value(), 400.0);  // the values stay
}

void ConfigPagesTest::FrequencyListsFollowTheRange() {
  TWindowRig rig;
  TmSetUp& w = StartOffline(rig, 0, 24);  // range 1: 1220..15070
  QCOMPARE(w.cbKnockFrequency->count(), 59);
  w.cbKnockFrequency->setCurrentText("12100");
  w.SelectOfflineVersion(23);  // range 0: 1220..10120
  QCOMPARE(w.cbKnockFrequency->count(), 49);
  QCOMPARE(w.cbKnockFrequency->currentText(), QString("1220"));
  QCOMPARE(w.cbRefFrequency->currentText(), QString("1780"));
  w.cbKnockFrequency->setCurrentText("5480");
  w.SelectOfflineVersion(25);  // range 2: everything
  QCOMPARE(w.cbKnockFrequency->count(), 91);
  QCOMPARE(w.cbKnockFrequency->itemText(0), QString("305"));
  QCOMPARE(w.cbKnockFrequency->currentText(), QString("5480"));

  // A value the list does not hold leaves it without selection, marked.
  w.Zarno->SetValue(idKnockFilterFrequency, TValue(5000));
  w.ZarnoObjectChanged(idKnockFilterFrequency);
  QCOMPARE(w.cbKnockFrequency->currentIndex(), -1);
  QCOMPARE(w.cbKnockFrequency->palette().color(QPalette::Button), QColor(Qt::yellow));
  w.cbKnockFrequency->setCurrentIndex(3);
  emit w.cbKnockFrequency->activated(3);
  QVERIFY(w.cbKnockFrequency->palette().color(QPalette::Button) != QColor(Qt::yellow));
  QCOMPARE(Raw(w, idKnockFilterFrequency), w.cbKnockFrequency->itemText(3).toLongLong());
}

void ConfigPagesTest::WindowUnitChangeOfflineConverts_data() {
  QTest::addColumn<bool>("accept");
  QTest::newRow("OK") << true;
  QTest::newRow("Cancel") << false;
}

void ConfigPagesTest::WindowUnitChangeOfflineConverts() {
  QFETCH(bool, accept);
  TWindowRig rig;
  TmSetUp& w = StartOffline(rig, 0, 24);
  QCOMPARE(w.lWindowDelayUnits->text(), QString("[µs]"));
  w.seWindowDelay->setValue(1000);
  w.seWindowWidth->setValue(2222);
  QString direction, source;
  rig.Runner.Answer = [&](QDialog& dialog) {
    if (auto* convert = dynamic_cast<TCnvDetonWndParDlg*>(&dialog)) {
      direction = convert->gbSrc->title();
      source = convert->lbSrcDetonWndDelay->text() + "/" + convert->lbSrcDetonWndWidth->text();
      if (accept) convert->btnOk->click();
      return accept ? convert->result() : int(QDialog::Rejected);
    }
    return int(QMessageBox::Ok);
  };
  w.actv25->trigger();
  QCOMPARE(direction, QString("Source values [µs]"));
  QCOMPARE(source, QString("1000/2222"));
  QCOMPARE(w.lWindowDelayUnits->text(), QString("[°]"));
  if (accept) {
    QCOMPARE(w.seWindowDelay->value(), 9.0);
    QCOMPARE(w.seWindowWidth->value(), 20.0);
    QCOMPARE(Raw(w, idWindowDelay), 90);
    QCOMPARE(Raw(w, idWindowWidth), 200);
  } else {
    QCOMPARE(rig.Runner.BoxTexts.last(),
             QString("Conversion detonation window parameters was canceled by user.\r\n Kalvist "
                     "will reset detonation window parameters to default values."));
    QCOMPARE(w.seWindowDelay->value(), 20.0);
    QCOMPARE(w.seWindowWidth->value(), 30.0);
    QCOMPARE(Raw(w, idWindowWidth), 300);
  }
}

void ConfigPagesTest::ConversionDialogClampsAfterConfirmation() {
  TScriptedRunner runner;
  TCnvDetonWndParDlg dialog(runner, nullptr);
  dialog.SetDirection(TWindowDirection::DegreesToMicroseconds);
  dialog.SetSourceDelay(600);
  dialog.SetSourceWidth(0);
  dialog.SetSpeed(60);
  QCOMPARE(dialog.ConvertedDelay(), 166667);
  QCOMPARE(dialog.lbDstDetonWndDelay->palette().color(QPalette::WindowText), QColor(Qt::red));
  QCOMPARE(dialog.gbDest->title(), QString("Converted values [µs]"));

  // A speed out of range keeps the last results and is put right when the field is left.
  dialog.seSpeed->setValue(59);
  QCOMPARE(dialog.ConvertedDelay(), 166667);
  runner.Answer = [](QDialog&) { return int(QMessageBox::Ok); };
  dialog.seSpeedExit();
  QCOMPARE(dialog.seSpeed->value(), 60);
  QVERIFY(
      runner.BoxTexts.last().startsWith("Allowed speed range is 60 [rpm] to 10000 [rpm]. "
                                        "Your inserted speed 59 [rpm]"));

  runner.Answer = [](QDialog&) { return int(QMessageBox::Cancel); };
  dialog.btnOk->click();
  QCOMPARE(dialog.result(), int(QDialog::Rejected));  // stays open
  runner.Answer = [](QDialog&) { return int(QMessageBox::Ok); };
  dialog.btnOk->click();
  QCOMPARE(dialog.result(), int(QDialog::Accepted));
  QCOMPARE(dialog.ConvertedDelay(), 65535);
  QCOMPARE(dialog.ConvertedWidth(), 0);
}

void ConfigPagesTest::OfflineVisibility_data() {
  QTest::addColumn<int>("mode");
  QTest::addColumn<int>("version");
  QTest::addColumn<int>("engineType");
  QTest::addColumn<QString>("picture");
  // Mode Params Gains Firings Options CAN | Diagnose Sound Sensors Name EngineType Latch2
  QTest::newRow("20 v19") << 0 << 19 << 0 << "SE SE -- -- SE SE S- S- SE -- SE SE";
  QTest::newRow("20 v23 in-line") << 0 << 23 << 0 << "SE SE SE -- SE SE S- S- SE -- SE SE";
  QTest::newRow("20 v25 in-line") << 0 << 25 << 0 << "SE SE SE -- SE SE S- S- SE SE SE SE";
  QTest::newRow("20 v25 irregular") << 0 << 25 << 2 << "SE SE SE SE SE SE S- S- SE SE SE SE";
  QTest::newRow("2 v12") << 1 << 12 << 0 << "SE SE -- -- SE SE S- S- SE -- SE SE";
  QTest::newRow("2 v13 irregular") << 1 << 13 << 2 << "SE SE SE SE SE SE S- S- SE SE SE SE";
}

void ConfigPagesTest::OfflineVisibility() {
  QFETCH(int, mode);
  QFETCH(int, version);
  QFETCH(int, engineType);
  QFETCH(QString, picture);
  TWindowRig rig;
  AnswerYes(rig);
  TmSetUp& w = StartOffline(rig, mode, version);
  w.rgEngineType->SetItemIndex(engineType);
  QCOMPARE(Picture(w, Watched(w)), picture);
}

void ConfigPagesTest::ConnectedVisibility_data() {
  QTest::addColumn<int>("kind");
  QTest::addColumn<int>("firmware");
  QTest::addColumn<int>("password");  // 0: none entered
  QTest::addColumn<int>("level");
  QTest::addColumn<QString>("picture");
  // Mode Params Gains Firings Options CAN | Diagnose Sound Sensors Name EngineType Latch2
  QTest::newRow("20 v25 three-level administrator")
      << 20 << 25 << 1111 << int(alAdministrator) << "SE SE SE -- SE SE SE SE SE SE SE SE";
  QTest::newRow("20 v25 three-level operator")
      << 20 << 25 << 2222 << int(alOperator) << "SE -- -- -- -- SE SE SE S- -- S- SE";
  QTest::newRow("20 v25 three-level monitor")
      << 20 << 25 << 3333 << int(alMonitor) << "SE -- -- -- -- SE S- S- S- -- S- S-";
  QTest::newRow("20 v23 single monitor")
      << 20 << 23 << 0 << int(alMonitor) << "SE S- S- S- S- SE SE SE S- -- S- S-";
  QTest::newRow("2 v13 three-level operator")
      << 2 << 13 << 2222 << int(alOperator) << "SE -- -- -- -- SE SE SE S- -- S- SE";
  QTest::newRow("third kind administrator")
      << 3 << 0 << 1111 << int(alAdministrator) << "SE SE -- -- SE SE SE SE SE -- SE SE";
}

void ConfigPagesTest::ConnectedVisibility() {
  QFETCH(int, kind);
  QFETCH(int, firmware);
  QFETCH(int, password);
  QFETCH(int, level);
  QFETCH(QString, picture);
  sim::TSimOptions options;
  options.Kind = kind;
  options.Firmware = firmware;
  sim::TZarnoSimulator simulator(options);
  TWindowRig rig;
  AnswerYes(rig);
  TmSetUp& w = rig.Start();
  w.ConnectTo(simulator.Start(), 1);
  QTRY_VERIFY_WITH_TIMEOUT(w.Zarno->IsConnected(), kLinkMs);
  if (password != 0) w.Zarno->EnterPassword(static_cast<uint16_t>(password));
  QTRY_COMPARE_WITH_TIMEOUT(int(w.Zarno->AccessLevel()), level, kLinkMs);
  QTRY_COMPARE_WITH_TIMEOUT(w.Zarno->Queue().Count(), 0, kLinkMs);
  QCOMPARE(Picture(w, Watched(w)), picture);
}

QTEST_MAIN(ConfigPagesTest)
#include "ConfigPagesTest.moc"
