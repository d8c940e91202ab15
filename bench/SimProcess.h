// Runs zarno-sim as a separate process for end-to-end benchmarks, so that the
// simulator's own work and allocations stay out of the figures of the program side.
#pragma once

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace kalvist::bench {

class TSimProcess {
 public:
  explicit TSimProcess(std::vector<std::string> args) {
    int out[2];
    int in[2];
    if (pipe(out) != 0 || pipe(in) != 0) throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    // The simulator ends at the end of its standard input: keep that pipe open.
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_addclose(&actions, in[1]);
    args.insert(args.begin(), ZARNO_SIM_PATH);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, ZARNO_SIM_PATH, &actions, nullptr, argv.data(), environ) != 0) {
      throw std::runtime_error("cannot start " ZARNO_SIM_PATH);
    }
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(in[0]);
    stdin_ = in[1];
    // The simulator prints the slave path on its first line.
    stdout_ = fdopen(out[0], "r");
    char line[512] = {};
    if (!fgets(line, sizeof line, stdout_)) throw std::runtime_error("zarno-sim printed nothing");
    path_ = line;
    while (!path_.empty() && (path_.back() == '\n' || path_.back() == '\r')) path_.pop_back();
  }
  ~TSimProcess() {
    close(stdin_);
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    if (stdout_) fclose(stdout_);
  }
  TSimProcess(const TSimProcess&) = delete;
  TSimProcess& operator=(const TSimProcess&) = delete;

  const std::string& Path() const { return path_; }

 private:
  pid_t pid_ = 0;
  int stdin_ = -1;
  FILE* stdout_ = nullptr;
  std::string path_;
};

}  // namespace kalvist::bench
