// Application directory and parameters for the library, from the environment
// and the location of the loaded library file.
#include "host/havrik.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "pmmlxform/version.h"

#ifndef PMMLXFORM_INSTALL_DATADIR
#define PMMLXFORM_INSTALL_DATADIR "/usr/local/share/pmmlxform/"
#endif
#ifndef PMMLXFORM_LIB_TO_DATA
#define PMMLXFORM_LIB_TO_DATA "../share/pmmlxform/"
#endif
#ifndef PMMLXFORM_BIN_TO_DATA
#define PMMLXFORM_BIN_TO_DATA "../share/pmmlxform/"
#endif

namespace havrik {
namespace {

std::string envOr(const char* name, const std::string& fallback) {
  const char* v = std::getenv(name);
  return v != nullptr ? std::string(v) : fallback;
}

std::string withSlash(std::string dir) {
  if (dir.empty() || dir.back() != '/') dir.push_back('/');
  return dir;
}

bool isDirectory(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The running program's file, resolved; empty where /proc is not mounted.
std::string executablePath() {
  std::string path;
  if (char* real = realpath("/proc/self/exe", nullptr)) {
    path = real;
    std::free(real);
  }
  return path;
}

}  // namespace

std::string thisModulePath() {
  Dl_info info;
  if (dladdr(reinterpret_cast<void*>(&thisModulePath), &info) == 0 || info.dli_fname == nullptr) {
    return {};
  }
  std::string path = info.dli_fname;
  // dladdr reports the name the module was loaded by, which is relative for
  // an executable started by a relative path.
  if (char* real = realpath(path.c_str(), nullptr)) {
    path = real;
    std::free(real);
  }
  return path;
}

std::string dataDirForModule(const std::string& modulePath, const std::string& relative) {
  std::filesystem::path module(modulePath);
  if (!module.is_absolute() || !module.has_parent_path()) return {};
  std::string dir = (module.parent_path() / relative).lexically_normal().string();
  return withSlash(dir);
}

std::string PathFinder::getAppDir() const {
  const char* env = std::getenv("PMMLXFORM_APP_DIR");
  if (env != nullptr && *env != 0) return withSlash(env);
  // The module is the shared library, or the executable when linked
  // statically; only the way from its own kind of directory is tried. The
  // other could name an unrelated directory: with Debian's multiarch layout the
  // library's "../../share/pmmlxform" taken from a bin/ directory leaves the
  // tree (from a build tree's bin/, it lands in the source tree).
  const std::string module = thisModulePath();
  const std::string program = executablePath();
  std::vector<const char*> ways;
  if (program.empty() || program != module) ways.push_back(PMMLXFORM_LIB_TO_DATA);
  if (program.empty() || program == module) ways.push_back(PMMLXFORM_BIN_TO_DATA);
  for (const char* relative : ways) {
    std::string dir = dataDirForModule(module, relative);
    if (!dir.empty() && isDirectory(dir)) return dir;
  }
  return withSlash(PMMLXFORM_INSTALL_DATADIR);
}

PathFinder* PathFactory::getPathInstance() {
  static PathFinder instance;
  return &instance;
}

AppParams GetAppParams() {
  return AppParams{envOr("PMMLXFORM_APP_NAME", "pmmlxform"),
                   envOr("PMMLXFORM_APP_VERSION", PMMLXFORM_VERSION_STRING),
                   envOr("PMMLXFORM_COPYRIGHT", "")};
}

}  // namespace havrik
