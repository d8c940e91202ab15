// The two groups of the live view on page "&Mode": the display mode of the knocking
// meter, and sound recording with its sensor choice, length and start button. The
// recording itself is the core's recorder; the window lends it the file dialog, the
// recording window and the pause of the live view.
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>

#include "Main.h"
#include "TextCodec.h"
#include "fZarnoSoundQt.h"

namespace kalvist {

namespace {

constexpr int kAllLine = 0;
constexpr int kSelLine = 1;
constexpr int kFirstSensorLine = 2;
constexpr int kLinkIdleWaitMs = 5000;  // longer than a read with all its repeats

}  // namespace

QGroupBox* TmSetUp::CreateDisplayModeGroup(QWidget* parent) {
  gbDisplay = new QGroupBox("Display", parent);
  gbDisplay->setObjectName("gbDisplay");
  rbChannel = new QRadioButton("Analysed cylinder...........", gbDisplay);
  rbChannel->setObjectName("rbChannel");
  rbMax = new QRadioButton("Maximal knocking value", gbDisplay);
  rbMax->setObjectName("rbMax");
  rbMin = new QRadioButton("Minimal knocking value", gbDisplay);
  rbMin->setObjectName("rbMin");
  seAnalysedCylinder = new QSpinBox(gbDisplay);
  seAnalysedCylinder->setObjectName("seAnalysedCylinder");
  seAnalysedCylinder->setRange(1, kChannelCount);
  seAnalysedCylinder->setValue(1);
  rbMax->setChecked(true);
  auto* layout = new QGridLayout(gbDisplay);
  layout->setContentsMargins(6, 4, 6, 4);
  layout->addWidget(rbChannel, 0, 0);
  layout->addWidget(seAnalysedCylinder, 0, 1);
  layout->addWidget(rbMax, 1, 0, 1, 2);
  layout->addWidget(rbMin, 2, 0, 1, 2);
  for (QRadioButton* button : {rbChannel, rbMax, rbMin}) {
    connect(button, &QRadioButton::clicked, this, [this] { rbChannelChange(); });
  }
  connect(seAnalysedCylinder, &QSpinBox::valueChanged, this, [this] { rbChannelChange(); });
  return gbDisplay;
}

QGroupBox* TmSetUp::CreateSoundGroup(QWidget* parent) {
  gbSound = new QGroupBox("Sound recording", parent);
  gbSound->setObjectName("gbSound");
  cbSoundSensor = new QComboBox(gbSound);
  cbSoundSensor->setObjectName("cbSoundSensor");
  seRecordLength = new QSpinBox(gbSound);
  seRecordLength->setObjectName("seRecordLength");
  seRecordLength->setRange(TSoundRecorder::kMinLength, TSoundRecorder::kMaxLength);
  seRecordLength->setValue(5);
  bStartSound = new QPushButton("Record", gbSound);
  bStartSound->setObjectName("bStartSound");
  auto* layout = new QGridLayout(gbSound);
  layout->setContentsMargins(6, 4, 6, 4);
  layout->addWidget(new QLabel("Sensor", gbSound), 0, 0);
  layout->addWidget(cbSoundSensor, 0, 1);
  layout->addWidget(new QLabel("Record lenght [s]", gbSound), 1, 0);
  layout->addWidget(seRecordLength, 1, 1);
  layout->addWidget(bStartSound, 2, 0, 1, 2);
  connect(cbSoundSensor, &QComboBox::currentIndexChanged, this,
          [this] { UpdateRecordLengthEnabled(); });
  connect(bStartSound, &QPushButton::clicked, this, [this] { bStartSoundClick(); });

  return gbSound;
}

void TmSetUp::CreateSoundRecorder() {
  SoundRecorder = std::make_unique<TSoundRecorder>(*Zarno, *env_.MainThread);
  SoundRecorder->SoundFolder = env_.Paths.SoundFolder.toStdString();
  SoundRecorder->OnChooseFile = [this](const std::string& suggested) {
    return ChooseSoundFile(suggested);
  };
  SoundRecorder->OnBeforeRecording = [this] { BeforeRecording(); };
  SoundRecorder->OnAfterRecording = [this] { AfterRecording(); };
  SoundRecorder->OnMessage = [this](const std::string& text) {
    Notice(QMessageBox::NoIcon, ProgramTitle, FromCp1252(text));
  };
  Zarno->SetSoundForm(std::make_unique<TfmZarnoSoundQt>(*env_.MainThread, this));
}

void TmSetUp::BuildSensorList() {
  SoundRecorder->BuildSensorList();
  const QSignalBlocker quiet(cbSoundSensor);
  cbSoundSensor->clear();
  for (const std::string& line : SensorChoiceLines(Zarno->ZarnoMode(), SoundRecorder->Sensors)) {
    cbSoundSensor->addItem(FromCp1252(line));
  }
  cbSoundSensor->setCurrentIndex(cbSoundSensor->count() > kFirstSensorLine ? kFirstSensorLine
                                                                           : kAllLine);
  UpdateRecordLengthEnabled();
}

// The length counts for "ALL" and "SEL" only; a disabled group disables it as well.
void TmSetUp::UpdateRecordLengthEnabled() {
  seRecordLength->setEnabled(cbSoundSensor->currentIndex() < kFirstSensorLine);
}

void TmSetUp::bStartSoundClick() {
  // Only one recording at a time, and only from a connected controller.
  if (!Zarno->IsConnected() || SoundRecorder->Busy()) return;
  SoundRecorder->RecordLength = seRecordLength->value();
  const int line = cbSoundSensor->currentIndex();
  if (line == kAllLine || line == kSelLine) {
    SoundRecorder->RecordAll(line == kSelLine);
  } else {
    SoundRecorder->RecordOne(line - kFirstSensorLine);
  }
}

std::optional<std::string> TmSetUp::ChooseSoundFile(const std::string& suggested) {
  const QString path = QString::fromStdString(suggested);
  QFileDialog dialog(this, "Save sound file", QFileInfo(path).path(), "AU sound file (*.au)");
  dialog.setObjectName("SoundFileDialog");
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix("au");
  dialog.selectFile(QFileInfo(path).fileName());
  if (env_.Runner->Exec(dialog) != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return std::nullopt;
  return files.front().toStdString();
}

void TmSetUp::BeforeRecording() {
  ZarnoTimer->stop();
  Zarno->Queue().Clear();
  // A poll read may still be under way, and the link does one thing at a time: the
  // stream could not start before it ends.
  QElapsedTimer waited;
  waited.start();
  QEventLoop loop;
  while (Zarno->IsConnected() && Zarno->Comm().Busy() && waited.elapsed() < kLinkIdleWaitMs) {
    loop.processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::ExcludeUserInputEvents, 20);
  }
  vrmZarnoRegOutput->SetPosition(0);
  vrmKnockingIntensity->SetPosition(0);
  stKnockingMax->setText(QString::asprintf("%.0f %%", 0.0));
  recordingStart_ = PlotNow();
  AddPlotGaps(recordingStart_);
  QueuePlotReplot();
}

void TmSetUp::AfterRecording() {
  const double now = PlotNow();
  auto* mark = new QCPItemRect(iPlot);
  mark->setObjectName("Recording");
  for (QCPItemPosition* corner : {mark->topLeft, mark->bottomRight}) {
    corner->setAxes(iPlot->xAxis, iPlot->yAxis2);
  }
  mark->topLeft->setCoords(recordingStart_, 50 + 98 / 2.0);
  mark->bottomRight->setCoords(now, 50 - 98 / 2.0);
  mark->setPen(QPen(Qt::blue));
  mark->setBrush(QColor(0, 0, 255, 30));
  mark->setSelectable(false);
  QueuePlotReplot();
  // A recording that failed may have ended the connection meanwhile.
  if (Zarno->IsConnected()) ZarnoTimer->start();
}

}  // namespace kalvist
