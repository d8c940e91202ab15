// A two-channel oscilloscope for the recording window: "Sound" (the sensor signal) and
// "Sync" (the synchronisation mark), a fixed time base, and an automatic trigger on
// "Sync" rising through half its height; without a trigger the newest samples show.
#pragma once

#include <QColor>
#include <QPointF>
#include <QWidget>
#include <span>
#include <vector>

namespace kalvist {

class TVrScope : public QWidget {
 public:
  static constexpr int kDivisionsX = 10;
  static constexpr int kDivisionsY = 8;
  static constexpr double kSoundPerDivision = 2;  // signal / 4095 per division
  static constexpr double kSyncHigh = 32767.0 / 16383.0;

  explicit TVrScope(QWidget* parent = nullptr);

  double SecondsPerDivision = 0.01;
  QColor SoundColor = Qt::yellow;
  QColor SyncColor = Qt::green;

  // Empties the trace and sizes the buffers for this sample rate.
  void Clear(unsigned sampleRate);
  // One sample of each channel in scope units: the signal / 4095 and the mark / 16383.
  void Add(double sound, double sync);
  // Samples shown across the screen.
  int WindowSamples() const { return window_; }
  // The start of the samples shown, counted back from the newest: the latest rising
  // edge of "Sync" through half its height that leaves a whole screen after it, or the
  // newest screen when there is none.
  int TriggerStart() const;

  QSize sizeHint() const override { return {420, 200}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  struct TSample {
    float Sound;
    float Sync;
  };
  const TSample& Back(int age) const;  // age 1 is the newest
  void Trace(int back, float TSample::*channel, double scale, double zero,
             std::vector<QPointF>& points) const;

  std::vector<TSample> ring_;
  size_t head_ = 0;  // next slot to write
  size_t filled_ = 0;
  int window_ = 410;
  mutable std::vector<QPointF> soundPoints_;  // kept from frame to frame
  mutable std::vector<QPointF> syncPoints_;
};

}  // namespace kalvist
