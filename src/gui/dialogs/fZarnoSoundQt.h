// The recording window on screen: the sensor and the elapsed time, the two-channel scope
// redrawn 15 times a second, the red warning and the button "Stop". It stays on top and
// runs modally in a loop of its own while the recording's events arrive.
#pragma once

#include <QDialog>
#include <QEventLoop>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "VrScope.h"
#include "fZarnoSound.h"

namespace kalvist {

class TfmZarnoSoundQt : public QDialog, public TfmZarnoSound {
 public:
  static constexpr int kRedrawMs = 1000 / 15;

  // `centreOn` is the window it opens over.
  TfmZarnoSoundQt(IMainThread& mainThread, QWidget* centreOn);

  void FeedScope(std::span<const TSoundFrame> frames) override;

  QLabel* lblSensorName;
  QLabel* lblTime;
  TVrScope* Scope;
  QLabel* lblWarning;
  QPushButton* bStop;

  // The user's way out by the keyboard is the same as "Stop".
  void reject() override { StopClick(); }

 protected:
  void Prepare(const std::string& sensorName, uint16_t sampleRate) override;
  void ShowTime(const std::string& text) override;
  void RunModal() override;
  void EndModal() override;

 private:
  QWidget* centreOn_;
  QEventLoop* loop_ = nullptr;  // while running modally
  QTimer* redraw_;
  bool fresh_ = false;  // samples arrived since the last redraw
};

}  // namespace kalvist
