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

// Each thread's own document: its own names, n + 1 products and one concatenation.
std::string document(int n) {
  const std::string s = std::to_string(n);
  std::string doc = "<PMML version='4.2'><DataDictionary><DataField name='in" + s +
                    "' optype='continuous' dataType='double'/><DataField name='cat" + s +
                    "' optype='categorical' dataType='string'/></DataDictionary>"
                    "<TransformationDictionary>";
  for (int i = 0; i <= n; ++i) {
    doc += "<DerivedField name='f" + s + "_" + std::to_string(i) +
           "' optype='continuous' dataType='double'><Apply function='*'><FieldRef field='in" + s +
           "'/><Constant dataType='double'>" + std::to_string(i + 1) +
           "</Constant></Apply></DerivedField>";
  }
  return doc + "<DerivedField name='m" + s + "' optype='categorical' dataType='string'>" +
         "<Apply function='concat'><FieldRef field='cat" + s + "'/><Constant dataType='string'>b" +
         s + "</Constant></Apply></DerivedField></TransformationDictionary></PMML>";
}

// Code, message and syntax of one conversion. Odd threads ask for comments and
// the local code page, so both text paths run.
std::string convert(int n) {
  std::istringstream in(document(n));
  std::ostringstream out;
  std::string message;
  const int code =
      ADP_Convert::convertPMMLtoSyntax(in, out, message, false, n % 2 == 0, n % 2 == 1);
  return std::to_string(code) + "|" + message + "|" + out.str();
}

TEST(Concurrency, EightThreadsConvertingGiveTheSequentialOutputs) {
  std::vector<std::string> expected;
  for (int n = 0; n < kThreads; ++n) {
    expected.push_back(convert(n));
    ASSERT_EQ(expected.back().rfind("0|", 0), 0u) << expected.back();
  }
  std::vector<std::vector<std::string>> got(kThreads);
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
    EXPECT_EQ(got[n], std::vector<std::string>(kRounds, expected[n])) << "thread " << n;
  }
}

}  // namespace
