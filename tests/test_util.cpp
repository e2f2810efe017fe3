// Shared helpers of the unit tests.
#include "tests/test_util.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "host/norvel.h"

namespace testutil {

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
  const char* old = std::getenv(name);
  had_ = old != nullptr;
  if (had_) old_ = old;
  if (value != nullptr) {
    setenv(name, value, 1);
  } else {
    unsetenv(name);
  }
}

ScopedEnv::~ScopedEnv() {
  if (had_) {
    setenv(name_.c_str(), old_.c_str(), 1);
  } else {
    unsetenv(name_.c_str());
  }
}

ScopedLocale::ScopedLocale(const char* name) {
  old_ = std::setlocale(LC_CTYPE, nullptr);
  ok_ = std::setlocale(LC_CTYPE, name) != nullptr;
#ifdef PMMLXFORM_TEST_LOCALE_DIR
  // Fall back to the locales the build compiled for the tests.
  if (!ok_) {
    ScopedEnv locpath("LOCPATH", PMMLXFORM_TEST_LOCALE_DIR);
    ok_ = std::setlocale(LC_CTYPE, name) != nullptr;
  }
#endif
}

ScopedLocale::~ScopedLocale() { std::setlocale(LC_CTYPE, old_.c_str()); }

TempDir::TempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "pmmlxform-test-XXXXXX").string();
  if (mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string TempDir::write(const std::string& name, const std::string& content) const {
  std::string full = path_ + "/" + name;
  std::filesystem::create_directories(std::filesystem::path(full).parent_path());
  std::ofstream(full, std::ios::binary) << content;
  return full;
}

int runCommand(const std::string& command, std::string& output) {
  output.clear();
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return -1;
  std::array<char, 4096> buf;
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), pipe)) > 0) output.append(buf.data(), n);
  int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string utf8(const XMLCh* text) {
  std::string out;
  if (text != nullptr) norvel::QORVMBU16ToU8(out, text);
  return out;
}

std::string attribute(const xercesc::DOMElement* element, const char* name) {
  const std::u16string name16(name, name + std::strlen(name));  // names are ASCII
  return utf8(element->getAttribute(name16.c_str()));
}

std::string xmlText(const xercesc::DOMNode* node) {
  xercesc::DOMLSSerializer* serializer =
      xercesc::DOMImplementationRegistry::getDOMImplementation(u"Core")->createLSSerializer();
  serializer->getDomConfig()->setParameter(u"xml-declaration", false);
  XMLCh* text = serializer->writeToString(node);
  std::string out = utf8(text);
  xercesc::XMLString::release(&text);
  serializer->release();
  return out;
}

std::string outline(const xercesc::DOMNode* node) {
  if (node == nullptr) return "(null)";
  if (node->getNodeType() == xercesc::DOMNode::DOCUMENT_NODE) {
    return outline(static_cast<const xercesc::DOMDocument*>(node)->getDocumentElement());
  }
  const auto* element = static_cast<const xercesc::DOMElement*>(node);
  std::string result = utf8(element->getNodeName());
  const std::string name = attribute(element, "name");
  if (!name.empty()) result += ":" + name;
  std::string children;
  for (const xercesc::DOMNode* child = node->getFirstChild(); child != nullptr;
       child = child->getNextSibling()) {
    if (child->getNodeType() != xercesc::DOMNode::ELEMENT_NODE) continue;
    children += (children.empty() ? "" : " ") + outline(child);
  }
  return children.empty() ? result : result + "(" + children + ")";
}

xercesc::DOMDocument* Documents::parse(const std::string& xml) {
  parsers_.push_back(std::make_unique<pmmlxform::HardenedDOMParser>());
  EXPECT_EQ(parsers_.back()->parseText(xml), 0u) << xml;
  return parsers_.back()->getDocument();
}

}  // namespace testutil
