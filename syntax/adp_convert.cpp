// The ADP_Convert entry points: read, parse, build the node tree, render, write.
#include "pmmlxform/adp_convert.h"

#include <istream>
#include <ostream>
#include <xercesc/dom/DOM.hpp>

#include "syntax/adp_result_codes.h"
#include "syntax/adp_root_node.h"
#include "xml/parser.h"

namespace {

int convertDocument(std::istream& input, std::ostream& output, std::string& errorMessage,
                    std::vector<std::string>* noneFields, const std::string& targetName,
                    const std::string& sourceName, bool skipRoles, bool utf8, bool withComments) {
  const std::string text = pmmlxform::readAll(input);
  if (text.empty()) {
    errorMessage = pmmlxform::kAdpEmptyInputMessage;
    return pmmlxform::kAdpEmptyInput;
  }

  std::string syntax;
  int code = 0;
  {
    pmmlxform::XmlPlatformGuard platform;
    pmmlxform::HardenedDOMParser parser;
    if (parser.parseText(text) > 0 || parser.getDocument() == nullptr ||
        parser.getDocument()->getDocumentElement() == nullptr) {
      errorMessage = pmmlxform::kAdpInvalidXmlMessage;
      return pmmlxform::kAdpInvalidXml;
    }
    ADPRootNode root;
    root.setOptions(targetName, sourceName, skipRoles, utf8, withComments);
    code = root.parse(parser.getDocument()->getDocumentElement(), errorMessage);
    if (code != 0) root.clearRoles();
    if (noneFields != nullptr) root.getNoneFields(*noneFields);
    syntax = root.toSyntax();
  }  // the tree, then the parser with its DOM, then the platform go here
  output << syntax;
  return code;
}

}  // namespace

namespace ADP_Convert {

int convertPMMLtoSyntax(std::istream& input, std::ostream& output, std::string& errorMessage,
                        bool skipRoles, bool utf8, bool withComments) {
  return convertDocument(input, output, errorMessage, nullptr, std::string(), std::string(),
                         skipRoles, utf8, withComments);
}

int convertPMMLtoSyntax(std::istream& input, std::ostream& output, std::string& errorMessage,
                        std::vector<std::string>& noneFields, bool skipRoles, bool utf8,
                        bool withComments) {
  return convertDocument(input, output, errorMessage, &noneFields, std::string(), std::string(),
                         skipRoles, utf8, withComments);
}

int convertPMMLtoBackSyntax(std::istream& input, std::ostream& output, std::string& errorMessage,
                            std::string targetName, std::string sourceName, bool utf8,
                            bool withComments) {
  return convertDocument(input, output, errorMessage, nullptr, targetName, sourceName, false, utf8,
                         withComments);
}

}  // namespace ADP_Convert
