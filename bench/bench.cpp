// Times each job against the XML libraries' own floor on the same input, in
// child processes, and prints medians, ratios, peak memory and the scaling
// exponent over the last 10x size step, for each job and input shape.
//
//   pmmlxform_bench [--jobs syntax,merge,transform,check] [--shapes default,chain,...]
//                   [--sizes 1000,10000,100000] [--transform-sizes 1000,10000] [--runs 3]
//                   [--limit SECONDS] [--all-node-kinds]
//   pmmlxform_bench --generate KIND N [--all-node-kinds]
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

void parse(xercesc::XercesDOMParser& parser, const std::string& text) {
  parser.setDoNamespaces(false);
  xercesc::MemBufInputSource source(reinterpret_cast<const XMLByte*>(text.data()), text.size(),
                                    "bench", false);
  parser.parse(source);
}

// Visits every node of the document, serialises it.
std::size_t visitSerialise(xercesc::DOMDocument* document) {
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

// Parses the text into a DOM, visits every node, serialises the document.
std::size_t parseVisitSerialise(const std::string& text) {
  xercesc::XercesDOMParser parser;
  parse(parser, text);
  return visitSerialise(parser.getDocument());
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

std::vector<std::size_t> parseSizes(const std::string& text) {
  std::vector<std::size_t> sizes;
  std::stringstream in(text);
  std::string item;
  while (std::getline(in, item, ',')) sizes.push_back(std::stoul(item));
  return sizes;
}

std::vector<std::string> parseNames(const std::string& text) {
  std::vector<std::string> names;
  std::stringstream in(text);
  std::string item;
  while (std::getline(in, item, ',')) names.push_back(item);
  return names;
}

void initPlatform() { xercesc::XMLPlatformUtils::Initialize(); }
void initXalan() {
  xercesc::XMLPlatformUtils::Initialize();
  xalanc::XalanTransformer::initialize();
}

// ---- the jobs, through the library's public interface ----

// The generated documents of one measurement: one, or two for the merge.
struct Inputs {
  std::string first, second;
};

int syntaxJob(const Inputs& in) {
  std::istringstream text(in.first);
  std::ostringstream out;
  std::string message;
  const int code = ADP_Convert::convertPMMLtoSyntax(text, out, message, false, true, false);
  if (code != 0) std::cerr << "syntax: code " << code << ": " << message << "\n";
  return code;
}

int mergeJob(const Inputs& in) {
  ConvertTransToPMML convert;
  std::string out, message;
  std::vector<TmsEndInfo> data, derived;
  std::vector<TmsMiningFieldInfo> mining;
  const int code = convert.mergePMML(in.first, in.second, out, message, data, derived, mining);
  if (code != 0) std::cerr << "merge: code " << code << ": " << message << "\n";
  return code;
}

int transformJob(const Inputs& in) {
  ConvertTransToPMML convert;
  std::string out, message;
  std::vector<TmsEndInfo> vars;
  const int code = convert.transform(in.first, out, message, vars);
  if (code != 0) std::cerr << "transform: code " << code << ": " << message << "\n";
  return code;
}

// The tool's check: the stream form of the validity check.
int checkJob(const Inputs& in) {
  ConvertTransToPMML convert;
  std::istringstream text(in.first);
  int code = 0;
  std::string message;
  if (!convert.isValidTransXML(text, code, message)) {
    std::cerr << "check: code " << code << ": " << message << "\n";
  }
  return code;
}

int oneDocumentFloor(const Inputs& in) { return parseVisitSerialise(in.first) > 0 ? 0 : 1; }
int twoDocumentsFloor(const Inputs& in) {
  return parseVisitSerialise(in.first) > 0 && parseVisitSerialise(in.second) > 0 ? 0 : 1;
}
// The same work with both documents held at once, as a merge on a DOM must
// hold them: not a floor of the ratios, but the measure of what holding the
// two costs by itself as the documents grow.
int twoDocumentsHeld(const Inputs& in) {
  xercesc::XercesDOMParser first, second;
  parse(first, in.first);
  parse(second, in.second);
  return visitSerialise(first.getDocument()) > 0 && visitSerialise(second.getDocument()) > 0 ? 0
                                                                                             : 1;
}
int identityFloor(const Inputs& in) { return identityTransform(in.first) > 0 ? 0 : 1; }

// ---- the shapes: one generated input per job and name ----

// The size list a shape takes: --sizes for PMML inputs, --transform-sizes for
// descriptions.
enum class SizeList { kPmml, kDescription };

struct Shape {
  const char* job;
  const char* name;
  SizeList sizes;
  // Default sizes 1,000 and 10,000 only: the job grows with the square of N.
  bool quadratic;
  bool xalan;  // the floor runs a stylesheet
  Inputs (*generate)(std::size_t n, bool allNodeKinds);
  int (*run)(const Inputs&);
  int (*floor)(const Inputs&);
  // Measured beside the floor when set: the floor's work holding both
  // documents at once.
  int (*held)(const Inputs&) = nullptr;
};

const Shape kShapes[] = {
    {"syntax", "default", SizeList::kPmml, false, false,
     [](std::size_t n, bool all) {
       return Inputs{bench::dataPreparation(n, all), {}};
     },
     syntaxJob, oneDocumentFloor},
    {"merge", "default", SizeList::kPmml, false, false,
     [](std::size_t n, bool) {
       return Inputs{bench::transformationPmml(n), bench::regressionModel(n)};
     },
     mergeJob, twoDocumentsFloor, twoDocumentsHeld},
    {"merge", "chain", SizeList::kPmml, true, false,
     [](std::size_t n, bool) {
       return Inputs{bench::chainTransformation(n), bench::chainModel(n)};
     },
     mergeJob, twoDocumentsFloor, twoDocumentsHeld},
    {"merge", "wide", SizeList::kPmml, false, false,
     [](std::size_t n, bool) {
       return Inputs{bench::wideTransformation(n), bench::wideModel(n)};
     },
     mergeJob, twoDocumentsFloor, twoDocumentsHeld},
    {"transform", "default", SizeList::kDescription, false, true,
     [](std::size_t n, bool) {
       return Inputs{bench::description(n), {}};
     },
     transformJob, identityFloor},
    {"transform", "recode-per-variable", SizeList::kDescription, false, true,
     [](std::size_t n, bool) {
       return Inputs{bench::recodePerVariable(n), {}};
     },
     transformJob, identityFloor},
    {"check", "many-rules", SizeList::kDescription, true, true,
     [](std::size_t n, bool) {
       return Inputs{bench::manyRules(n), {}};
     },
     checkJob, identityFloor},
};

// What --generate writes: one document of one shape.
struct Generated {
  const char* kind;
  std::string (*generate)(std::size_t n, bool allNodeKinds);
};

const Generated kGenerated[] = {
    {"syntax", bench::dataPreparation},
    {"description", [](std::size_t n, bool) { return bench::description(n); }},
    {"transformation", [](std::size_t n, bool) { return bench::transformationPmml(n); }},
    {"model", [](std::size_t n, bool) { return bench::regressionModel(n); }},
    {"recode-per-variable", [](std::size_t n, bool) { return bench::recodePerVariable(n); }},
    {"many-rules", [](std::size_t n, bool) { return bench::manyRules(n); }},
    {"chain-transformation", [](std::size_t n, bool) { return bench::chainTransformation(n); }},
    {"chain-model", [](std::size_t n, bool) { return bench::chainModel(n); }},
    {"wide-transformation", [](std::size_t n, bool) { return bench::wideTransformation(n); }},
    {"wide-model", [](std::size_t n, bool) { return bench::wideModel(n); }},
};

bool contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// ---- measuring and printing ----

struct Row {
  std::size_t n;
  double jobSeconds, floorSeconds;  // job negative: not measured
  long jobKb, floorKb;
  double heldSeconds = -1;  // negative: the shape has no held measure
  long heldKb = 0;
};

// Job and floor alternate, so both see the same load on the machine.
Row measureShape(const Shape& shape, std::size_t n, bool allKinds, int runs, unsigned limit) {
  const Inputs inputs = shape.generate(n, allKinds);
  const std::function<void()> setup = shape.xalan ? initXalan : initPlatform;
  const std::function<int()> run = [&] { return shape.run(inputs); };
  const std::function<int()> floor = [&] { return shape.floor(inputs); };
  const std::function<int()> held = [&] { return shape.held(inputs); };
  std::vector<double> jobTimes, floorTimes, heldTimes;
  long jobKb = 0, floorKb = 0, heldKb = 0;
  bool jobFailed = false;
  for (int r = 0; r < runs; ++r) {
    const Run j = measure(setup, run, limit);
    if (j.seconds < 0) jobFailed = true;
    jobTimes.push_back(j.seconds);
    jobKb = std::max(jobKb, j.maxRssKb);
    const Run f = measure(setup, floor, limit);
    floorTimes.push_back(f.seconds);
    floorKb = std::max(floorKb, f.maxRssKb);
    if (shape.held != nullptr) {
      const Run h = measure(setup, held, limit);
      heldTimes.push_back(h.seconds);
      heldKb = std::max(heldKb, h.maxRssKb);
    }
    if (jobFailed) break;
  }
  return {n,
          jobFailed ? -1 : median(jobTimes),
          median(floorTimes),
          jobKb,
          floorKb,
          shape.held == nullptr ? -1 : median(heldTimes),
          heldKb};
}

void printRow(const Shape& shape, const Row& row, unsigned limit) {
  char jobText[32];
  if (row.jobSeconds < 0)
    std::snprintf(jobText, sizeof jobText, ">%us/fail", limit);
  else
    std::snprintf(jobText, sizeof jobText, "%.3f", row.jobSeconds);
  std::printf("%-9s %-19s %7zu %10s %10.3f %7.2f %10.1f %10.1f %7.2f\n", shape.job, shape.name,
              row.n, jobText, row.floorSeconds,
              row.jobSeconds < 0 ? NAN : row.jobSeconds / row.floorSeconds, row.jobKb / 1024.0,
              row.floorKb / 1024.0,
              static_cast<double>(row.jobKb) / static_cast<double>(row.floorKb));
  if (row.heldSeconds >= 0) {
    std::printf(
        "%-9s %-19s %7zu %10s %10.3f %7s %10s %10.1f   (floor's work, both documents held)\n",
        shape.job, shape.name, row.n, "", row.heldSeconds, "", "", row.heldKb / 1024.0);
  }
  std::fflush(stdout);
}

// Scaling exponent over the last 10x step: from N/10 to the largest N, or
// from the next smaller size when N/10 was not run.
void printExponent(const Shape& shape, const std::vector<Row>& rows) {
  if (rows.size() < 2) return;
  const auto byN = [](const Row& a, const Row& b) { return a.n < b.n; };
  const Row& y = *std::max_element(rows.begin(), rows.end(), byN);
  const Row* x = nullptr;
  for (const Row& r : rows) {
    if (r.n < y.n && (x == nullptr || r.n > x->n)) x = &r;
  }
  for (const Row& r : rows) {
    if (r.n * 10 == y.n) x = &r;
  }
  if (x == nullptr) return;
  const double logN = std::log(static_cast<double>(y.n) / static_cast<double>(x->n));
  if (x->jobSeconds > 0 && y.jobSeconds > 0) {
    std::printf("%-9s %-19s exponent %zu->%zu: job %.2f, floor %.2f", shape.job, shape.name, x->n,
                y.n, std::log(y.jobSeconds / x->jobSeconds) / logN,
                std::log(y.floorSeconds / x->floorSeconds) / logN);
    if (x->heldSeconds > 0 && y.heldSeconds > 0) {
      std::printf(", floor with both held %.2f", std::log(y.heldSeconds / x->heldSeconds) / logN);
    }
    std::printf("\n");
  } else {
    std::printf("%-9s %-19s exponent %zu->%zu: job not measured (over the limit)\n", shape.job,
                shape.name, x->n, y.n);
  }
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> jobs{"syntax", "merge", "transform", "check"};
  std::vector<std::string> shapes;  // empty: every shape of the selected jobs
  std::vector<std::size_t> sizes{1000, 10000, 100000};
  std::vector<std::size_t> transformSizes{1000, 10000};
  const std::vector<std::size_t> quadraticSizes{1000, 10000};
  bool sizesGiven = false, transformSizesGiven = false;
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
      for (const Generated& g : kGenerated) {
        if (kind == g.kind) {
          std::cout << g.generate(n, all);
          return 0;
        }
      }
      std::cerr << "unknown kind " << kind << "\n";
      return 64;
    }
    if (arg == "--jobs") {
      jobs = parseNames(next());
    } else if (arg == "--shapes") {
      shapes = parseNames(next());
    } else if (arg == "--sizes") {
      sizes = parseSizes(next());
      sizesGiven = true;
    } else if (arg == "--transform-sizes") {
      transformSizes = parseSizes(next());
      transformSizesGiven = true;
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
  for (const std::string& job : jobs) {
    if (std::none_of(std::begin(kShapes), std::end(kShapes),
                     [&](const Shape& s) { return job == s.job; })) {
      std::cerr << "unknown job " << job << "\n";
      return 64;
    }
  }
  for (const std::string& name : shapes) {
    if (std::none_of(std::begin(kShapes), std::end(kShapes),
                     [&](const Shape& s) { return name == s.name; })) {
      std::cerr << "unknown shape " << name << "\n";
      return 64;
    }
  }

  std::printf("%-9s %-19s %7s %10s %10s %7s %10s %10s %7s\n", "job", "shape", "N", "job s",
              "floor s", "ratio", "job MB", "floor MB", "mem x");
  for (const std::string& job : jobs) {
    for (const Shape& shape : kShapes) {
      if (job != shape.job || (!shapes.empty() && !contains(shapes, shape.name))) continue;
      const bool pmml = shape.sizes == SizeList::kPmml;
      const bool given = pmml ? sizesGiven : transformSizesGiven;
      const std::vector<std::size_t>& shapeSizes = shape.quadratic && !given ? quadraticSizes
                                                   : pmml                    ? sizes
                                                                             : transformSizes;
      std::vector<Row> rows;
      bool overLimit = false;
      for (std::size_t n : shapeSizes) {
        if (overLimit) {
          // A larger input would only take longer.
          std::printf("%-9s %-19s %7zu not run: over the limit at a smaller size\n", shape.job,
                      shape.name, n);
          std::fflush(stdout);
          continue;
        }
        rows.push_back(measureShape(shape, n, allKinds, runs, limit));
        printRow(shape, rows.back(), limit);
        overLimit = rows.back().jobSeconds < 0;
      }
      printExponent(shape, rows);
    }
  }
  return 0;
}
