#include "fZarnoSoundQt.h"

#include <QGridLayout>
#include <QVBoxLayout>

#include "TextCodec.h"

namespace kalvist {

namespace {

QLabel* BoldLabel(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  QFont bold = label->font();
  bold.setBold(true);
  label->setFont(bold);
  return label;
}

}  // namespace

TfmZarnoSoundQt::TfmZarnoSoundQt(IMainThread& mainThread, QWidget* centreOn)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowStaysOnTopHint),
      TfmZarnoSound(mainThread),
      lblSensorName(BoldLabel("", this)),
      lblTime(BoldLabel("0:00:00,000", this)),
      Scope(new TVrScope(this)),
      lblWarning(BoldLabel("Protection is deactivated due to recording samples!", this)),
      bStop(new QPushButton("Stop", this)),
      centreOn_(centreOn),
      redraw_(new QTimer(this)) {
  setObjectName("fmZarnoSound");
  setWindowTitle("Recording sound file");
  setWindowModality(Qt::ApplicationModal);
  lblSensorName->setObjectName("lblSensorName");
  lblTime->setObjectName("lblTime");
  Scope->setObjectName("Scope");
  Scope->setMinimumSize(Scope->sizeHint());
  lblWarning->setObjectName("lblWarning");
  lblWarning->setStyleSheet("color: red");
  bStop->setObjectName("bStop");

  auto* facts = new QGridLayout;
  facts->addWidget(new QLabel("Sensor", this), 0, 0);
  facts->addWidget(lblSensorName, 0, 1);
  facts->addWidget(new QLabel("Time", this), 1, 0);
  facts->addWidget(lblTime, 1, 1);
  facts->setColumnStretch(1, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(facts);
  layout->addWidget(Scope, 1);
  layout->addWidget(lblWarning, 0, Qt::AlignHCenter);
  layout->addWidget(bStop, 0, Qt::AlignHCenter);
  connect(bStop, &QPushButton::clicked, this, [this] { StopClick(); });

  redraw_->setInterval(kRedrawMs);
  connect(redraw_, &QTimer::timeout, this, [this] {
    if (!fresh_) return;
    fresh_ = false;
    Scope->update();
  });
}

void TfmZarnoSoundQt::FeedScope(std::span<const TSoundFrame> frames) {
  for (const TSoundFrame& frame : frames) {
    Scope->Add(frame.Signal / 4095.0, frame.Mark / 16383.0);
  }
  fresh_ = true;
}

void TfmZarnoSoundQt::Prepare(const std::string& sensorName, uint16_t sampleRate) {
  Scope->Clear(sampleRate);
  lblSensorName->setText(FromCp1252(sensorName));
}

void TfmZarnoSoundQt::ShowTime(const std::string& text) {
  lblTime->setText(QString::fromStdString(text));
}

void TfmZarnoSoundQt::RunModal() {
  adjustSize();
  if (centreOn_ != nullptr) move(centreOn_->frameGeometry().center() - rect().center());
  QEventLoop loop;
  loop_ = &loop;
  show();
  redraw_->start();
  loop.exec(QEventLoop::DialogExec);
  loop_ = nullptr;
}

void TfmZarnoSoundQt::EndModal() {
  redraw_->stop();
  hide();
  if (loop_ != nullptr) loop_->exit();
}

}  // namespace kalvist
