// The About box: product name, version, copyright and release date from the program's
// version resource, the application icon, and an optional picture beside the
// executable. TfmAboutTesvaro is the engine-maker edition with a full-width picture.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QWidget>
#include <memory>

#include "vltVerInfo.h"

namespace kalvist {

class TfmAbout : public QDialog {
 public:
  static constexpr int kHeight = 440;
  static constexpr int kWidth = 350;

  // Throws what TVerInfoRes throws for an unusable resource. Pictures are looked for in
  // `programFolder`.
  TfmAbout(const TVersionResource* resource, const QString& programFolder,
           QWidget* parent = nullptr);

  // Replaces the resource's product name when not empty.
  QString ProductNameText;
  // Set when a picture file exists but cannot be decoded; the box goes on without it.
  QString PictureError() const { return pictureError_; }

  QLabel* stProductName;
  QLabel* stVersion;
  QLabel* stCopyright;
  QLabel* laReleaseDate;
  QLabel* imgMainIcon;
  QLabel* LogoImage;

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  // Null image, with PictureError set, for a file that exists but does not decode.
  QPixmap LoadPictureFile(const QString& name);
  const QString& ProgramFolder() const { return programFolder_; }

 private:
  // "logo.jpg" in the picture area at the bottom, and the box's height.
  void LoadPlainPicture();

  QPushButton* btnOk_;
  std::unique_ptr<TVerInfoRes> verInfo_;
  QString programFolder_;
  QString pictureError_;
};

class TfmAboutTesvaro : public TfmAbout {
 public:
  TfmAboutTesvaro(const TVersionResource* resource, const QString& programFolder,
                  QWidget* parent = nullptr);

  QWidget* pnlTesvaro;
  QLabel* imgTesvaro;
  QLabel* stVersionInfo;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // "logo.bmp" on the white panel, over the plain layout, at the full height.
  void LoadPanelPicture();
};

}  // namespace kalvist
