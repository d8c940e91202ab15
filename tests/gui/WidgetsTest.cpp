#include <QApplication>
#include <QImage>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <thread>

#include "About.h"
#include "CtrlNameDlg.h"
#include "MessageThread.h"
#include "QtMainThread.h"
#include "QtMessageSink.h"
#include "VersionResource.h"
#include "vltASCheckBox.h"
#include "vltVisibilityList.h"

using namespace kalvist;

namespace {

QList<QMessageBox*> OpenBoxes() {
  QList<QMessageBox*> boxes;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) boxes << box;
  }
  return boxes;
}

void SavePicture(const QString& path, const char* format) {
  QImage image(40, 20, QImage::Format_RGB32);
  image.fill(Qt::blue);
  QVERIFY(image.save(path, format));
}

}  // namespace

class WidgetsTest : public QObject {
  Q_OBJECT

 private slots:
  void VisibilityRulesKeepTheirPlaceAndOnlyNarrow();
  void VisibilityAppliesShownThenEnabledByConnectionState();
  void VisibilityRuleChangedDuringThePassTakesEffectInIt();
  void VisibilityWithoutConnectionStatusIsAnError();
  void CheckBoxSizesItselfToBoxAndCaption();
  void CheckBoxTogglesByMouseAndSpaceOnlyWhenEnabled();
  void UnitNamesNeedATwentySensorName();
  void AboutLayoutFollowsThePictureFiles();
  void AboutShowsTheVersionResource();
  void MessageBoxesAreNonModalOnTopAndOnePerKey();
  void MainThreadRunsPostsAndChannelsFromOtherThreads();
};

void WidgetsTest::VisibilityRulesKeepTheirPlaceAndOnlyNarrow() {
  QWidget a, b, c;
  TVisibilityList list;
  list.SetRule(&a, true, true, true, true);
  list.SetRule(&b, false, false, false, false);
  list.SetRule(&a, false, true, false, true);
  QCOMPARE(list.Count(), 2);
  QCOMPARE(list.Items(0), &a);
  QCOMPARE(list.Rule(&a), vrShownOffline | vrEnabledOffline);

  list.Restrict(&b, true, true, true, true);  // nothing to take, nothing given
  QCOMPARE(list.Rule(&b), 0);
  list.Restrict(&a, true, true, true, false);
  QCOMPARE(list.Rule(&a), vrShownOffline);
  list.Restrict(&c, true, true, true, true);  // not in the list: not added
  QCOMPARE(list.Count(), 2);
  list.Clear();
  QCOMPARE(list.Count(), 0);
}

void WidgetsTest::VisibilityAppliesShownThenEnabledByConnectionState() {
  QWidget window;
  auto* tabs = new QTabWidget(&window);
  auto* page = new QWidget;
  tabs->addTab(new QWidget, "first");
  tabs->addTab(page, "page");
  auto* group = new QWidget(&window);
  window.show();

  bool connected = false;
  QStringList calls;
  TVisibilityList list;
  list.OnGetConnected = [&] { return connected; };
  list.OnVisibleChanged = [&](QWidget*, bool shown) { calls << QString("shown %1").arg(shown); };
  list.OnEnabledChanged = [&](QWidget*, bool on) { calls << QString("enabled %1").arg(on); };
  list.SetRule(group, true, true, true, false);  // shown always, enabled only connected
  list.SetRule(page, true, false, true, true);   // tab only while connected

  list.ApplyAll();
  QVERIFY(group->isVisible() && !group->isEnabled());
  QVERIFY(!tabs->isTabVisible(1));
  QVERIFY(page->parentWidget() != nullptr);  // the page itself stays in its control
  QCOMPARE(calls, (QStringList{"shown 1", "enabled 0", "shown 0", "enabled 1"}));

  connected = true;
  list.ApplyAll();
  QVERIFY(group->isVisible() && group->isEnabled());
  QVERIFY(tabs->isTabVisible(1));

  list.SetRule(group, false, false, true, true);
  list.ApplyControl(group);
  QVERIFY(group->isHidden());
}

void WidgetsTest::VisibilityRuleChangedDuringThePassTakesEffectInIt() {
  QWidget window;
  auto* first = new QWidget(&window);
  auto* later = new QWidget(&window);
  window.show();
  TVisibilityList list;
  list.OnGetConnected = [] { return false; };
  list.SetRule(first, true, true, true, true);
  list.SetRule(later, false, false, false, false);
  list.OnEnabledChanged = [&](QWidget* control, bool) {
    if (control == first) list.SetRule(later, true, true, true, true);
  };
  list.ApplyAll();
  QVERIFY(later->isVisible());
  QVERIFY(later->isEnabled());
}

