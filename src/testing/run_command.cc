#include "testing/run_command.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace tavirelle {

namespace {

// The environment the program gets: this process's with the changes.
std::vector<std::string> Environment(const std::vector<std::string>& changes) {
  std::vector<std::string> result;
  for (char** at = environ; *at != nullptr; ++at) result.emplace_back(*at);
  for (const std::string& change : changes) {
    const std::string name = change.substr(0, change.find('='));
    std::erase_if(result, [&](const std::string& entry) {
      return entry.compare(0, name.size() + 1, name + "=") == 0;
    });
    if (change.find('=') != std::string::npos) result.push_back(change);
  }
  return result;
}

// The file exec would run for `program`, found before forking: the child
// may only make calls that are safe between fork and exec.
std::string Resolve(const std::string& program, const std::vector<std::string>& environment) {
  if (program.find('/') != std::string::npos) return program;
  std::string path = "/usr/local/bin:/usr/bin:/bin";
  for (const std::string& entry : environment) {
    if (entry.compare(0, 5, "PATH=") == 0) path = entry.substr(5);
  }
  for (size_t start = 0;;) {
    const size_t colon = path.find(':', start);
    std::string folder = path.substr(start, colon - start);
    std::string candidate = (folder.empty() ? "." : folder) + "/" + program;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  return program;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

double Now() {
  struct timespec now {};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

void CloseAll(std::initializer_list<int> fds) {
  for (int fd : fds) {
    if (fd >= 0) ::close(fd);
  }
}

}  // namespace

CommandRun RunCommand(const std::vector<std::string>& arguments, const CommandOptions& options) {
  if (arguments.empty()) throw std::runtime_error("RunCommand: no program");
  std::vector<std::string> environment = Environment(options.environment);
  const std::string program = Resolve(arguments[0], environment);
  std::vector<std::string> argv_texts = arguments;
  std::vector<char*> argv = Pointers(argv_texts);
  std::vector<char*> envp = Pointers(environment);

  int in = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (in < 0) throw std::runtime_error("RunCommand: cannot open /dev/null");
  int out[2], err[2], failure[2];
  if (::pipe2(out, O_CLOEXEC) != 0) {
    CloseAll({in});
    throw std::runtime_error("RunCommand: no pipe");
  }
  if (::pipe2(err, O_CLOEXEC) != 0) {
    CloseAll({in, out[0], out[1]});
    throw std::runtime_error("RunCommand: no pipe");
  }
  if (::pipe2(failure, O_CLOEXEC) != 0) {
    CloseAll({in, out[0], out[1], err[0], err[1]});
    throw std::runtime_error("RunCommand: no pipe");
  }
  const pid_t pid = ::fork();
  if (pid == 0) {
    // Only async-signal-safe calls from here to exec.
    ::dup2(in, 0);
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    if (options.address_space_limit != 0) {
      struct rlimit limit = {options.address_space_limit, options.address_space_limit};
      ::setrlimit(RLIMIT_AS, &limit);
    }
    if (options.file_size_limit != 0) {
      // Writes past the limit then fail with EFBIG, as on a full disk,
      // instead of killing the program.
      ::signal(SIGXFSZ, SIG_IGN);
      struct rlimit limit = {options.file_size_limit, options.file_size_limit};
      ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (!options.folder.empty() && ::chdir(options.folder.c_str()) != 0) {
      int e = errno;
      (void)!::write(failure[1], &e, sizeof e);
      ::_exit(127);
    }
    ::execve(program.c_str(), argv.data(), envp.data());
    int e = errno;
    (void)!::write(failure[1], &e, sizeof e);
    ::_exit(127);
  }
  CloseAll({in, out[1], err[1], failure[1]});
  if (pid < 0) {
    CloseAll({out[0], err[0], failure[0]});
    throw std::runtime_error("RunCommand: cannot fork");
  }
  int child_errno = 0;
  const bool start_failed = ::read(failure[0], &child_errno, sizeof child_errno) > 0;
  ::close(failure[0]);

  CommandRun run;
  const double deadline = Now() + options.deadline_seconds;
  struct pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* sinks[2] = {&run.out, &run.err};
  auto read_ready = [&](bool drain) {
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0) continue;
      if (!drain && (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
      for (;;) {
        char buffer[65536];
        const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
        if (n > 0) {
          sinks[i]->append(buffer, static_cast<size_t>(n));
          if (drain) continue;
        } else if (n < 0 && errno == EINTR) {
          continue;
        } else if (n == 0 || errno != EAGAIN) {
          ::close(fds[i].fd);
          fds[i].fd = -1;
        }
        break;
      }
    }
  };
  int status = 0;
  bool exited = false;
  while (!exited) {
    const double left = deadline - Now();
    if (left <= 0) {
      ::kill(pid, SIGKILL);
      run.timed_out = true;
      break;
    }
    // Short turns: a program that leaves a child of its own holding the
    // pipes open is done when it exits itself; once both pipes are closed
    // it is about to.
    const double turn = fds[0].fd < 0 && fds[1].fd < 0 ? 0.002 : 0.1;
    const int ready = ::poll(fds, 2, static_cast<int>(std::min(left, turn) * 1000) + 1);
    if (ready < 0 && errno != EINTR) break;
    if (ready > 0) read_ready(false);
    exited = ::waitpid(pid, &status, WNOHANG) == pid;
  }
  for (struct pollfd& p : fds) {
    if (p.fd >= 0) ::fcntl(p.fd, F_SETFL, ::fcntl(p.fd, F_GETFL) | O_NONBLOCK);
  }
  read_ready(true);
  for (const struct pollfd& p : fds) {
    if (p.fd >= 0) ::close(p.fd);
  }
  while (!exited && ::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (start_failed) {
    throw std::runtime_error("RunCommand: cannot start " + arguments[0] + ": " +
                             std::strerror(child_errno));
  }
  if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);
  return run;
}

std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

}  // namespace tavirelle
