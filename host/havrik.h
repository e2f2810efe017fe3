#ifndef PMMLXFORM_HOST_HAVRIK_H_
#define PMMLXFORM_HOST_HAVRIK_H_

// The application's directory and identity, as the host reports them.
//
// Directory holding transformation.xsl, first that applies:
//   1. $PMMLXFORM_APP_DIR when set and non-empty;
//   2. the data directory beside the module that holds this code, found by
//      the relative path from the install's library directory (from its
//      program directory when the module is the program itself, the library
//      being linked in statically) to its data directory: the installed data
//      next to libpmmlxform.so (also after the install tree is moved), or the
//      build tree's copy, which mirrors the install layout;
//   3. the data directory of the configured install prefix.
// The reported text always ends in "/".
//
// Application parameters come from $PMMLXFORM_APP_NAME, $PMMLXFORM_APP_VERSION
// and $PMMLXFORM_COPYRIGHT, defaulting to "pmmlxform", the library's version and
// the empty text.

#include <string>

namespace havrik {

class PathFinder {
 public:
  virtual ~PathFinder() = default;
  // The directory that holds transformation.xsl, ending in "/".
  virtual std::string getAppDir() const;
};

class PathFactory {
 public:
  // The process-wide path service; owned by the factory, never null.
  static PathFinder* getPathInstance();
};

struct AppParams {
  std::string name;
  std::string version;
  std::string copyright;  // may be empty
};

AppParams GetAppParams();

// Exposed for tests: the directory `relative` to the directory of the module
// at the absolute `modulePath`, normalised and ending in "/"
// ("/opt/x/lib/libpmmlxform.so.1", "../share/pmmlxform" -> "/opt/x/share/pmmlxform/");
// the empty text for a relative or empty module path.
std::string dataDirForModule(const std::string& modulePath, const std::string& relative);

// Exposed for tests: the path of the module (shared library or executable)
// that holds this code, or the empty text when it cannot be found.
std::string thisModulePath();

}  // namespace havrik

#endif  // PMMLXFORM_HOST_HAVRIK_H_
