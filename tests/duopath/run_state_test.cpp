// What the crystal and keyword phases leave in the run object: the crystal inputs, the atom type
// table and the keyword settings. Each case runs the phases in a child process, whose standard
// input is the case's input, and hands a description of the state back through a file.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <sstream>
#include <string>

#include "duopath/run.hpp"
#include "tests/text_io_child.hpp"

namespace {

using RunObject = duopath::Run;

std::string after_keywords(const std::string& input, const std::function<std::string(const RunObject&)>& describe) {
  const std::string dir = text_io_test::temp_dir();
  text_io_test::spill(dir + "/stdin", input);
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0) _exit(2);
    const int in = open("stdin", O_RDONLY);
    const int out = open("stdout", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(in, 0);
    dup2(out, 1);
    setenv("XTALDIR", SGL_DATA_DIR, 1);
    RunObject run;
    run.start_up();
    run.read_crystals();
    run.read_keywords();
    text_io_test::spill("state", describe(run));
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  std::string state = WIFEXITED(status) && WEXITSTATUS(status) == 0
                          ? text_io_test::slurp(dir + "/state")
                          : "child ended with status " + std::to_string(status);
  std::system(("rm -rf '" + dir + "'").c_str());
  return state;
}

std::string g17(double x) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", x);
  return text;
}

const std::string kNaCl =
    "NaCl and CsCl\n"
    "225\n5.64 5.64 5.64 90 90 90\n2\nNa a\nCl b\n"
    "221\n4.12 4.12 4.12 90 90 90\n2\nNa a\nCl b\n";

TEST(RunState, DefaultsWhenNoKeywordFollows) {
  const std::string state = after_keywords(kNaCl, [](const duopath::Run& r) {
    const auto& s = r.settings;
    std::ostringstream o;
    o << g17(s.min_strain) << " " << g17(s.max_strain) << " " << s.min_size << " " << s.max_size << " "
      << s.bonds_given << s.shuffle_given << s.trace << s.same_volume << s.lattice_given << s.dim2
      << s.map_given << s.use_kelmo << s.use_quanthop << s.use_madelung << s.min_distance_percent << " "
      << g17(s.max_shuffle) << " " << s.type_max_shuffle.size() << " " << g17(s.type_max_shuffle[1]) << " "
      << s.type_min_distance.size() << " " << s.min_subgroup << " " << s.max_subgroup << " "
      << s.bond_case_count << " " << r.counters.tried_pair_count << r.counters.separator_due
      << r.counters.trial_list_number << " " << r.path_count << " " << r.wyckoff_letters;
    return o.str();
  });
  EXPECT_EQ(state, "0.6600000262260437 1.5 1 1 00000000000 1000000000 2 1000000000 2 1 230 0 010 0 "
                   "abcdefghijklmnopqrstuvwxyzA");
}

TEST(RunState, CrystalInputsAndTypeTable) {
  // Letter and coordinate forms; types met again keep their index, a new one comes last; a
  // letter-form line keeps all three parameter words, whatever the position uses (0 in a place
  // that it fixes).
  const std::string input =
      "t\n"
      "47\n3 4 5 90 90 90\n4\nA a\nB u 0 0.2 0.3\nA 0.5 0.5 0.5 extra words\nC 0.1 0.2 0.3\n"
      "221\n4 4 4 90 90 90\n2\nC c\nB 0.5 0.0 0.5\n";
  const std::string state = after_keywords(input, [](const duopath::Run& r) {
    std::ostringstream o;
    for (int t = 1; t <= r.types.count(); ++t) o << r.types.name(t) << ";";
    for (const auto& c : r.crystals) {
      o << "|" << c.space_group << " " << c.line_count << ":";
      for (const auto& l : c.lines) {
        o << " " << l.type << "," << l.wyckoff << "," << l.params[0] << "," << l.params[1] << "," << l.params[2];
      }
    }
    return o.str();
  });
  // Pmmm: u is (0,y,z), h is (1/2,1/2,1/2), and the general point is the 27th position, which
  // only coordinates reach. In Pm-3m (1/2,0,1/2) lies on the orbit of c (0,1/2,1/2).
  EXPECT_EQ(state,
            "A;B;C;|47 4: 1,1,0,0,0 2,21,0,0.2,0.3 1,8,0,0,0 3,27,0.1,0.2,0.3"
            "|221 2: 3,3,0,0,0 2,3,0,0,0");
}

