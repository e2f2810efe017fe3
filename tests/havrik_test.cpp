// Application directory and parameters of the host services.
#include "host/havrik.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "pmmlxform/version.h"
#include "tests/test_util.h"

namespace {

using havrik::PathFactory;

TEST(Havrik, AppDirComesFromTheEnvironmentAndAlwaysEndsInASlash) {
  testutil::ScopedEnv env("PMMLXFORM_APP_DIR", "/opt/app");
  EXPECT_EQ(PathFactory::getPathInstance()->getAppDir(), "/opt/app/");
  testutil::ScopedEnv env2("PMMLXFORM_APP_DIR", "/opt/app/");
  EXPECT_EQ(PathFactory::getPathInstance()->getAppDir(), "/opt/app/");
}

TEST(Havrik, WithoutTheVariableTheBuildTreeDataDirectoryIsFound) {
  testutil::ScopedEnv env("PMMLXFORM_APP_DIR", nullptr);
  const std::string dir = PathFactory::getPathInstance()->getAppDir();
  EXPECT_EQ(std::filesystem::canonical(dir),
            std::filesystem::canonical(PMMLXFORM_BINARY_DIR "/share/pmmlxform"));
  EXPECT_EQ(dir.back(), '/');
}

TEST(Havrik, EmptyVariableCountsAsUnset) {
  testutil::ScopedEnv env("PMMLXFORM_APP_DIR", "");
  EXPECT_NE(PathFactory::getPathInstance()->getAppDir(), "/");
}

TEST(Havrik, DataDirectoryIsTheModulesSiblingShareDirectory) {
  struct Case {
    const char* module;
    const char* relative;
    const char* expected;
  };
  const Case cases[] = {
      {"/opt/x/lib/libpmmlxform.so.1", "../share/pmmlxform", "/opt/x/share/pmmlxform/"},
      {"/usr/lib/x86_64-linux-gnu/libpmmlxform.so.1", "../../share/pmmlxform/",
       "/usr/share/pmmlxform/"},
      {"/build/bin/pmmlxform", "../share/pmmlxform", "/build/share/pmmlxform/"},
      {"/lib.so", "../share/pmmlxform", "/share/pmmlxform/"},
      {"lib/lib.so", "../share/pmmlxform", ""},
      {"", "../share/pmmlxform", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.module);
    EXPECT_EQ(havrik::dataDirForModule(c.module, c.relative), c.expected);
  }
}

TEST(Havrik, ModulePathIsAbsolute) {
  const std::string path = havrik::thisModulePath();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(path.front(), '/');
}

TEST(Havrik, AppParamsDefaultAndComeFromTheEnvironment) {
  {
    testutil::ScopedEnv n("PMMLXFORM_APP_NAME", nullptr);
    testutil::ScopedEnv v("PMMLXFORM_APP_VERSION", nullptr);
    testutil::ScopedEnv c("PMMLXFORM_COPYRIGHT", nullptr);
    const havrik::AppParams p = havrik::GetAppParams();
    EXPECT_EQ(p.name, "pmmlxform");
    EXPECT_EQ(p.version, PMMLXFORM_VERSION_STRING);
    EXPECT_EQ(p.copyright, "");
  }
  testutil::ScopedEnv n("PMMLXFORM_APP_NAME", "Host");
  testutil::ScopedEnv v("PMMLXFORM_APP_VERSION", "31.0");
  testutil::ScopedEnv c("PMMLXFORM_COPYRIGHT", "(c) Someone");
  const havrik::AppParams p = havrik::GetAppParams();
  EXPECT_EQ(p.name, "Host");
  EXPECT_EQ(p.version, "31.0");
  EXPECT_EQ(p.copyright, "(c) Someone");
}

}  // namespace
