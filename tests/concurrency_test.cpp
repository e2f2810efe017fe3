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

// A description and a syntax document, each with the thread's number for "@"
// so that a result built from another thread's document would show.
const char kDescription[] =
    "<TransformationDescription><Transformations><Variable name='x' type='numeric' "
    "level='scale'/><Recode source='x' target='r@' type='numeric' level='ordinal'><Rule>"
    "<Range low='LOWEST' high='@'/><To value='@'/></Rule></Recode></Transformations>"
    "</TransformationDescription>";
const char kSyntaxDoc[] =
    "<PMML version='4.2'><DataDictionary><DataField name='in@' optype='continuous' "
    "dataType='double'/></DataDictionary><TransformationDictionary><DerivedField name='f@' "
    "optype='continuous' dataType='double'><Apply function='*'><FieldRef field='in@'/>"
    "<Constant dataType='double'>@</Constant></Apply></DerivedField></TransformationDictionary>"
    "</PMML>";

std::string numbered(std::string text, int n) {
  const std::string s = std::to_string(n);
  for (std::size_t at = text.find('@'); at != std::string::npos; at = text.find('@', at + 1)) {
    text.replace(at, 1, s);
  }
  return text;
}

// Code, message and output of thread n's conversion. By n % 3: 0 converts to
// syntax in UTF-8, 1 in the local code page with comments, 2 transforms (the
// stylesheet resolves the recode through the library).
std::string convert(int n) {
  std::string message, output;
  int code;
  if (n % 3 == 2) {
    ConvertTransToPMML converter;
    std::vector<TmsEndInfo> vars;
    code = converter.transform(numbered(kDescription, n), output, message, vars);
  } else {
    std::istringstream in(numbered(kSyntaxDoc, n));
    std::ostringstream out;
    code = ADP_Convert::convertPMMLtoSyntax(in, out, message, false, n % 3 == 0, n % 3 == 1);
    output = out.str();
  }
  return std::to_string(code) + "|" + message + "|" + output;
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
