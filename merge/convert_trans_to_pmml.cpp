// ConvertTransToPMML: construction, copying and destruction.
#include <pmmlxform/convert_trans_to_pmml.h>

#include "host/havrik.h"

namespace {

// The stylesheet's file name inside the host's application directory.
constexpr char kStylesheetName[] = "transformation.xsl";

}  // namespace

ConvertTransToPMML::ConvertTransToPMML() : segmentedModel(false) {
  // The directory text ends in "/", so the name follows it directly.
  stylesheetPath = havrik::PathFactory::getPathInstance()->getAppDir() + kStylesheetName;
}

ConvertTransToPMML::ConvertTransToPMML(const ConvertTransToPMML& other)
    : ConvertTrans(other), segmentedModel(other.segmentedModel) {}

ConvertTransToPMML& ConvertTransToPMML::operator=(const ConvertTransToPMML& other) {
  ConvertTrans::operator=(other);
  segmentedModel = other.segmentedModel;
  return *this;
}

ConvertTransToPMML::~ConvertTransToPMML() = default;
