// What the GUI tests share: a runner that answers modal dialogs, and a main window in a
// folder of its own with an optional settings file.
#pragma once

#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <mutex>

#include "Main.h"
#include "MessageSink.h"
#include "QtMainThread.h"
#include "VersionResource.h"

namespace kalvist {

class TScriptedRunner : public IModalRunner {
 public:
  // Decides each dialog's result; by default every dialog is accepted.
  std::function<int(QDialog&)> Answer = [](QDialog&) { return QDialog::Accepted; };
  QStringList Titles;    // of every dialog shown, in order
  QStringList BoxTexts;  // of every message box shown

  int Exec(QDialog& dialog) override {
    Titles << dialog.windowTitle();
    if (const auto* box = qobject_cast<QMessageBox*>(&dialog)) BoxTexts << box->text();
    return Answer(dialog);
  }
};

// The device model's message boxes, kept instead of shown.
class TRecordingSink : public IMessageSink {
 public:
  void Show(const TMessage& m, std::function<void()> closed) override {
    {
      std::lock_guard lock(mutex_);
      texts_ << QString::fromStdString(m.Text);
    }
    closed();
  }
  QStringList Texts() const {
    std::lock_guard lock(mutex_);
    return texts_;
  }

 private:
  mutable std::mutex mutex_;
  QStringList texts_;
};

class TWindowRig {
 public:
  // Names are set so that the unit-names dialog stays away, unless `settings` says more.
  explicit TWindowRig(const QString& settings =
                          "[Setup]\r\nUnit20SensorsName=A\r\n"
                          "Unit2SensorsName=B\r\n") {
    if (!settings.isNull()) WriteSettings(settings);
    env_.MainThread = &mainThread_;
    env_.Runner = &Runner;
    env_.Paths = {dir_.path(), "kalvist", IniPath(), dir_.filePath("Parameters"),
                  dir_.filePath("Sound files")};
    env_.PortSources.Scan = [] { return std::vector<TPortInfo>{}; };
    env_.VersionResource = &ProgramVersionResource();
  }

  QString IniPath() const { return dir_.filePath("kalvist.ini"); }
  void WriteSettings(const QString& text) const {
    QFile file(IniPath());
    file.open(QIODevice::WriteOnly);
    file.write(text.toLatin1());
  }
  QString ReadSettings() const {
    QFile file(IniPath());
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
  }

  // The command line's arguments without its options, for the next Start.
  void SetArguments(const QStringList& arguments) { env_.Arguments = arguments; }

  TmSetUp& Start() {
    Window = std::make_unique<TmSetUp>(env_);
    return *Window;
  }

  TScriptedRunner Runner;

 private:
  QTemporaryDir dir_;
  TQtMainThread mainThread_;
  TMainEnvironment env_;

 public:
  std::unique_ptr<TmSetUp> Window;  // last: goes first, before the hand-over it uses
};

}  // namespace kalvist
