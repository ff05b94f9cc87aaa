// The hand-over to the external energy programs, run in a child process against stand-ins for
// kelmo and qhx (tests/duopath/standins, first on PATH) in a fresh working directory: the input
// files, the order of the shell commands, the arithmetic on the energies read back, and the
// failures of broken answers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "tests/text_io_child.hpp"

namespace {

const std::string kStandins = std::string(SGL_SOURCE_DIR) + "/tests/duopath/standins";
const std::string kGolden = std::string(SGL_SOURCE_DIR) + "/tests/duopath/golden/energy/";

struct EnergyRun {
  std::string out, err, log, order, dir;
  int status = -1;
  std::string file(const std::string& name) const { return text_io_test::slurp(dir + "/" + name); }
};

// Runs the energy driver with the given methods ("k", "q", "m" letters, or "write"); the
// working directory is kept until the fixture ends so that the test can read its files.
class EnergyPrograms : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const auto& d : dirs_) std::system(("rm -rf '" + d + "'").c_str());
  }

  EnergyRun run(const std::string& methods, std::vector<std::string> env = {}, const std::string& input = "",
                bool standins_on_path = true, bool merge_err = false) {
    EnergyRun r;
    r.dir = text_io_test::temp_dir();
    dirs_.push_back(r.dir);
    text_io_test::ChildOptions child;
    child.input = input;
    child.cwd = r.dir;
    const char* path = std::getenv("PATH");
    env.push_back(std::string("XTALDIR=") + SGL_DATA_DIR);
    env.push_back("STANDIN_LOG=" + r.dir + "/order.log");
    env.push_back(standins_on_path ? "PATH=" + kStandins + ":" + (path ? path : "/usr/bin:/bin")
                                   : std::string("PATH=/usr/bin:/bin"));
    child.environment = env;
    child.merge_err = merge_err;
    const auto c = text_io_test::run_child({std::string(SGL_DRIVER_DIR) + "/duopath_energy_driver", methods}, child);
    r.out = c.out;
    r.err = c.err;
    r.status = c.status;
    r.log = r.file("duopath.log");
    r.order = r.file("order.log");
    return r;
  }

 private:
  std::vector<std::string> dirs_;
};

std::vector<double> numbers(const std::string& line) {
  std::istringstream in(line);
  std::vector<double> v;
  for (double x; in >> x;) v.push_back(x);
  return v;
}

std::string nth_line(const std::string& text, int n) {
  std::istringstream in(text);
  std::string line;
  for (int k = 0; k < n; ++k) std::getline(in, line);
  return line;
}

std::string barrier_line(const std::string& label, double value) {
  char text[120];
  std::snprintf(text, sizeof text, "%s%10.3f eV\n", label.c_str(), value);
  return text;
}

// The files duopath hands over, byte for byte. The goldens were checked by hand against the
// layouts; the numbers that carry arithmetic are checked again here from first principles.
TEST_F(EnergyPrograms, InputFilesMatchTheirLayouts) {
  const EnergyRun r = run("write");
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  for (const char* name : {"kelmo-crystal1.in", "kelmo-crystal2.in", "kelmo-midpoint.in", "qhx-crystal1.in",
                           "qhx-crystal2.in", "qhx-midpoint.in", "qhx-midpoint-pressure.in"}) {
    EXPECT_EQ(r.file(name), text_io_test::slurp(kGolden + name)) << name;
  }
  // Lengths in bohr divide by the single-precision constant widened to double, not by 0.529177.
  const double bohr = static_cast<double>(0.529177f);
  const auto line1 = numbers(nth_line(r.file("kelmo-crystal1.in"), 1));
  ASSERT_EQ(line1.size(), 6u);
  EXPECT_NEAR(line1[0], 5.64 / bohr, 1e-12);
  EXPECT_GT(std::fabs(line1[0] - 5.64 / 0.529177), 1e-7);
  // The radius: 1.2 (0.75 V1 100 / 3.14)^0.33 / 0.529177 with V1 = a^3 / 8 of NaCl.
  const double v1 = 5.64 * 5.64 * 5.64 / 8;
  const double radius = 1.2 * std::pow(0.75 * v1 * 100 / static_cast<double>(3.14f), static_cast<double>(0.33f)) / 0.529177;
  EXPECT_NEAR(numbers(nth_line(r.file("kelmo-crystal1.in"), 13))[0], radius, 1e-12);
  // The midpoint cell has the mean primitive volume of both ends at the mean angle, 75 degrees.
  const auto mid = numbers(nth_line(r.file("qhx-midpoint.in"), 2));
  const double ca = std::cos(75.0 * M_PI / 180);
  const double volume = mid[0] * mid[0] * mid[0] * std::sqrt(1 - 3 * ca * ca + 2 * ca * ca * ca);
  EXPECT_NEAR(volume, (5.64 * 5.64 * 5.64 / 4 + 4.12 * 4.12 * 4.12) / 2, 1e-10);
  EXPECT_EQ(mid[3], 75.0);
  // The pressure form gives 160 p (GPa) after "20".
  EXPECT_EQ(nth_line(r.file("qhx-midpoint-pressure.in"), 15), "   1.60000000000000");
}

