// Sets the process's time zone through TZ for a test, and puts the old one back.
#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace kalvist::test {

#ifdef _WIN32
inline void SetZoneVariable(const char* zone) {
  _putenv_s("TZ", zone ? zone : "");
  _tzset();
}
#else
inline void SetZoneVariable(const char* zone) {
  if (zone) {
    setenv("TZ", zone, 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}
#endif

class TTimeZoneScope {
 public:
  TTimeZoneScope() {
    if (const char* saved = std::getenv("TZ")) saved_ = saved;
  }
  ~TTimeZoneScope() { SetZoneVariable(saved_ ? saved_->c_str() : nullptr); }
  TTimeZoneScope(const TTimeZoneScope&) = delete;
  TTimeZoneScope& operator=(const TTimeZoneScope&) = delete;
  // A POSIX TZ text such as "IST-5:30".
  void Set(const char* zone) { SetZoneVariable(zone); }

 private:
  std::optional<std::string> saved_;
};

}  // namespace kalvist::test