void WidgetsTest::VisibilityWithoutConnectionStatusIsAnError() {
  QWidget control;
  TVisibilityList list;
  list.SetRule(&control, true, true, true, true);
  try {
    list.ApplyAll();
    QFAIL("no error");
  } catch (const TKalvistError& error) {
    QCOMPARE(QString::fromStdString(error.Text),
             "Connection status wasn't assigned to TVisibilityList");
  }
}

void WidgetsTest::CheckBoxSizesItselfToBoxAndCaption() {
  QFont arial("Arial");
  arial.setPixelSize(13);

  TAsCheckBox classic;
  classic.SetCaptionSpace(1);
  classic.SetCaptionFont(arial);
  QCOMPARE(classic.size(), QSize(16, 16));

  TAsCheckBox symbols;
  symbols.SetCheckStyle(TCheckStyle::chsSymbols);
  symbols.SetCaptionSpace(1);
  symbols.SetCaptionFont(arial);
  symbols.SetCaption("1");
  const QFontMetrics metrics(arial);
  QCOMPARE(symbols.size(),
           QSize(metrics.horizontalAdvance("1") + 1 + 15, std::max(metrics.height() + 2, 16)));

  symbols.SetCaption("Channel 12");  // a longer caption widens it
  QCOMPARE(symbols.width(), metrics.horizontalAdvance("Channel 12") + 16);
  symbols.SetAutoSize(false);
  symbols.SetCaption("1");
  QCOMPARE(symbols.width(), metrics.horizontalAdvance("Channel 12") + 16);
}

