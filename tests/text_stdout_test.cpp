// Standard output written in blocks when it is not a terminal, and the moments it goes out before
// a block is full: standard error, another program on the same output, a stop, a fatal failure,
// an exception nobody catches, a prompt waiting for its answer, a line left open, every exit.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "text_io_child.hpp"

namespace {

using text_io_test::ChildOptions;
using text_io_test::run_driver;

std::string numbered_lines(int first, int last) {
  std::string out;
  char line[16];
  for (int k = first; k <= last; ++k) {
    std::snprintf(line, sizeof line, "line%5d\n", k);
    out += line;
  }
  return out;
}

// Standard output and standard error in one file (2>&1): every line comes where it was written.
TEST(TextStdout, SharedWithStandardErrorEveryLineKeepsItsPlace) {
  struct Case {
    const char* mode;
    std::string merged;
    int status;
  };
  const Case cases[] = {
      {"stop_text", "out\n STOP done\n", 1},
      {"bomb", " Error: something\nThis program has bombed\nexit\n STOP  \n", 1},
      {"read_end",
       "before\n? Input/Output Error:\n? Attempt to read past end of file\n? READ(UNIT=5,...\n"
       "? Standard input is empty\n",
       255},
      {"no_memory", "before\n? Input/Output Error:\n? Buffer allocation failed\n", 255},
      // A full block and more on both sides of the line on standard error, then the stop.
      {"interleave_blocks", numbered_lines(1, 1000) + "err\n" + numbered_lines(1001, 1002) +
                                " STOP end\n",
       1},
      // Another program on the same output, between two of our lines.
      {"command", "before\nchild\nchild err\nafter\n", 0},
  };
  ChildOptions merged;
  merged.merge_err = true;
  for (const Case& c : cases) {
    const auto r = run_driver({c.mode}, merged);
    EXPECT_EQ(r.out, c.merged) << c.mode;
    EXPECT_EQ(r.status, c.status) << c.mode;
  }
}

TEST(TextStdout, AnUncaughtExceptionComesAfterTheOutputWrittenBeforeIt) {
  ChildOptions merged;
  merged.merge_err = true;
  const auto r = run_driver({"uncaught"}, merged);
  EXPECT_EQ(r.status, 1000 + SIGABRT);
  EXPECT_EQ(r.out.rfind("before\n", 0), 0u) << r.out;
  EXPECT_NE(r.out.find("not caught"), std::string::npos) << r.out;
}

// Runs the driver with standard output on a terminal (a pseudo-terminal in raw mode, so that
// line feeds arrive unchanged) and returns what reached the terminal; nothing when the system
// has no pseudo-terminals to give.
std::optional<std::string> run_on_terminal(const std::vector<std::string>& args) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0) return std::nullopt;
  const int slave = ::grantpt(master) == 0 && ::unlockpt(master) == 0
                        ? ::open(::ptsname(master), O_RDWR | O_NOCTTY)
                        : -1;
  if (slave < 0) {
    ::close(master);
    return std::nullopt;
  }
  termios mode{};
  ::tcgetattr(slave, &mode);
  ::cfmakeraw(&mode);
  ::tcsetattr(slave, TCSANOW, &mode);
  std::vector<std::string> full{text_io_test::driver_path()};
  full.insert(full.end(), args.begin(), args.end());
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(master);
    ::dup2(slave, 1);
    std::vector<char*> argv;
    for (const std::string& a : full) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(slave);
  int status = 0;
  ::waitpid(pid, &status, 0);
  // What the child wrote waits in the terminal until read; the end of it reads as EIO.
  std::string seen;
  char buffer[4096];
  for (;;) {
    pollfd p{master, POLLIN, 0};
    if (::poll(&p, 1, 0) <= 0 || (p.revents & POLLIN) == 0) break;
    const ssize_t n = ::read(master, buffer, sizeof buffer);
    if (n <= 0) break;
    seen.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(master);
  return seen;
}

