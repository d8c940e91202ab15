// Beyond the live picture: a CSV record of every poll answer ("Log live values..."),
// and the history plot's own tools: pause, a cursor readout, "Save picture..." and
// "Export history...".
#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QTextStream>
#include <chrono>
#include <cmath>
#include <map>

#include "Main.h"
#include "TextCodec.h"

namespace kalvist {

namespace {

TLogClock::time_point FromPlotTime(double seconds) {
  return TLogClock::time_point(
      std::chrono::duration_cast<TLogClock::duration>(std::chrono::duration<double>(seconds)));
}

}  // namespace

void TmSetUp::CreateLiveActions() {
  actLogLiveValues = new QAction("Log live values...", this);
  actLogLiveValues->setObjectName("actLogLiveValues");
  actLogLiveValues->setStatusTip("Log live values to a CSV file");
  actLogLiveValues->setCheckable(true);
  actLogLiveValues->setEnabled(false);
  connect(actLogLiveValues, &QAction::triggered, this, [this] { actLogLiveValuesExecute(); });

  actPlotPause = new QAction("Pause", this);
  actPlotPause->setObjectName("actPlotPause");
  actPlotPause->setCheckable(true);
  connect(actPlotPause, &QAction::toggled, this, [this](bool on) { SetPlotPaused(on); });
  actSavePicture = new QAction("Save picture...", this);
  actSavePicture->setObjectName("actSavePicture");
  connect(actSavePicture, &QAction::triggered, this, [this] {
    SaveThroughDialog("Save picture", "PNG picture (*.png)", "png",
                      [this](const QString& file) { return SavePlotPicture(file); });
  });
  actExportHistory = new QAction("Export history...", this);
  actExportHistory->setObjectName("actExportHistory");
  connect(actExportHistory, &QAction::triggered, this, [this] {
    SaveThroughDialog("Export history", "CSV file (*.csv)", "csv",
                      [this](const QString& file) { return ExportPlotHistory(file); });
  });
}

QString TmSetUp::AskSaveFile(const QString& caption, const QString& filter, const QString& suffix) {
  QFileDialog dialog(this, caption, env_.Paths.ProgramFolder, filter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(suffix);
  if (env_.Runner->Exec(dialog) != QDialog::Accepted) return {};
  return dialog.selectedFiles().value(0);
}

void TmSetUp::SaveThroughDialog(const QString& caption, const QString& filter,
                                const QString& suffix,
                                const std::function<bool(const QString&)>& save) {
  const QString file = AskSaveFile(caption, filter, suffix);
  if (!file.isEmpty() && !save(file)) {
    Notice(QMessageBox::Warning, "Warning", "The file could not be written:\n" + file);
  }
}

void TmSetUp::actLogLiveValuesExecute() {
  if (LiveLog->IsOpen()) {
    StopLiveLog();
    return;
  }
  actLogLiveValues->setChecked(false);
  const QString file = AskSaveFile("Log live values", "CSV file (*.csv)", "csv");
  if (!file.isEmpty()) StartLiveLog(file);
}

bool TmSetUp::StartLiveLog(const QString& fileName) {
  if (!LiveLog->Open(fileName.toStdString())) {
    ReportLiveLogFailure();
    return false;
  }
  actLogLiveValues->setChecked(true);
  sbMain->update();  // the unit-name panel tells that logging runs
  return true;
}

QString TmSetUp::LiveLogNote() const {
  return LiveLog && LiveLog->IsOpen() ? QStringLiteral("Logging") : QString();
}

void TmSetUp::StopLiveLog() {
  const bool wasOpen = LiveLog->IsOpen();
  const bool closed = LiveLog->Close();
  actLogLiveValues->setChecked(false);
  sbMain->update();
  if (wasOpen && !closed) ReportLiveLogFailure();
}

void TmSetUp::WriteLiveLogRow() {
  // Only answers of the controller: the values cleared at a disconnect are none.
  if (!LiveLog->IsOpen() || !Zarno->IsConnected()) return;
  if (LiveLog->WriteRow(*Zarno, TLogClock::now())) return;
  // The log ends; polling goes on.
  StopLiveLog();
  ReportLiveLogFailure();
}

void TmSetUp::ReportLiveLogFailure() {
  const QString text = "Live values cannot be logged.\n" + FromCp1252(LiveLog->Error());
  // Not from inside the link's event: the box waits for the user.
  QMetaObject::invokeMethod(
      this, [this, text] { Notice(QMessageBox::Warning, "Warning", text); }, Qt::QueuedConnection);
}

void TmSetUp::SetPlotPaused(bool paused) {
  plotPaused_ = paused;
  actPlotPause->setChecked(paused);
  plotPausedNote_->setVisible(paused);
  // While paused the user may look back through the buffered minutes.
  iPlot->setInteractions(paused ? QCP::Interactions(QCP::iRangeDrag | QCP::iRangeZoom)
                                : QCP::Interactions());
  iPlot->axisRect()->setRangeDrag(Qt::Horizontal);
  iPlot->axisRect()->setRangeZoom(Qt::Horizontal);
  if (!paused) {
    const double now = PlotNow();
    ScrollTimeAxis(now);
  }
  QueuePlotReplot();
}

void TmSetUp::ShowPlotCursor(const QPoint& position) {
  const QRect area = iPlot->axisRect()->rect();
  QString text;
  if (area.contains(position)) {
    const double time = iPlot->xAxis->pixelToCoord(position.x());
    const double value = iPlot->yAxis->pixelToCoord(position.y());
    text = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(std::llround(time * 1000)))
               .toString("hh:mm:ss.zzz") +
           QString::asprintf("   %.1f %%", value);
  }
  if (text == plotCursor_->text()) return;
  plotCursor_->setText(text);
  iPlot->layer("cursor")->replot();
}

void TmSetUp::ShowPlotMenu(const QPoint& position) {
  QMenu menu(iPlot);
  menu.addAction(actPlotPause);
  menu.addSeparator();
  menu.addAction(actSavePicture);
  menu.addAction(actExportHistory);
  menu.exec(iPlot->mapToGlobal(position));
}

bool TmSetUp::SavePlotPicture(const QString& fileName) {
  return iPlot->savePng(fileName);
}

// One row per moment at which any channel got a point; a gap or a channel without a
// point at that moment is an empty field.
bool TmSetUp::ExportPlotHistory(const QString& fileName) {
  std::map<double, std::array<double, kChannelCount + 1>> rows;
  for (int channel = 0; channel <= kChannelCount; ++channel) {
    for (const QCPGraphData& point : *iPlot->graph(channel)->data()) {
      auto [row, added] = rows.try_emplace(point.key);
      if (added) row->second.fill(std::nan(""));
      row->second[static_cast<size_t>(channel)] = point.value;
    }
  }
  QFile file(fileName);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) return false;
  QTextStream out(&file);
  out << "time";
  for (int channel = 0; channel <= kChannelCount; ++channel) {
    out << "," << iPlot->graph(channel)->name();
  }
  out << "\n";
  for (const auto& [time, values] : rows) {
    out << QString::fromStdString(IsoLocalTime(FromPlotTime(time)));
    for (const double value : values) {
      out << ",";
      if (!std::isnan(value)) out << QString::number(value, 'f', 1);
    }
    out << "\n";
  }
  out.flush();
  return file.error() == QFileDevice::NoError;
}

}  // namespace kalvist
