#ifndef PMMLXFORM_TESTS_RANDOM_DOCUMENTS_H_
#define PMMLXFORM_TESTS_RANDOM_DOCUMENTS_H_

// Pieces of the randomized documents that the oracle tests compare the jobs'
// indexes and fast paths on.

#include <random>
#include <string>
#include <vector>

namespace testutil {

using Texts = std::vector<std::string>;

// Names that collide ignoring case, carry the rename marker, or are plain.
const Texts kNames = {"a",  "A", "b", "B",  "#a", "#b",  "ab",  "aB",
                      "Ab", "k", "K", "s1", "S1", "x_y", "X_Y", "i"};
const Texts kNumbers = {"1", "2", "5", "9", "9", "10", "2.5", "-1"};
const Texts kTexts = {"a", "b", "b", "XX", "", "a b"};

class Random {
 public:
  explicit Random(unsigned seed) : engine_(seed) {}
  int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(engine_); }
  bool chance(int percent) { return below(100) < percent; }
  std::string pick(const Texts& from) {
    return from[static_cast<std::size_t>(below(static_cast<int>(from.size())))];
  }
  std::string name() { return pick(kNames); }
  // What `piece` gives, `n` times over.
  template <typename F>
  std::string times(int n, F piece) {
    std::string out;
    while (n-- > 0) out += piece();
    return out;
  }

 private:
  std::mt19937 engine_;
};

}  // namespace testutil

#endif  // PMMLXFORM_TESTS_RANDOM_DOCUMENTS_H_
