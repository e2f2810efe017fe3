// Threads converting at once get exactly what they get one after the other.
// The syntax job keeps no state between calls, but every call initialises and
// terminates the XML platform, whose count the library serialises; the
// transform job's stylesheet calls back into the library through the one
// transformer a conversion holds at a time. The ThreadSanitizer build
// (scripts/test.sh --tsan) runs this file alone.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "pmmlxform/adp_convert.h"
#include "pmmlxform/convert_trans_to_pmml.h"

namespace {

constexpr int kThreads = 8;
constexpr int kRounds = 6;

// Code, message and output of thread n's conversion, of a document with the
// thread's own names and numbers so that a result built from another thread's
// document would show. By n % 3: 0 converts to syntax in UTF-8, 1 in the local
// code page with comments, 2 transforms a description (whose recode the
// stylesheet resolves through the library).
std::string convert(int n) {
  const std::string s = std::to_string(n);
  std::string message;
  if (n % 3 == 2) {
    ConvertTransToPMML converter;
    std::string out;
    std::vector<TmsEndInfo> vars;
    const int code = converter.transform(
        "<TransformationDescription><Transformations>"
        "<Variable name='x' type='numeric' level='scale'/>"
        "<Recode source='x' target='r" + s + "' type='numeric' level='ordinal'><Rule>"
        "<Range low='LOWEST' high='" + s + "'/><To value='" + s + "'/></Rule></Recode>"
        "</Transformations></TransformationDescription>",
        out, message, vars);
    return std::to_string(code) + "|" + message + "|" + out;
  }
  std::istringstream in(
      "<PMML version='4.2'><DataDictionary><DataField name='in" + s +
      "' optype='continuous' dataType='double'/></DataDictionary><TransformationDictionary>"
      "<DerivedField name='f" + s + "' optype='continuous' dataType='double'>"
      "<Apply function='*'><FieldRef field='in" + s + "'/><Constant dataType='double'>" + s +
      "</Constant></Apply></DerivedField></TransformationDictionary></PMML>");
  std::ostringstream out;
  const int code =
      ADP_Convert::convertPMMLtoSyntax(in, out, message, false, n % 3 == 0, n % 3 == 1);
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
  for (std::thread& t : threads) t.join();
  for (int n = 0; n < kThreads; ++n) {
    EXPECT_EQ(got[n], std::vector<std::string>(kRounds, expected[n])) << "thread " << n;
  }
}

}  // namespace
