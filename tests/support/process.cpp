#include "tests/support/process.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <thread>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/personality.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ostrel::testing {

namespace {

// Gives the child descriptor `fd` (1 or 2) as `stream` asks; `pipe_fd` is the test's pipe.
void set_stream(int fd, Stream stream, int pipe_fd) {
  if (stream == Stream::captured) {
    ::dup2(pipe_fd, fd);
  } else if (stream == Stream::closed) {
    ::close(fd);
  } else if (stream == Stream::full) {
    const int full = ::open("/dev/full", O_WRONLY);
    ::dup2(full, fd);
    ::close(full);
  } else {
    int abandoned[2];
    if (::pipe(abandoned) != 0) ::_exit(126);
    ::close(abandoned[0]);
    ::dup2(abandoned[1], fd);
    ::close(abandoned[1]);
  }
}

// Runs in the forked child: only async-signal-safe calls, since the parent may have threads.
[[noreturn]] void child(const Invocation& inv, char* const* argv, char* const* envp, int in_fd,
                        int out_fd, int err_fd) {
  if (::chdir(inv.cwd.c_str()) != 0) ::_exit(126);
  if (in_fd >= 0) ::dup2(in_fd, 0);
  set_stream(1, inv.out, out_fd);
  set_stream(2, inv.err, err_fd);
  ::signal(SIGPIPE, SIG_DFL);  // as a shell leaves it, whatever the test runner does
  const rlimit no_core{0, 0};  // a signal that ends the run leaves no core file in its folder
  ::setrlimit(RLIMIT_CORE, &no_core);
  if (!std::string_view(OSTREL_WRAPPER).empty()) {
    // wine maps its shared user data at a fixed address, and now and then a randomized layout
    // has put something there first: wine then exits with 1 before the program starts, silently
    // ("failed to map the shared user data", c0000018). The same layout every run avoids that.
    ::personality(ADDR_NO_RANDOMIZE);
  }
  if (inv.file_size_limit) {
    const rlimit limit{*inv.file_size_limit, *inv.file_size_limit};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    // The program must keep SIGXFSZ from killing it itself. Windows has no such signal, so wine,
    // the Linux process that stands in for it, is spared it.
    ::signal(SIGXFSZ, std::string_view(OSTREL_WRAPPER).empty() ? SIG_DFL : SIG_IGN);
  }
  if (inv.run_as) {
    if (::setgroups(0, nullptr) != 0 || ::setgid(*inv.run_as) != 0 || ::setuid(*inv.run_as) != 0) {
      ::_exit(125);
    }
  }
  ::execve(argv[0], argv, envp);
  ::_exit(127);
}

// The environment of a run: the test's own, each variable of `set` (NAME=value, the last of a
// name counting) in place of any of the same name.
std::vector<std::string> environment_with(const std::vector<std::string>& set) {
  const auto name_of = [](std::string_view variable) { return variable.substr(0, variable.find('=')); };
  std::map<std::string_view, std::string_view> wanted;
  for (const std::string& variable : set) wanted[name_of(variable)] = variable;
  std::vector<std::string> env;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (!wanted.contains(name_of(*entry))) env.emplace_back(*entry);
  }
  for (const auto& [name, variable] : wanted) env.emplace_back(variable);
  return env;
}

}  // namespace

std::filesystem::path ostrel_binary() { return OSTREL_BINARY; }

std::filesystem::path ostrel_show_binary() { return OSTREL_SHOW_BINARY; }

bool testing_windows() { return OSTREL_TESTING_WINDOWS; }

std::filesystem::path windows_launcher() { return OSTREL_STD_HANDLES; }

bool posix_only_row(const std::vector<std::string>& args, std::string_view why) {
  if (!testing_windows()) return false;
  const bool raw = std::any_of(args.begin(), args.end(), [](const std::string& arg) {
    return arg.find_first_of("\xfe\xff") != std::string::npos;
  });
  if (!raw && why.empty()) return false;
  std::printf("POSIX only, skipped on Windows: %s\n",
              raw ? "bytes that are not UTF-8" : std::string(why).c_str());
  return true;
}