// A run killed by a signal passes none of the layer's exits: it shows what had been written out.
// On a terminal that is every line; elsewhere only a line left open ("$", a progress mark)
// sends the pending output on its way.
TEST(TextStdout, OnATerminalEveryLineAtOnceElsewhereInBlocks) {
  auto r = run_driver({"killed"});
  EXPECT_EQ(r.status, 1000 + SIGKILL);
  EXPECT_EQ(r.out, "");
  r = run_driver({"killed", "dot"});
  EXPECT_EQ(r.status, 1000 + SIGKILL);
  EXPECT_EQ(r.out, "line\n.");
  if (!run_on_terminal({"end"})) GTEST_SKIP() << "no pseudo-terminal available";
  EXPECT_EQ(run_on_terminal({"killed"}), "line\n");
  EXPECT_EQ(run_on_terminal({"killed", "dot"}), "line\n.");
  // Output that ends normally is the same on both.
  EXPECT_EQ(run_on_terminal({"interleave"}), "o1\no2..o3\n");
}

// Standard output on a pipe whose reader has gone: with less than a block written, the failure
// shows when the run ends, and it is still a failed write of unit 6.
TEST(TextStdout, AWriteFailureLeftForTheEndIsStillAWriteOfUnit6) {
  ChildOptions options;
  options.closed_stdout = true;
  const auto r = run_driver({"end"}, options);
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.err, "? System Error:\n? Broken pipe\n? WRITE(UNIT=6,...\n");
}

// A conversation through pipes: each answer is written only after its prompt has arrived. A
// prompt held back in the buffer while the program waits for its answer would be a deadlock; it
// shows here as a prompt that does not come within the time limit.
struct Conversation {
  std::string seen;       // everything standard output delivered
  std::string missing;    // the prompt that did not come, if any
  int status = -1;
};

Conversation converse(const std::vector<std::pair<std::string, std::string>>& script) {
  int to_child[2];
  int from_child[2];
  if (::pipe(to_child) != 0 || ::pipe(from_child) != 0) return {"", "no pipes", -1};
  const std::string driver = text_io_test::driver_path();
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(to_child[0], 0);
    ::dup2(from_child[1], 1);
    for (int fd : {to_child[0], to_child[1], from_child[0], from_child[1]}) ::close(fd);
    ::execl(driver.c_str(), driver.c_str(), "prompts", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(to_child[0]);
  ::close(from_child[1]);
  Conversation c;
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  // Takes what standard output has delivered; false at its end or when the time is up.
  auto read_more = [&] {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        limit - std::chrono::steady_clock::now());
    pollfd p{from_child[0], POLLIN, 0};
    if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
    char buffer[256];
    const ssize_t n = ::read(from_child[0], buffer, sizeof buffer);
    if (n <= 0) return false;
    c.seen.append(buffer, static_cast<std::size_t>(n));
    return true;
  };
  for (const auto& [prompt, answer] : script) {
    while (c.seen.find(prompt) == std::string::npos) {
      if (!read_more()) break;
    }
    if (c.seen.find(prompt) == std::string::npos) {
      c.missing = prompt;
      ::kill(pid, SIGKILL);
      break;
    }
    if (::write(to_child[1], answer.data(), answer.size()) != static_cast<ssize_t>(answer.size())) break;
  }
  ::close(to_child[1]);
  while (c.missing.empty() && read_more()) {
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  ::close(from_child[0]);
  c.status = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
  return c;
}

TEST(TextStdout, APromptIsOutBeforeTheReadWaitsForItsAnswer) {
  auto c = converse({{"first?\n", "2\n"}, {"second?\n", "3\n"}});
  EXPECT_EQ(c.missing, "");
  EXPECT_EQ(c.seen, "first?\nsecond?\n sum  5\n");
  EXPECT_EQ(c.status, 0);
  // Answers typed ahead, all at once before the first prompt: the same output.
  c = converse({{"", "2\n3\n"}});
  EXPECT_EQ(c.seen, "first?\nsecond?\n sum  5\n");
  EXPECT_EQ(c.status, 0);
}

}  // namespace
