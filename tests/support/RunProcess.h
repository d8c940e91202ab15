// Runs a program to its end and collects its exit status and both output streams.
// A program that outlives the bound is killed and reported with status -1.
#pragma once

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

namespace kalvist::test {

struct TProcessResult {
  int Status = -1;
  std::string Out;
  std::string Err;
};

struct TProcessOptions {
  int BoundMs = 60000;
  // Given: standard input reads this text, then ends. Unset: the test's own.
  std::optional<std::string> Input;
  // "NAME=value" entries added to the test's environment.
  std::vector<std::string> Environment;
  // Sees the error stream so far whenever more of it arrives (to signal the process
  // at a chosen moment).
  std::function<void(pid_t pid, const std::string& err)> OnErr;
};

inline TProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                                 const TProcessOptions& options) {
  TProcessResult result;
  int out[2], err[2], in[2] = {-1, -1};
  if (pipe(out) != 0 || pipe(err) != 0) return result;
  if (options.Input && pipe(in) != 0) return result;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  posix_spawn_file_actions_addclose(&actions, err[0]);
  if (options.Input) {
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_addclose(&actions, in[1]);
  }
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> env;
  for (char** e = environ; *e; ++e) env.push_back(*e);
  for (const std::string& e : options.Environment) env.push_back(const_cast<char*>(e.c_str()));
  env.push_back(nullptr);
  pid_t pid = 0;
  const int spawned =
      posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), env.data());
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  close(err[1]);
  if (options.Input) {
    close(in[0]);
    // Small texts only: they fit the pipe, so the write does not wait for the reader.
    if (spawned == 0) (void)!write(in[1], options.Input->data(), options.Input->size());
    close(in[1]);
  }
  if (spawned != 0) {
    close(out[0]);
    close(err[0]);
    return result;
  }
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(options.BoundMs);
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
        if (i == 1 && options.OnErr) options.OnErr(pid, result.Err);
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

inline TProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                                 int boundMs = 60000) {
  TProcessOptions options;
  options.BoundMs = boundMs;
  return RunProcess(program, args, options);
}

}  // namespace kalvist::test