void WidgetsTest::CheckBoxTogglesByMouseAndSpaceOnlyWhenEnabled() {
  TAsCheckBox box;
  box.SetCaption("ch");
  int changes = 0;
  box.OnChanged = [&](TAsCheckBox&) { ++changes; };
  box.show();
  QVERIFY(QTest::qWaitForWindowExposed(&box));

  box.SetChecked(false);  // no change, no event
  QCOMPARE(changes, 0);
  QTest::mouseClick(&box, Qt::LeftButton);
  QVERIFY(box.Checked());
  QVERIFY(box.hasFocus());
  // A double click as the platform delivers it: press, release, press, double click,
  // release.
  QTest::mouseClick(&box, Qt::LeftButton);
  QTest::mousePress(&box, Qt::LeftButton);
  QMouseEvent doubleClick(QEvent::MouseButtonDblClick, QPointF(5, 5),
                          box.mapToGlobal(QPointF(5, 5)), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
  QApplication::sendEvent(&box, &doubleClick);
  QTest::mouseRelease(&box, Qt::LeftButton);
  QVERIFY(box.Checked());
  QCOMPARE(changes, 3);
  QTest::mouseClick(&box, Qt::RightButton);
  QTest::keyClick(&box, Qt::Key_Space);
  QVERIFY(!box.Checked());
  QCOMPARE(changes, 4);

  box.setEnabled(false);
  QTest::mouseClick(&box, Qt::LeftButton);
  QTest::keyClick(&box, Qt::Key_Space);
  QCOMPARE(changes, 4);
}

void WidgetsTest::UnitNamesNeedATwentySensorName() {
  TfmControllerName dialog;
  dialog.show();
  dialog.SetZarno20Name("   ");
  dialog.SetZarno2Name("Z-2");
  dialog.accept();
  QVERIFY(dialog.isVisible());  // refused

  dialog.SetZarno20Name("  North ");
  dialog.SetZarno2Name("  ");
  dialog.accept();
  QVERIFY(!dialog.isVisible());
  QCOMPARE(dialog.result(), int(QDialog::Accepted));
  QCOMPARE(dialog.Zarno20Name(), "North");
  QCOMPARE(dialog.Zarno2Name(), "");

  TfmControllerName blank;
  blank.show();
  blank.reject();  // Cancel always closes
  QVERIFY(!blank.isVisible());
}

void WidgetsTest::AboutLayoutFollowsThePictureFiles() {
  QTemporaryDir folder;
  const TVersionResource& resource = ProgramVersionResource();
  {
    TfmAboutTesvaro about(&resource, folder.path());
    QCOMPARE(about.height(), 340);
    QVERIFY(about.LogoImage->isHidden());
    QVERIFY(about.pnlTesvaro->isHidden());
  }
  SavePicture(folder.filePath("logo.jpg"), "JPG");
  {
    TfmAboutTesvaro about(&resource, folder.path());
    QCOMPARE(about.height(), 440);
    QVERIFY(!about.LogoImage->isHidden());
    QVERIFY(about.pnlTesvaro->isHidden());
  }
  SavePicture(folder.filePath("logo.bmp"), "BMP");
  {
    TfmAboutTesvaro about(&resource, folder.path());
    QCOMPARE(about.height(), 440);
    QVERIFY(!about.pnlTesvaro->isHidden());
    QVERIFY(!about.imgTesvaro->pixmap().isNull());
  }
  QFile::remove(folder.filePath("logo.bmp"));
  QFile broken(folder.filePath("logo.jpg"));
  QVERIFY(broken.open(QIODevice::WriteOnly | QIODevice::Truncate));
  broken.write("not a picture");
  broken.close();
  {
    TfmAboutTesvaro about(&resource, folder.path());
    QVERIFY(about.PictureError().contains("logo.jpg"));
    QCOMPARE(about.height(), 340);
    QVERIFY(about.LogoImage->isHidden());
  }
}

void WidgetsTest::AboutShowsTheVersionResource() {
  TVersionResource resource{std::array<uint16_t, 4>{1, 6, 1, 2},
                            0x04E40409,
                            {{"ProductName", "Resource name"},
                             {"ProductVersion", "1.6"},
                             {"LegalCopyright", "(C) Makers"},
                             {"ReleaseDate", "2024-05-01"}}};
  TfmAboutTesvaro about(&resource, QTemporaryDir().path());
  about.show();
  QCOMPARE(about.stProductName->text(), "Resource name");
  QCOMPARE(about.stVersion->text(), "Version 1.6.1.2");
  QCOMPARE(about.stCopyright->text(), "(C) Makers");
  QCOMPARE(about.laReleaseDate->text(), "Release date: 2024-05-01");
  QCOMPARE(about.stVersionInfo->text(), "Version 1.6.1.2\nRelease date: 2024-05-01");
  about.hide();
  about.ProductNameText = "kalvist";
  resource.Strings.erase("ReleaseDate");
  TfmAbout plain(&resource, QTemporaryDir().path());
  plain.ProductNameText = "kalvist";
  plain.show();
  QCOMPARE(plain.stProductName->text(), "kalvist");
  QCOMPARE(plain.laReleaseDate->text(), "");

  try {
    TfmAbout none(nullptr, QString());
    QFAIL("no error");
  } catch (const ENoVerInfoError&) {
  }
}

void WidgetsTest::MessageBoxesAreNonModalOnTopAndOnePerKey() {
  TQtMessageSink sink;
  SetMessageSink(&sink);
  std::thread([] {
    ShowMessageAsync("Lost \xB5s\r\nline two", 7, mkWarning);
    ShowMessageAsync("same key", 7, mkError);
    ShowMessageAsync("no key", 0, mkInformation);
  }).join();
  QTRY_COMPARE(OpenBoxes().size(), 2);
  QMessageBox* warning = nullptr;
  for (QMessageBox* box : OpenBoxes()) {
    if (box->windowTitle() == "Warning") warning = box;
  }
  QVERIFY(warning != nullptr);
  QCOMPARE(warning->text(), QString::fromUtf8("Lost \u00B5s\nline two"));
  QCOMPARE(warning->icon(), QMessageBox::Warning);
  QVERIFY(!warning->isModal());
  QVERIFY(warning->windowFlags() & Qt::WindowStaysOnTopHint);

  const QPointer<QMessageBox> closing(warning);
  warning->close();  // the box goes, and with it the key
  QTRY_VERIFY(closing.isNull());
  ShowMessageAsync("again", 7, mkError);
  const auto againShown = [] {
    const QList<QMessageBox*> boxes = OpenBoxes();
    return std::any_of(boxes.begin(), boxes.end(),
                       [](QMessageBox* box) { return box->text() == "again"; });
  };
  QTRY_VERIFY(againShown());
  SetMessageSink(nullptr);
}

void WidgetsTest::MainThreadRunsPostsAndChannelsFromOtherThreads() {
  TQtMainThread mainThread;
  const auto guiThread = std::this_thread::get_id();
  int channelRuns = 0;
  bool onGuiThread = true;
  auto channel = mainThread.CreateChannel([&] {
    ++channelRuns;
    onGuiThread = onGuiThread && std::this_thread::get_id() == guiThread;
  });
  int posted = 0;
  std::thread([&] {
    channel->Signal();
    channel->Signal();  // before the loop ran: merged
    mainThread.Post([&] { ++posted; });
  }).join();
  QTRY_COMPARE(posted, 1);
  QTRY_COMPARE(channelRuns, 1);
  QVERIFY(onGuiThread);

  int ticks = 0;
  TTimerId id = 0;
  id = mainThread.StartTimer(5, [&] {
    if (++ticks == 3) mainThread.StopTimer(id);  // from inside its own tick
  });
  QTRY_COMPARE(ticks, 3);
  QTest::qWait(40);
  QCOMPARE(ticks, 3);
}

QTEST_MAIN(WidgetsTest)
#include "WidgetsTest.moc"
