// Pages "&Firing sequence" and "&Input gains" (ten columns of two rows of edits, a
// "Default" button below the first column), and the unit of the detonation-window edits.
#include <QGridLayout>

#include "Main.h"
#include "TextCodec.h"
#include "dlgConvertWndPars.h"

namespace kalvist {

namespace {

// Column k holds edit 2k - 1 above edit 2k, each below its "Channel N" label.
void PlaceInColumns(QWidget* page, const std::array<QLabel*, kChannelCount>& labels,
                    const std::array<TBoundSpinEdit*, kChannelCount>& edits, QPushButton* button) {
  auto* grid = new QGridLayout(page);
  grid->setContentsMargins(4, 6, 4, 4);
  grid->setHorizontalSpacing(4);
  grid->setVerticalSpacing(1);
  for (int i = 0; i < kChannelCount; ++i) {
    const auto k = static_cast<size_t>(i);
    const int row = (i % 2) * 3;
    grid->addWidget(labels[k], row, i / 2);
    grid->addWidget(edits[k], row + 1, i / 2);
  }
  grid->setRowMinimumHeight(2, 8);
  grid->addWidget(button, 6, 0, 1, 2, Qt::AlignLeft);
  grid->setRowStretch(7, 1);
}

QLabel* ChannelLabel(QWidget* parent, const char* name, int n) {
  auto* label = new QLabel("Channel " + QString::number(n), parent);
  label->setObjectName(name + QString::number(n));
  return label;
}

constexpr double kWindowMicroseconds = 65535;
constexpr double kWindowRestingDegrees = 6553.5;

const char* const kWindowCancelled =
    "Conversion detonation window parameters was canceled by user.\r\n Kalvist will reset "
    "detonation window parameters to default values.";

}  // namespace

void TmSetUp::CreateFiringPage() {
  for (int n = 1; n <= kChannelCount; ++n) {
    const auto k = static_cast<size_t>(n - 1);
    LabCyl[k] = ChannelLabel(tsFirings, "LabCyl", n);
    seAngle[k] = AddBoundEdit(AngleEditSpec(n), tsFirings);
    seAngle[k]->setObjectName("seAngle" + QString::number(n));
    const char* hint = n % 2 == 1 ? "Set angle firing alpha" : "Set angle firing beta";
    seAngle[k]->setToolTip(hint);
    seAngle[k]->setStatusTip(hint);
  }
  btnFiringDefault = new QPushButton("Default", tsFirings);
  btnFiringDefault->setObjectName("btnFiringDefault");
  connect(btnFiringDefault, &QPushButton::clicked, this, [this] { btnFiringDefaultClick(); });
  PlaceInColumns(tsFirings, LabCyl, seAngle, btnFiringDefault);
}

void TmSetUp::CreateGainsPage() {
  for (int n = 1; n <= kChannelCount; ++n) {
    const auto k = static_cast<size_t>(n - 1);
    LblCyl[k] = ChannelLabel(tsGains, "LblCyl", n);
    seGain[k] = AddBoundEdit(GainEditSpec(n), tsGains);
    seGain[k]->setObjectName("seGain" + QString::number(n));
    seGain[k]->setToolTip("Set gain for sensor");
    seGain[k]->setStatusTip("Set gain for sensor");
    seGain[k]->setValue(100);
  }
  btnGainDefault = new QPushButton("Default", tsGains);
  btnGainDefault->setObjectName("btnGainDefault");
  connect(btnGainDefault, &QPushButton::clicked, this, [this] { btnGainDefaultClick(); });
  PlaceInColumns(tsGains, LblCyl, seGain, btnGainDefault);
}

double TmSetUp::MaxAngle() {
  return Zarno->SwitchBit(0) ? 720 : 360;
}

void TmSetUp::EnforceFiringOrder() {
  for (size_t n = 0; n + 1 < seAngle.size(); ++n) {
    TBoundSpinEdit* next = seAngle[n + 1];
    if (seAngle[n]->value() >= next->value()) next->setValue(next->Limited(seAngle[n]->value()));
  }
}

void TmSetUp::RecolourAngles() {
  const double maxAngle = MaxAngle();
  for (TBoundSpinEdit* edit : seAngle) {
    edit->SetLook(edit->value() > maxAngle ? TBoundSpinEdit::TLook::Marked
                                           : TBoundSpinEdit::TLook::Normal);
  }
}

void TmSetUp::btnFiringDefaultClick() {
  if (Ask(QMessageBox::Information, "Information", "Set all angles to default value?") !=
      QMessageBox::Yes) {
    return;
  }
  const int cylinders = Zarno->CylinderCount();
  const double maxAngle = MaxAngle();
  for (int n = 1; n <= kChannelCount; ++n) {
    seAngle[static_cast<size_t>(n - 1)]->setValue(DefaultFiringAngle(n, cylinders, maxAngle));
  }
}

void TmSetUp::btnGainDefaultClick() {
  if (Ask(QMessageBox::Information, "Information", "Set all gains to default value?") !=
      QMessageBox::Yes) {
    return;
  }
  for (TBoundSpinEdit* edit : seGain) edit->setValue(100);
}

void TmSetUp::SetWindowFormat() {
  const bool degrees = Zarno->WindowInDegrees();
  for (TBoundSpinEdit* edit : {seWindowDelay, seWindowWidth}) {
    const QSignalBlocker quiet(edit);  // switching the unit writes nothing
    const double value = edit->value();
    // A value from the controller above the valid range is shown (and marked), not cut.
    if (degrees) {
      const double maximum = edit == seWindowDelay ? Zarno->MaxWindowDelayDegrees() : 60;
      edit->SetFormat(1, 0.1, kWindowRestingDegrees, maximum);
    } else {
      edit->SetFormat(0, 1, kWindowMicroseconds, kWindowMicroseconds);
    }
    edit->setValue(value);
  }
  const QString unit = degrees ? "[°]" : "[µs]";
  lWindowDelayUnits->setText(unit);
  lWindowWidthUnits->setText(unit);
}

void TmSetUp::SetWindowDefaults() {
  const bool degrees = Zarno->WindowInDegrees();
  seWindowDelay->setValue(degrees ? 20.0 : 1000);
  seWindowWidth->setValue(degrees ? 30.0 : 1500);
}

void TmSetUp::CheckWindowFormat() {
  const bool degrees = Zarno->WindowInDegrees();
  if (degrees == lastWindowInDegrees_ && Initialised) return;
  const TWindowPair source{RawOf(idWindowDelay).value_or(0), RawOf(idWindowWidth).value_or(0)};
  lastWindowInDegrees_ = degrees;
  if (!Initialised) {
    SetWindowFormat();
    SetWindowDefaults();
    return;
  }
  if (Zarno->IsConnected()) {
    SetWindowFormat();  // the controller's values follow by reads
    return;
  }
  TWindowConversionRequest request;
  request.Direction =
      degrees ? TWindowDirection::MicrosecondsToDegrees : TWindowDirection::DegreesToMicroseconds;
  request.Source = source;
  request.FourStroke = Zarno->SwitchBit(0);
  request.Limits.MaxDelayDegrees = Zarno->MaxWindowDelayDegrees();
  const std::optional<TWindowPair> converted = ConvertWindowDialog(request);
  SetWindowFormat();
  if (!converted) {
    Notice(QMessageBox::Critical, "Error", kWindowCancelled);
    SetWindowDefaults();
    return;
  }
  Zarno->SetValue(idWindowDelay, TValue(converted->Delay));
  ZarnoObjectChanged(idWindowDelay);
  Zarno->SetValue(idWindowWidth, TValue(converted->Width));
  ZarnoObjectChanged(idWindowWidth);
}

std::optional<TWindowPair> TmSetUp::ConvertWindowDialog(const TWindowConversionRequest& request) {
  TCnvDetonWndParDlg dialog(*env_.Runner, this);
  dialog.SetDirection(request.Direction);
  dialog.SetSourceDelay(request.Source.Delay);
  dialog.SetSourceWidth(request.Source.Width);
  dialog.SetSpeed(request.Speed);
  dialog.SetFourStroke(request.FourStroke);
  dialog.SetLimits(request.Limits);
  if (env_.Runner->Exec(dialog) != QDialog::Accepted) return std::nullopt;
  return TWindowPair{dialog.ConvertedDelay(), dialog.ConvertedWidth()};
}

}  // namespace kalvist