Outcome run_program(const Invocation& inv) {
  const std::string binary = inv.binary.string();
  std::string wrapper = OSTREL_WRAPPER;
  std::vector<char*> argv;
  if (!wrapper.empty() && inv.binary.extension() == ".exe") {
    argv.push_back(wrapper.data());
  }
  argv.push_back(const_cast<char*>(binary.c_str()));
  for (const std::string& arg : inv.args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  std::vector<std::string> set = inv.env;
  if (std::string_view(OSTREL_WRAPPER).empty()) set.insert(set.begin(), "LC_ALL=C.UTF-8");
  std::vector<std::string> env = environment_with(set);
  std::vector<char*> envp;
  for (std::string& variable : env) envp.push_back(variable.data());
  envp.push_back(nullptr);
  int in_pipe[2] = {-1, -1};
  int out_pipe[2];
  int err_pipe[2];
  if ((inv.input && ::pipe2(in_pipe, O_CLOEXEC) != 0) || ::pipe2(out_pipe, O_CLOEXEC) != 0 ||
      ::pipe2(err_pipe, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    child(inv, argv.data(), envp.data(), in_pipe[0], out_pipe[1],
          inv.merge_streams ? out_pipe[1] : err_pipe[1]);
  }
  ::close(out_pipe[1]);
  ::close(err_pipe[1]);
  if (inv.input) {
    // Small enough for the pipe to hold whole, so it is written before the output is read.
    ::close(in_pipe[0]);
    if (::write(in_pipe[1], inv.input->data(), inv.input->size()) !=
        static_cast<ssize_t>(inv.input->size())) {
      throw std::runtime_error("cannot write standard input");
    }
    ::close(in_pipe[1]);
  }

  Outcome outcome;
  pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&outcome.out, &outcome.err};
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(inv.timeout_ms);
  int open_fds = 2;
  int wait_status = 0;
  bool exited = false;
  while (open_fds > 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      outcome.timed_out = true;
      ::kill(pid, SIGKILL);
      break;
    }
    // A process the child started (wine starts its server and services) may hold the pipes
    // open after the child has gone: once the child has exited, what the pipes hold is read
    // and nothing more is waited for.
    const int wait_ms = exited ? 0 : static_cast<int>(std::min<long>(left.count(), 50));
    const int ready = ::poll(fds, 2, wait_ms);
    if (ready < 0 && errno != EINTR) break;
    if (ready == 0 && exited) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
      if (got > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open_fds;
      }
    }
    if (!exited) exited = ::waitpid(pid, &wait_status, WNOHANG) == pid;
  }
  for (const pollfd& fd : fds) {
    if (fd.fd >= 0) ::close(fd.fd);
  }
  while (!exited && ::waitpid(pid, &wait_status, 0) < 0 && errno == EINTR) {
  }
  outcome.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1;
  return outcome;
}

Outcome run_while(const Invocation& invocation, std::chrono::milliseconds delay,
                  const std::function<void()>& act) {
  Outcome outcome;
  std::thread run([&] { outcome = run_program(invocation); });
  std::this_thread::sleep_for(delay);
  act();
  run.join();
  return outcome;
}

std::optional<Invocation> under_strace(Invocation inv, std::vector<std::string> options) {
  // Whether strace is there and can inject a fault here (ptrace may be forbidden).
  static const bool usable = [] {
    Invocation probe{{"-o", "/dev/null", "-e", "inject=getpid:retval=42", "/bin/true"},
                     std::filesystem::current_path()};
    probe.binary = "/usr/bin/strace";
    return std::filesystem::exists(probe.binary) && run_program(probe).status == 0;
  }();
  if (!usable) return std::nullopt;
  // LeakSanitizer cannot work under ptrace; the sanitizer builds keep the rest of their checks.
  // Nor do a sanitizer's handlers of SIGSEGV, SIGBUS and SIGFPE stand in for the default action
  // of a signal strace sends.
  options.insert(options.begin(),
                 {"-o", "/dev/null", "-E",
                  "ASAN_OPTIONS=detect_leaks=0:handle_segv=0:handle_sigbus=0:handle_sigfpe=0"});
  options.push_back(inv.binary.string());
  inv.args.insert(inv.args.begin(), options.begin(), options.end());
  inv.binary = "/usr/bin/strace";
  return inv;
}

ScratchDir::ScratchDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "ostrel-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

Bytes read_bytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_bytes(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::vector<std::string> list_dir(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace ostrel::testing
