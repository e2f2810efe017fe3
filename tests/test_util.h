#ifndef PMMLXFORM_TESTS_TEST_UTIL_H_
#define PMMLXFORM_TESTS_TEST_UTIL_H_

// Shared helpers of the unit tests.

#include <cstdlib>
#include <string>
#include <xercesc/util/XercesDefs.hpp>

namespace testutil {

// UTF-16 text from a UTF-8 literal (ASCII and \u escapes in tests).
std::u16string u16(const std::string& utf8);

// The whole content of a file; empty when it cannot be read.
std::string readFile(const std::string& path);

// Sets (or, given null, unsets) an environment variable for the life of the
// object, then restores it.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  bool had_;
  std::string old_;
};

// Switches LC_CTYPE for the life of the object; ok() tells whether the locale
// exists on this machine (tests skip otherwise).
class ScopedLocale {
 public:
  explicit ScopedLocale(const char* name);
  ~ScopedLocale();
  ScopedLocale(const ScopedLocale&) = delete;
  ScopedLocale& operator=(const ScopedLocale&) = delete;
  bool ok() const { return ok_; }

 private:
  std::string old_;
  bool ok_;
};

// A fresh empty directory under the system's temporary directory, removed with
// everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  // Writes `content` to path()/name and returns the full path.
  std::string write(const std::string& name, const std::string& content) const;

 private:
  std::string path_;
};

// Runs a shell command; returns its exit status and stores standard output.
int runCommand(const std::string& command, std::string& output);

}  // namespace testutil

#endif  // PMMLXFORM_TESTS_TEST_UTIL_H_
