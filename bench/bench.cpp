// Times each job against the XML libraries' own floor on the same input, in
// child processes, and prints medians, ratios, peak memory and the scaling
// exponent between the two largest sizes.
//
//   pmmlxform_bench [--jobs syntax,merge,transform] [--sizes 1000,10000,100000]
//                   [--transform-sizes 1000,10000] [--runs 3] [--limit SECONDS]
//                   [--all-node-kinds]
//   pmmlxform_bench --generate syntax|description|transformation|model N [--all-node-kinds]
//
// Run it under `nice -n 19`: only the ratios, measured side by side, count.
#include <pmmlxform/pmmlxform.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>
#include <xalanc/Include/PlatformDefinitions.hpp>
#include <xalanc/XSLT/XSLTInputSource.hpp>
#include <xalanc/XSLT/XSLTResultTarget.hpp>
#include <xalanc/XalanTransformer/XalanTransformer.hpp>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/MemBufFormatTarget.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/util/PlatformUtils.hpp>

#include "generators.h"

namespace {

using Clock = std::chrono::steady_clock;

// ---- the floor: what the XML libraries need for the same documents ----

std::size_t visit(const xercesc::DOMNode* node) {
  std::size_t count = 0;
  for (const xercesc::DOMNode* c = node->getFirstChild(); c != nullptr; c = c->getNextSibling()) {
    count += 1 + visit(c);
  }
  return count;
}

// Parses the text into a DOM, visits every node, serialises the document.
std::size_t parseVisitSerialise(const std::string& text) {
  xercesc::XercesDOMParser parser;
  parser.setDoNamespaces(false);
  xercesc::MemBufInputSource source(reinterpret_cast<const XMLByte*>(text.data()), text.size(),
                                    "bench", false);
  parser.parse(source);
  xercesc::DOMDocument* document = parser.getDocument();
  std::size_t nodes = visit(document);
  static const XMLCh kCore[] = u"Core";
  xercesc::DOMImplementation* impl =
      xercesc::DOMImplementationRegistry::getDOMImplementation(kCore);
  xercesc::DOMLSSerializer* serializer = impl->createLSSerializer();
  xercesc::DOMLSOutput* output = impl->createLSOutput();
  xercesc::MemBufFormatTarget target(1023);
  output->setByteStream(&target);
  serializer->write(document, output);
  nodes += target.getLen() > 0 ? 1 : 0;
  output->release();
  serializer->release();
  return nodes;
}

constexpr char kIdentity[] =
    "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
    "<xsl:template match=\"@*|node()\"><xsl:copy><xsl:apply-templates select=\"@*|node()\"/>"
    "</xsl:copy></xsl:template></xsl:stylesheet>";

// Xalan's identity stylesheet over its own source tree, then the result parsed.
std::size_t identityTransform(const std::string& text) {
  std::istringstream in(text);
  std::istringstream stylesheet(kIdentity);
  std::ostringstream out;
  xalanc::XalanTransformer transformer;
  const int status =
      transformer.transform(xalanc::XSLTInputSource(in), xalanc::XSLTInputSource(stylesheet),
                            xalanc::XSLTResultTarget(out));
  if (status != 0) {
    std::cerr << "identity transform failed: " << transformer.getLastError() << "\n";
    std::exit(2);
  }
  const std::string result = out.str();
  xercesc::XercesDOMParser parser;
  xercesc::MemBufInputSource source(reinterpret_cast<const XMLByte*>(result.data()), result.size(),
                                    "bench", false);
  parser.parse(source);
  return visit(parser.getDocument());
}

// ---- measuring in child processes ----

struct Run {
  double seconds;  // negative: failed or over the limit
  long maxRssKb;
};

// Runs `work` in a child; the child reports its own elapsed time through a
// pipe, the parent takes the peak resident size from wait4.
Run measure(const std::function<void()>& setup, const std::function<int()>& work, unsigned limit) {
  int fds[2];
  if (pipe(fds) != 0) std::exit(2);
  std::cout.flush();
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    setup();
    alarm(limit);
    const auto start = Clock::now();
    const int code = work();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (write(fds[1], &seconds, sizeof seconds) != sizeof seconds) _exit(3);
    _exit(code == 0 ? 0 : 4);
  }
  close(fds[1]);
  double seconds = -1;
  const bool got = read(fds[0], &seconds, sizeof seconds) == sizeof seconds;
  close(fds[0]);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  if (!got || !WIFEXITED(status) || WEXITSTATUS(status) != 0) seconds = -1;
  return {seconds, usage.ru_maxrss};
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? -1 : v[v.size() / 2];
}

