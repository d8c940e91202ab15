#include "About.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QResizeEvent>

#include "TextCodec.h"

namespace kalvist {

namespace {

constexpr int kLogoTop = 120;
constexpr int kLogoHeight = 100;

QLabel* CentredLine(QWidget* parent, int top, int height = 20) {
  auto* label = new QLabel(parent);
  label->setAlignment(Qt::AlignCenter);
  label->setGeometry(0, top, TfmAbout::kWidth, height);
  return label;
}

}  // namespace

TfmAbout::TfmAbout(const TVersionResource* resource, const QString& programFolder, QWidget* parent)
    : QDialog(parent),
      stProductName(CentredLine(this, 16, 24)),
      stVersion(CentredLine(this, 44)),
      stCopyright(CentredLine(this, 66)),
      laReleaseDate(CentredLine(this, 88)),
      imgMainIcon(new QLabel(this)),
      LogoImage(new QLabel(this)),
      btnOk_(new QPushButton("OK", this)),
      verInfo_(std::make_unique<TVerInfoRes>(resource)),
      programFolder_(programFolder) {
  setWindowTitle("About");
  setObjectName("fmAbout");
  QFont bold = stProductName->font();
  bold.setBold(true);
  bold.setPointSize(bold.pointSize() + 3);
  stProductName->setFont(bold);
  imgMainIcon->setGeometry(kWidth - 40, 8, 32, 32);
  imgMainIcon->setPixmap(QApplication::windowIcon().pixmap(32, 32));
  LogoImage->setGeometry(0, kLogoTop, kWidth, kLogoHeight);
  LogoImage->setAlignment(Qt::AlignCenter);

  btnOk_->setDefault(true);  // Escape closes a dialog as well
  btnOk_->setObjectName("btnOk");
  btnOk_->resize(75, 25);
  connect(btnOk_, &QPushButton::clicked, this, &QDialog::accept);
  LoadPlainPicture();
}

void TfmAbout::resizeEvent(QResizeEvent* event) {
  btnOk_->move((kWidth - btnOk_->width()) / 2, height() - btnOk_->height() - 12);
  QDialog::resizeEvent(event);
}

QPixmap TfmAbout::LoadPictureFile(const QString& name) {
  const QString path = QDir(programFolder_).filePath(name);
  if (!QFile::exists(path)) return {};
  QPixmap picture(path);
  if (picture.isNull()) pictureError_ = QString("Cannot load picture \"%1\"").arg(path);
  return picture;
}

void TfmAbout::LoadPlainPicture() {
  const QPixmap logo = LoadPictureFile("logo.jpg");
  LogoImage->setVisible(!logo.isNull());
  if (!logo.isNull()) {
    LogoImage->setPixmap(
        logo.scaled(LogoImage->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
  }
  setFixedSize(kWidth, logo.isNull() ? kHeight - kLogoHeight : kHeight);
}

void TfmAbout::showEvent(QShowEvent* event) {
  const QString productName =
      ProductNameText.isEmpty() ? FromCp1252(verInfo_->ProductName()) : ProductNameText;
  stProductName->setText(productName);
  stVersion->setText("Version " + QString::fromStdString(verInfo_->FileVersion().AsString()));
  stCopyright->setText(FromCp1252(verInfo_->LegalCopyright()));
  const std::string date = verInfo_->ReleaseDate();
  laReleaseDate->setText(date.empty() ? QString() : "Release date: " + FromCp1252(date));
  QDialog::showEvent(event);
}

TfmAboutTesvaro::TfmAboutTesvaro(const TVersionResource* resource, const QString& programFolder,
                                 QWidget* parent)
    : TfmAbout(resource, programFolder, parent),
      pnlTesvaro(new QWidget(this)),
      imgTesvaro(new QLabel(pnlTesvaro)),
      stVersionInfo(new QLabel(pnlTesvaro)) {
  pnlTesvaro->setAutoFillBackground(true);
  QPalette white = pnlTesvaro->palette();
  white.setColor(QPalette::Window, Qt::white);
  pnlTesvaro->setPalette(white);
  pnlTesvaro->setGeometry(0, 0, kWidth, 290);
  imgTesvaro->setGeometry(0, 0, kWidth, 230);
  imgTesvaro->setAlignment(Qt::AlignCenter);
  stVersionInfo->setGeometry(0, 234, kWidth, 52);
  stVersionInfo->setAlignment(Qt::AlignCenter);
  QFont narrow("Arial Narrow");
  narrow.setPixelSize(19);
  narrow.setBold(true);
  stVersionInfo->setFont(narrow);
  QPalette blue = stVersionInfo->palette();
  blue.setColor(QPalette::WindowText, QColor(80, 160, 208));
  stVersionInfo->setPalette(blue);
  LoadPanelPicture();
}

void TfmAboutTesvaro::LoadPanelPicture() {
  const QPixmap picture = LoadPictureFile("logo.bmp");
  pnlTesvaro->setVisible(!picture.isNull());
  if (picture.isNull()) return;
  imgTesvaro->setPixmap(
      picture.scaled(imgTesvaro->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
  LogoImage->hide();
  setFixedSize(kWidth, kHeight);
}

void TfmAboutTesvaro::showEvent(QShowEvent* event) {
  TfmAbout::showEvent(event);
  stVersionInfo->setText(stVersion->text() + "\n" + laReleaseDate->text());
}

}  // namespace kalvist
