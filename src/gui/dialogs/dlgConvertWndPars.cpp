#include "dlgConvertWndPars.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QVBoxLayout>

namespace kalvist {

namespace {

const char* const kMicroseconds = "[µs]";
const char* const kDegrees = "[°]";

QLabel* BoldValue(QWidget* parent, const char* name) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  QFont face = label->font();
  face.setBold(true);
  label->setFont(face);
  label->setMinimumWidth(60);
  return label;
}

// "Deton. window delay:" and "Deton. window width:" with their values.
void FillSide(QGroupBox* group, QLabel* delay, QLabel* width) {
  auto* grid = new QGridLayout(group);
  grid->addWidget(new QLabel("Deton. window delay:", group), 0, 0);
  grid->addWidget(delay, 0, 1);
  grid->addWidget(new QLabel("Deton. window width:", group), 1, 0);
  grid->addWidget(width, 1, 1);
}

void Colour(QLabel* label, bool red) {
  QPalette colours = label->palette();
  colours.setColor(QPalette::WindowText, red ? QColor(Qt::red) : QColor(Qt::black));
  label->setPalette(colours);
}

}  // namespace

TCnvDetonWndParDlg::TCnvDetonWndParDlg(IModalRunner& runner, QWidget* parent)
    : QDialog(parent), runner_(runner) {
  setObjectName("CnvDetonWndParDlg");
  setWindowTitle("Detonation window parameters conversion");
  gbSrc = new QGroupBox(this);
  gbSrc->setObjectName("gbSrc");
  gbDest = new QGroupBox(this);
  gbDest->setObjectName("gbDest");
  lbSrcDetonWndDelay = BoldValue(gbSrc, "lbSrcDetonWndDelay");
  lbSrcDetonWndWidth = BoldValue(gbSrc, "lbSrcDetonWndWidth");
  lbDstDetonWndDelay = BoldValue(gbDest, "lbDstDetonWndDelay");
  lbDstDetonWndWidth = BoldValue(gbDest, "lbDstDetonWndWidth");
  FillSide(gbSrc, lbSrcDetonWndDelay, lbSrcDetonWndWidth);
  FillSide(gbDest, lbDstDetonWndDelay, lbDstDetonWndWidth);

  lbStrokeValue = BoldValue(this, "lbStrokeValue");
  seSpeed = new QSpinBox(this);
  seSpeed->setObjectName("seSpeed");
  // Any number can be typed; one outside the speed range is refused when the field is left.
  seSpeed->setRange(0, 999999);
  seSpeed->setSingleStep(1);
  seSpeed->setValue(kDefaultWindowSpeed);
  seSpeed->setAutoFillBackground(true);
  btnOk = new QPushButton("OK", this);
  btnOk->setObjectName("btnOk");
  btnOk->setDefault(true);
  btnCancel = new QPushButton("Cancel", this);
  btnCancel->setObjectName("btnCancel");

  auto* sides = new QHBoxLayout;
  sides->addWidget(gbSrc);
  sides->addWidget(gbDest);
  auto* engine = new QGridLayout;
  engine->addWidget(new QLabel("Stroke", this), 0, 0);
  engine->addWidget(lbStrokeValue, 0, 1);
  engine->addWidget(new QLabel("Speed:", this), 1, 0);
  engine->addWidget(seSpeed, 1, 1);
  engine->addWidget(new QLabel("[rpm]", this), 1, 2);
  engine->setColumnStretch(3, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnOk);
  buttons->addWidget(btnCancel);
  auto* column = new QVBoxLayout(this);
  column->addLayout(sides);
  column->addLayout(engine);
  column->addLayout(buttons);

  connect(seSpeed, &QSpinBox::valueChanged, this, [this] { seSpeedChange(); });
  connect(seSpeed, &QSpinBox::editingFinished, this, [this] { seSpeedExit(); });
  connect(btnOk, &QPushButton::clicked, this, [this] { btnOkClick(); });
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  SetDirection(direction_);
  SetFourStroke(true);
}

QString TCnvDetonWndParDlg::ValueText(int64_t value, bool degrees) const {
  return degrees ? QString::number(value / 10.0, 'g', 16) : QString::number(value);
}