struct Row {
  std::string job;
  std::size_t n;
  double jobSeconds, floorSeconds;
  long jobKb, floorKb;
};

std::vector<std::size_t> parseSizes(const std::string& text) {
  std::vector<std::size_t> sizes;
  std::stringstream in(text);
  std::string item;
  while (std::getline(in, item, ',')) sizes.push_back(std::stoul(item));
  return sizes;
}

void initPlatform() { xercesc::XMLPlatformUtils::Initialize(); }
void initXalan() {
  xercesc::XMLPlatformUtils::Initialize();
  xalanc::XalanTransformer::initialize();
}

int syntaxJob(const std::string& text) {
  std::istringstream in(text);
  std::ostringstream out;
  std::string message;
  const int code = ADP_Convert::convertPMMLtoSyntax(in, out, message, false, true, false);
  if (code != 0) std::cerr << "syntax: code " << code << ": " << message << "\n";
  return code;
}

int mergeJob(const std::string& trans, const std::string& model) {
  ConvertTransToPMML convert;
  std::string out, message;
  std::vector<TmsEndInfo> data, derived;
  std::vector<TmsMiningFieldInfo> mining;
  const int code = convert.mergePMML(trans, model, out, message, data, derived, mining);
  if (code != 0) std::cerr << "merge: code " << code << ": " << message << "\n";
  return code;
}

