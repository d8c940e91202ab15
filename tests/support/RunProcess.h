// Runs a program to its end and collects its exit status and both output streams.
// A program that outlives the bound is killed and reported with status -1.
#pragma once

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

extern char** environ;

namespace kalvist::test {

struct TProcessResult {
  int Status = -1;
  std::string Out;
  std::string Err;
};

inline TProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                                 int boundMs = 60000) {
  TProcessResult result;
  int out[2], err[2];
  if (pipe(out) != 0 || pipe(err) != 0) return result;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  posix_spawn_file_actions_addclose(&actions, err[0]);
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  close(err[1]);
  if (spawned != 0) {
    close(out[0]);
    close(err[0]);
    return result;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs);
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.Out, &result.Err};
  int open = 2;
  bool killed = false;
  while (open > 0) {
    if (std::chrono::steady_clock::now() > deadline && !killed) {
      kill(pid, SIGKILL);
      killed = true;
    }
    if (poll(fds, 2, 100) < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
      char buffer[4096];
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(n));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  int status = 0;
  waitpid(pid, &status, 0);
  result.Status = !killed && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

}  // namespace kalvist::test