// A constant energy per atom: every barrier is zero, p is zero (zero-pressure form), and the
// commands run in order: "echo test" once before the first rm, then one rm before every run.
TEST_F(EnergyPrograms, ConstantEnergyGivesZeroBarriersAndTheCommandOrder) {
  const EnergyRun r = run("kqm", {"STANDIN_MODE=constant:-3.5"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  const std::string barriers = barrier_line("Estimated energy barrier using KELMO: ", 0.0) +
                               barrier_line("Estimated energy barrier using quanthop: ", 0.0);
  EXPECT_NE(r.out.find(barriers), std::string::npos) << r.out;
  EXPECT_EQ(r.log.substr(0, barriers.size()), barriers);
  EXPECT_EQ(r.order,
            "rm energy.out: test\nkelmo\nrm energy.out: -7.0\nkelmo\n"
            "rm energy.out: -7.0\nqhx\nrm energy.out: -7.0\nqhx\n"
            "rm energy.out: -7.0\nkelmo\nrm energy.out: -7.0\nqhx\n");
  // The pressure line goes to standard output only.
  EXPECT_NE(r.out.find("Pressure: "), std::string::npos);
  EXPECT_EQ(r.log.find("Pressure"), std::string::npos);
  EXPECT_EQ(r.file("qhx.in.6").find("\n 20\n"), std::string::npos);
}

TEST_F(EnergyPrograms, WithoutKelmoNoEchoRuns) {
  const EnergyRun r = run("q", {"STANDIN_MODE=constant:1.25"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.order, "rm energy.out: absent\nqhx\nrm energy.out: 2.5\nqhx\nrm energy.out: 2.5\nqhx\n");
}

// E = N k (v - v0)^2 (+ N p v in the pressure form): every barrier is -k (v1 - v2)^2 / 4, with
// kelmo's in cubic bohr and hartree, times 27.196.
TEST_F(EnergyPrograms, QuadraticEnergyGivesTheKnownBarrier) {
  const double bohr = static_cast<double>(0.529177f);
  const double v1 = 5.64 * 5.64 * 5.64 / 8, v2 = 4.12 * 4.12 * 4.12 / 2;  // cubic angstrom per atom
  const double dv_bohr = (v1 - v2) / (bohr * bohr * bohr);
  struct Case {
    std::string methods, mode, label;
    double expected;
    bool pressure_form;
  };
  const Case cases[] = {
      {"k", "quadratic:1e-4:150", "Estimated energy barrier using KELMO: ",
       -1e-4 * dv_bohr * dv_bohr / 4 * static_cast<double>(27.196f), false},
      {"q", "quadratic:0.01:20", "Estimated energy barrier using quanthop: ", -0.01 * (v1 - v2) * (v1 - v2) / 4, true},
      // v0 midway between the two volumes: both ends have one energy, p = 0, zero-pressure form.
      {"q", "quadratic:0.01:" + std::to_string((v1 + v2) / 2), "Estimated energy barrier using quanthop: ",
       -0.01 * (v1 - v2) * (v1 - v2) / 4, false},
  };
  for (const Case& c : cases) {
    const EnergyRun r = run(c.methods, {"STANDIN_MODE=" + c.mode});
    ASSERT_EQ(r.status, 0) << c.mode << r.out << r.err;
    EXPECT_NE(r.out.find(barrier_line(c.label, c.expected)), std::string::npos) << c.mode << "\n" << r.out;
    const std::string last = r.file(c.methods == "k" ? "kelmo.in.3" : "qhx.in.3");
    EXPECT_EQ(last.find("\n 20\n") != std::string::npos, c.pressure_form) << c.mode;
  }
}

// Scripted answers: the arithmetic on the numbers read back (kelmo: per atom, times 27.196,
// against the mean; quanthop with p != 0: e - E_Q(1) - V1 p).
TEST_F(EnergyPrograms, ScriptedAnswers) {
  const std::string dir = text_io_test::temp_dir();
  text_io_test::spill(dir + "/kelmo", "-10\n-12\n-10.5\n");
  text_io_test::spill(dir + "/qhx", "-4 3.0\n|-6\n-4.5, 7\n");
  const EnergyRun k = run("k", {"STANDIN_MODE=script:" + dir + "/kelmo"});
  EXPECT_NE(k.out.find(barrier_line("Estimated energy barrier using KELMO: ",
                                    (-10.5 / 2 - (-10.0 / 2 + -12.0 / 2) / 2) * static_cast<double>(27.196f))),
            std::string::npos)
      << k.out;
  // A first line with two numbers gives the first; a blank line before the number is skipped.
  const EnergyRun q = run("q", {"STANDIN_MODE=script:" + dir + "/qhx"});
  std::system(("rm -rf '" + dir + "'").c_str());
  const double v1 = 5.64 * 5.64 * 5.64 / 8, v2 = 4.12 * 4.12 * 4.12 / 2;
  const double p = -(-3.0 - -2.0) / (v2 - v1);
  // 160 p = 12.7577 GPa, four significant digits in G12.4.
  ASSERT_NEAR(p * 160, 12.7577, 1e-4);
  EXPECT_NE(q.out.find("Pressure:    12.76     GPa\n"), std::string::npos) << q.out;
  EXPECT_NE(q.out.find(barrier_line("Estimated energy barrier using quanthop: ", -4.5 / 2 - -2.0 - v1 * p)),
            std::string::npos)
      << q.out;
}

// Broken answers end the run with the run's failure text on standard output only, the two lines
// of the fatal stop and exit status 1; a valid answer with a non-zero exit status is a result.
TEST_F(EnergyPrograms, BrokenAnswersStopTheRun) {
  const std::string dir = text_io_test::temp_dir();
  text_io_test::spill(dir + "/midpoint", "-4\n-4\nabc\n");       // p = 0: zero-pressure form
  text_io_test::spill(dir + "/pressure", "-4\n-6\n,5\n");        // p != 0: pressure form
  struct Case {
    std::string methods, mode;
    bool on_path;
    std::string failure;  // empty: a normal end
  };
  const Case cases[] = {
      {"k", "empty", true, "Error in kelmo"},
      {"k", "abc", true, "Error in kelmo"},
      {"k", "test", true, "Error in kelmo"},
      {"k", "null", true, "Error in kelmo"},
      {"k", "slash", true, "Error in kelmo"},
      {"k", "nan", true, "Error in kelmo"},
      {"k", "constant:-1", false, "Error in kelmo"},
      {"q", "null", true, "Error in quanthop"},
      {"q", "slash", true, "Error in quanthop"},
      {"q", "nan", true, "Error in quanthop"},
      {"q", "constant:-1", false, "Error in quanthop"},
      {"q", "script:" + dir + "/midpoint", true, "Error in qhx"},
      {"q", "script:" + dir + "/pressure", true, "Error in qhx"},
      {"kq", "exit:-2", true, ""},
  };
  for (const Case& c : cases) {
    const EnergyRun r = run(c.methods, {"STANDIN_MODE=" + c.mode}, "", c.on_path);
    const std::string what = c.methods + " " + c.mode + (c.on_path ? "" : " (no program)");
    if (c.failure.empty()) {
      EXPECT_EQ(r.status, 0) << what << r.out << r.err;
      EXPECT_NE(r.log.find("using quanthop:      0.000 eV"), std::string::npos) << what << r.log;
      continue;
    }
    EXPECT_EQ(r.status, 1) << what;
    const std::string tail = " " + c.failure + "\nThis program has bombed\nexit\n";
    ASSERT_GE(r.out.size(), tail.size()) << what;
    EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail) << what << "\n" << r.out;
    EXPECT_EQ(r.log.find("Error"), std::string::npos) << what;
    if (c.mode.ends_with("/pressure")) {
      EXPECT_NE(r.file("qhx.in.3").find("\n 20\n"), std::string::npos);
    }
  }
  std::system(("rm -rf '" + dir + "'").c_str());
}

// Extra lines of quanthop: trailing blanks removed, leading blanks kept, after one blank.
TEST_F(EnergyPrograms, ExtraLinesOfQuanthop) {
  const EnergyRun r = run("q", {"STANDIN_MODE=constant:-1", "STANDIN_EXTRA=3"}, "  two blanks   \nplain\n\n");
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  const std::string in = r.file("qhx.in.1");
  EXPECT_NE(in.find("0.500000000000000\n   two blanks\n plain\n \n 1\n 0\n"), std::string::npos) << in;
}

// Report lines and what the programs write on a shared output come in the order things happened:
// nothing of standard output is held back while a command runs.
TEST_F(EnergyPrograms, ReportLinesStayInOrderWithTheProgramsMessages) {
  const EnergyRun r = run("kq", {"STANDIN_MODE=constant:-1", "STANDIN_SAY=1"}, "", true, true);
  ASSERT_EQ(r.status, 0) << r.out;
  std::istringstream in(r.out);
  std::string order;
  for (std::string line; std::getline(in, line);) order += line.substr(0, 10) + "|";
  EXPECT_EQ(order,
            "stand-in k|stand-in k|stand-in q|stand-in q|Pressure: |"
            "stand-in k|Estimated |stand-in q|Estimated |");
}

}  // namespace
