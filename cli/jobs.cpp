// The tool's jobs and the input/output conventions they share.
#include "cli/jobs.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>

namespace cli {
namespace {

// A non-owning stream wrapper around std::cin / std::cout, so callers can hold
// every stream the same way.
class BorrowedIStream : public std::istream {
 public:
  explicit BorrowedIStream(std::istream& s) : std::istream(s.rdbuf()) {}
};

class BorrowedOStream : public std::ostream {
 public:
  explicit BorrowedOStream(std::ostream& s) : std::ostream(s.rdbuf()) {}
};

}  // namespace

int fail(const std::string& job, const std::string& message, int code) {
  std::cerr << "pmmlxform: " << job << ": " << message << " (code " << code << ")\n";
  return code;
}

std::unique_ptr<std::istream> openInput(const std::string& job, const Input& in, int& code) {
  if (in.path == "-") return std::make_unique<BorrowedIStream>(std::cin);
  auto file = std::make_unique<std::ifstream>(in.path, std::ios::in | std::ios::binary);
  if (!file->is_open()) {
    code = fail(job, "cannot open '" + in.path + "': " + std::strerror(errno), kExitNoInput);
    return nullptr;
  }
  return file;
}

std::unique_ptr<std::ostream> openOutput(const std::string& job, const Output& out, int& code) {
  if (out.path.empty() || out.path == "-") return std::make_unique<BorrowedOStream>(std::cout);
  auto file = std::make_unique<std::ofstream>(out.path, std::ios::out | std::ios::binary |
                                                            std::ios::trunc);
  if (!file->is_open()) {
    code = fail(job, "cannot write '" + out.path + "': " + std::strerror(errno), kExitCantCreate);
    return nullptr;
  }
  return file;
}

}  // namespace cli