int transformJob(const std::string& text) {
  ConvertTransToPMML convert;
  std::string out, message;
  std::vector<TmsEndInfo> vars;
  const int code = convert.transform(text, out, message, vars);
  if (code != 0) std::cerr << "transform: code " << code << ": " << message << "\n";
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> jobs{"syntax", "merge", "transform"};
  std::vector<std::size_t> sizes{1000, 10000, 100000};
  std::vector<std::size_t> transformSizes{1000, 10000};
  int runs = 3;
  unsigned limit = 600;
  bool allKinds = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto next = [&]() -> std::string {
      if (i + 1 >= argc) {
        std::cerr << arg << " needs a value\n";
        std::exit(64);
      }
      return argv[++i];
    };
    if (arg == "--generate") {
      const std::string kind = next();
      const std::size_t n = std::stoul(next());
      const bool all = i + 1 < argc && std::string(argv[i + 1]) == "--all-node-kinds";
      if (kind == "syntax")
        std::cout << bench::dataPreparation(n, all);
      else if (kind == "description")
        std::cout << bench::description(n);
      else if (kind == "transformation")
        std::cout << bench::transformationPmml(n);
      else if (kind == "model")
        std::cout << bench::regressionModel(n);
      else
        return 64;
      return 0;
    }
    if (arg == "--jobs") {
      jobs.clear();
      std::stringstream in(next());
      std::string item;
      while (std::getline(in, item, ',')) jobs.push_back(item);
    } else if (arg == "--sizes") {
      sizes = parseSizes(next());
    } else if (arg == "--transform-sizes") {
      transformSizes = parseSizes(next());
    } else if (arg == "--runs") {
      runs = std::stoi(next());
    } else if (arg == "--limit") {
      limit = static_cast<unsigned>(std::stoul(next()));
    } else if (arg == "--all-node-kinds") {
      allKinds = true;
    } else {
      std::cerr << "unknown option " << arg << "\n";
      return 64;
    }
  }

  std::vector<Row> rows;
  std::printf("%-9s %7s %10s %10s %7s %10s %10s %7s\n", "job", "N", "job s", "floor s", "ratio",
              "job MB", "floor MB", "mem x");
  for (const std::string& job : jobs) {
    const auto& jobSizes = job == "transform" ? transformSizes : sizes;
    for (std::size_t n : jobSizes) {
      std::string a, b;
      std::function<void()> setup = initPlatform;
      std::function<int()> run, floor;
      if (job == "syntax") {
        a = bench::dataPreparation(n, allKinds);
        run = [&] { return syntaxJob(a); };
        floor = [&] { return parseVisitSerialise(a) > 0 ? 0 : 1; };
      } else if (job == "merge") {
        a = bench::transformationPmml(n);
        b = bench::regressionModel(n);
        run = [&] { return mergeJob(a, b); };
        floor = [&] { return parseVisitSerialise(a) > 0 && parseVisitSerialise(b) > 0 ? 0 : 1; };
      } else if (job == "transform") {
        a = bench::description(n);
        setup = initXalan;
        run = [&] { return transformJob(a); };
        floor = [&] { return identityTransform(a) > 0 ? 0 : 1; };
      } else {
        std::cerr << "unknown job " << job << "\n";
        return 64;
      }
      std::vector<double> jobTimes, floorTimes;
      long jobKb = 0, floorKb = 0;
      bool jobFailed = false;
      // Job and floor alternate, so both see the same load on the machine.
      for (int r = 0; r < runs; ++r) {
        if (!jobFailed) {
          const Run j = measure(setup, run, limit);
          if (j.seconds < 0) jobFailed = true;
          jobTimes.push_back(j.seconds);
          jobKb = std::max(jobKb, j.maxRssKb);
        }
        const Run f = measure(setup, floor, limit);
        floorTimes.push_back(f.seconds);
        floorKb = std::max(floorKb, f.maxRssKb);
        if (jobFailed && r >= 0) break;
      }
      const double jm = jobFailed ? -1 : median(jobTimes);
      const double fm = median(floorTimes);
      rows.push_back({job, n, jm, fm, jobKb, floorKb});
      char jobText[32];
      if (jm < 0)
        std::snprintf(jobText, sizeof jobText, ">%us/fail", limit);
      else
        std::snprintf(jobText, sizeof jobText, "%.3f", jm);
      std::printf("%-9s %7zu %10s %10.3f %7.2f %10.1f %10.1f %7.2f\n", job.c_str(), n, jobText, fm,
                  jm < 0 ? NAN : jm / fm, jobKb / 1024.0, floorKb / 1024.0,
                  static_cast<double>(jobKb) / static_cast<double>(floorKb));
      std::fflush(stdout);
    }
    // Scaling exponent between the two largest sizes of this job.
    std::vector<Row> mine;
    for (const Row& r : rows) {
      if (r.job == job) mine.push_back(r);
    }
    if (mine.size() >= 2) {
      const Row& x = mine[mine.size() - 2];
      const Row& y = mine[mine.size() - 1];
      const double logN = std::log(static_cast<double>(y.n) / static_cast<double>(x.n));
      if (x.jobSeconds > 0 && y.jobSeconds > 0) {
        std::printf("%-9s exponent %zu->%zu: job %.2f, floor %.2f\n", job.c_str(), x.n, y.n,
                    std::log(y.jobSeconds / x.jobSeconds) / logN,
                    std::log(y.floorSeconds / x.floorSeconds) / logN);
      } else {
        std::printf("%-9s exponent %zu->%zu: job not measured (over the limit)\n", job.c_str(), x.n,
                    y.n);
      }
      std::fflush(stdout);
    }
  }
  return 0;
}