void TCnvDetonWndParDlg::SetDirection(TWindowDirection direction) {
  direction_ = direction;
  const bool degrees = SourceInDegrees();
  gbSrc->setTitle(QString("Source values %1").arg(degrees ? kDegrees : kMicroseconds));
  gbDest->setTitle(QString("Converted values %1").arg(degrees ? kMicroseconds : kDegrees));
  SetSourceDelay(source_.Delay);
  SetSourceWidth(source_.Width);
}

void TCnvDetonWndParDlg::SetSourceDelay(int64_t value) {
  source_.Delay = value;
  lbSrcDetonWndDelay->setText(ValueText(value, SourceInDegrees()));
  Recalculate();
}

void TCnvDetonWndParDlg::SetSourceWidth(int64_t value) {
  source_.Width = value;
  lbSrcDetonWndWidth->setText(ValueText(value, SourceInDegrees()));
  Recalculate();
}

void TCnvDetonWndParDlg::SetFourStroke(bool on) {
  fourStroke_ = on;
  lbStrokeValue->setText(on ? "4" : "2");
}

void TCnvDetonWndParDlg::SetLimits(const TWindowLimits& limits) {
  limits_ = limits;
  Recalculate();
}

void TCnvDetonWndParDlg::SetConvertedDelay(int64_t value) {
  converted_.Delay = value;
  lbDstDetonWndDelay->setText(ValueText(value, !SourceInDegrees()));
  Colour(lbDstDetonWndDelay, DelayAboveLimit(direction_, value, limits_));
}

void TCnvDetonWndParDlg::SetConvertedWidth(int64_t value) {
  converted_.Width = value;
  lbDstDetonWndWidth->setText(ValueText(value, !SourceInDegrees()));
  Colour(lbDstDetonWndWidth, WidthAboveLimit(direction_, value, limits_));
}

bool TCnvDetonWndParDlg::SpeedInRange() const {
  return seSpeed->value() >= kMinWindowSpeed && seSpeed->value() <= kMaxWindowSpeed;
}

void TCnvDetonWndParDlg::Recalculate() {
  // Until a valid speed is entered the converted values stay those of the last one.
  if (!SpeedInRange()) return;
  const TWindowPair converted = ConvertWindow(direction_, source_, seSpeed->value());
  SetConvertedDelay(converted.Delay);
  SetConvertedWidth(converted.Width);
}

void TCnvDetonWndParDlg::seSpeedChange() {
  QPalette colours = seSpeed->palette();
  colours.setColor(QPalette::Base,
                   SpeedInRange() ? QPalette().color(QPalette::Base) : QColor(Qt::red));
  seSpeed->setPalette(colours);
  Recalculate();
}

void TCnvDetonWndParDlg::seSpeedExit() {
  if (SpeedInRange()) return;
  const int entered = seSpeed->value();
  const int nearest = ClampWindowSpeed(entered);
  QMessageBox box(QMessageBox::Warning, "Warning",
                  QString("Allowed speed range is %1 [rpm] to %2 [rpm]. Your inserted speed %3 "
                          "[rpm] is out of range and will be adjusted to %4 [rpm].")
                      .arg(kMinWindowSpeed)
                      .arg(kMaxWindowSpeed)
                      .arg(entered)
                      .arg(nearest),
                  QMessageBox::Ok, this);
  runner_.Exec(box);
  seSpeed->setValue(nearest);
}

void TCnvDetonWndParDlg::btnOkClick() {
  seSpeedExit();  // a speed still being typed counts as left
  const bool above = DelayAboveLimit(direction_, converted_.Delay, limits_) ||
                     WidthAboveLimit(direction_, converted_.Width, limits_);
  if (above) {
    QMessageBox box(QMessageBox::Warning, "Warning",
                    "Red coloured parameter(s) is out of range. If you press button OK,\r\n this "
                    "parameter(s) will be automatically adjusted to nearest valid value(s).",
                    QMessageBox::Ok | QMessageBox::Cancel, this);
    if (runner_.Exec(box) != QMessageBox::Ok) return;  // the dialog stays open
    const TWindowPair clamped = ClampToLimits(direction_, converted_, limits_);
    SetConvertedDelay(clamped.Delay);
    SetConvertedWidth(clamped.Width);
  }
  accept();
}

void TCnvDetonWndParDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  Recalculate();
}

}  // namespace kalvist
