// Threads converting at once get exactly what they get one after the other.
// The syntax job keeps no state between calls, but every call initialises and
// terminates the XML platform, whose count the library serialises; converters
// of the other jobs come and go meanwhile and do the same. The ThreadSanitizer
// build (scripts/test.sh --tsan) runs this file alone.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "pmmlxform/adp_convert.h"
#include "pmmlxform/convert_trans_to_pmml.h"

namespace {

constexpr int kThreads = 8;
constexpr int kRounds = 10;

// A data-preparation document of its own for each thread: different names and
// a different number of derived fields, one of them a string concatenation.
std::string document(int n) {
  const std::string s = std::to_string(n);
  std::string doc =
      "<PMML version=\"4.2\"><DataDictionary>"
      "<DataField name=\"in" + s + "\" optype=\"continuous\" dataType=\"double\"/>"
      "<DataField name=\"cat" + s + "\" optype=\"categorical\" dataType=\"string\"/>"
      "</DataDictionary><TransformationDictionary>";
  for (int i = 0; i <= n; ++i) {
    const std::string f = "f" + s + "_" + std::to_string(i);
    doc += "<DerivedField name=\"" + f + "\" optype=\"continuous\" dataType=\"double\">"
           "<Apply function=\"*\"><FieldRef field=\"in" + s + "\"/>"
           "<Constant dataType=\"double\">" + std::to_string(i + 1) + "</Constant></Apply>"
           "</DerivedField>";
  }
  doc += "<DerivedField name=\"m" + s + "\" optype=\"categorical\" dataType=\"string\">"
         "<Apply function=\"concat\"><FieldRef field=\"cat" + s + "\"/>"
         "<Constant dataType=\"string\">b" + s + "</Constant></Apply>"
         "</DerivedField></TransformationDictionary></PMML>";
  return doc;
}

struct Result {
  int code = -1;
  std::string syntax;
  std::string message;
  bool operator==(const Result& o) const {
    return code == o.code && syntax == o.syntax && message == o.message;
  }
};

Result convert(int n) {
  std::istringstream in(document(n));
  std::ostringstream out;
  Result r;
  // Odd threads ask for comments and the local code page, so both text paths run.
  r.code = ADP_Convert::convertPMMLtoSyntax(in, out, r.message, false, n % 2 == 0, n % 2 == 1);
  r.syntax = out.str();
  return r;
}

TEST(Concurrency, EightThreadsConvertingGiveTheSequentialOutputs) {
  std::vector<Result> expected;
  for (int n = 0; n < kThreads; ++n) {
    expected.push_back(convert(n));
    ASSERT_EQ(expected.back().code, 0) << expected.back().message;
  }
  std::vector<std::vector<Result>> got(kThreads);
  std::vector<std::thread> threads;
  for (int n = 0; n < kThreads; ++n) {
    threads.emplace_back([n, &got] {
      for (int round = 0; round < kRounds; ++round) got[n].push_back(convert(n));
    });
  }
  // Converters of the other jobs initialise and terminate the platform too.
  threads.emplace_back([] {
    for (int round = 0; round < kRounds; ++round) {
      ConvertTransToPMML converter;
      ConvertTransToPMML copy(converter);
    }
  });
  for (std::thread& t : threads) t.join();
  for (int n = 0; n < kThreads; ++n) {
    SCOPED_TRACE("thread " + std::to_string(n));
    ASSERT_EQ(got[n].size(), static_cast<std::size_t>(kRounds));
    for (const Result& r : got[n]) EXPECT_TRUE(r == expected[n]) << r.syntax;
  }
}

}  // namespace
