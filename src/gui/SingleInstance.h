// One running program per settings file: a second start asks the first to come to the
// front and ends.
#pragma once

#include <QLocalServer>
#include <QString>
#include <functional>

namespace kalvist {

class TSingleInstance {
 public:
  // `key` names the instance (e.g. the settings file's path); it is hashed into a
  // server name of the current user.
  explicit TSingleInstance(const QString& key);

  // False when another instance runs; that one has been asked to come to the front.
  // Otherwise true: this process is the first and listens for later starts, or no
  // listening is possible here and the program runs unguarded.
  bool BecomePrimary();

  // Raised in the first instance when a later start asks for it.
  std::function<void()> OnActivate;

 private:
  QString name_;
  QLocalServer server_;
};

}  // namespace kalvist