TEST(RunState, OneLineKeywordsStoreWhatTheyEcho) {
  const std::string input = kNaCl +
                            "size 2 3\nsize 4\n"
                            "bonds2 * * 2 150\nbonds2 Cl Na 6 0.25\n"
                            "neighbor 50%\nneighbor 0.3 Na\n"
                            "shuffle 0.5 Cl\n"
                            "trace lattice1 extra\n"
                            "lattice 10 1,0,0 0,1,0 0,0,1 1/2,1/2,0 -2/4,1/2,0 0,0,-1/-1\n";
  // The last vector word is no fraction: checked below by its own case.
  const std::string valid = input.substr(0, input.rfind("0,0,-1/-1")) + "0,1/3,2/6\n";
  const std::string state = after_keywords(valid, [](const duopath::Run& r) {
    const auto& s = r.settings;
    std::ostringstream o;
    o << s.min_size << " " << s.max_size << " | " << s.bond_case_count << ": ";
    for (int c = 0; c < s.bond_case_count; ++c) {
      o << s.bond_case_types[c][0] << "," << s.bond_case_types[c][1] << "," << s.bond_case_neighbors[c] << ","
        << g17(s.bond_case_max_change[c]) << " ";
    }
    o << s.bond_neighbor_total << " | " << s.min_distance << " " << s.min_distance_percent << " "
      << s.type_min_distance[0] << "," << s.type_min_distance[1] << " | " << s.shuffle_given << " "
      << g17(s.max_shuffle) << " " << g17(s.type_max_shuffle[0]) << "," << s.type_max_shuffle[1] << " | "
      << s.trace << s.trace_lattice1 << s.trace_lattice2 << s.trace_map << " | " << s.lattice_given << " "
      << s.lattice_subgroup << ":";
    for (const auto& crystal : s.lattice_vectors) {
      for (const auto& v : crystal) o << " " << v[0] << "," << v[1] << "," << v[2] << "/" << v[3];
    }
    return o.str();
  });
  EXPECT_EQ(state,
            "2 4 | 2: 0,0,2,99.989997863769531 2,1,6,0.25 8 | 50 0 0.3,0 | 1 1000000000 1000000000,0.5 | "
            "1000 | 1 10: 1,0,0/1 0,1,0/1 0,0,1/1 1,1,0/2 -1,1,0/2 0,1,1/3");
}

TEST(RunState, KeywordBlocks) {
  std::string input = kNaCl +
                      "kelmo\nCl 2 5 0 1\nNa 1 ! one s electron\n"
                      "quanthop\nNa 0\nNa 11\nCl 17\n";
  // One line per type is read: a type whose number is 0 may come again, so the block's type
  // lines end before "Cl 17", which becomes the first of thirteen extra lines, all kept
  // (" end" and "END" among them) up to "end".
  for (int k = 1; k <= 10; ++k) input += "line " + std::to_string(k) + "\n";
  input += " end\nEND\nend\n";
  input += "madelung\nNa 2\nNa 1.5\n";
  input += "map 1000000000 2\n7 2 5\n3 999999999 0\n";  // the count sizes nothing: two lines are read
  const std::string state = after_keywords(input, [](const duopath::Run& r) {
    const auto& s = r.settings;
    std::ostringstream o;
    o << s.use_kelmo << ":";
    for (const auto& e : s.kelmo_electrons) o << " " << e[0] << "," << e[1] << "," << e[2] << "," << e[3];
    o << " | " << s.use_quanthop << ": " << s.quanthop_type_numbers[0] << "," << s.quanthop_type_numbers[1]
      << " " << s.quanthop_extra_lines.size() << " [" << s.quanthop_extra_lines[0].substr(0, 5) << "]["
      << s.quanthop_extra_lines[11] << "]"
      << " | " << s.use_madelung << ": " << s.madelung_charges[0] << "," << s.madelung_charges[1]
      << " | " << s.map_given << " " << s.atom_map.atom_count << " " << s.atom_map.entries.size() << ": "
      << s.atom_map.partner(7) << "," << s.atom_map.cell(7) << " " << s.atom_map.partner(3) << ","
      << s.atom_map.cell(3) << " " << s.atom_map.partner(1) << "," << s.atom_map.cell(1);
    return o.str();
  });
  EXPECT_EQ(state,
            "1: 1,0,0,0 2,5,0,1 | 1: 11,0 13 [Cl 17][ end" + std::string(76, ' ') +
                "] | 1: 1.5,0 | 1 1000000000 2: 2,5 999999999,0 0,0");
}

}  // namespace
