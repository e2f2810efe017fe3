#ifndef PMMLXFORM_SYNTAX_ADP_VARIABLE_NODE_H_
#define PMMLXFORM_SYNTAX_ADP_VARIABLE_NODE_H_

// One field. As a reference (`FieldRef`, `Discretize`, `FieldColumnPair`) it
// writes the field's name; as the declaration of a `DerivedField` it writes the
// `STRING name(An).` line that a string field needs, and carries the field's
// name, optype and data type for the derived-field node.

#include <cstddef>
#include <string>

#include "syntax/adp_base_node.h"

class ADPVariableNode final : public ADPBaseNode {
 public:
  ADPVariableNode() : ADPBaseNode(kVariable) {}

  std::string toSyntax() const override;
  std::string getInputs() const override { return name_; }
  int parse(xercesc::DOMNode* element, std::string& errorPath) override;

  // Preset before parse, the name survives a DerivedField's own name.
  void setName(const std::string& name) { name_ = name; }
  const std::string& name() const { return name_; }
  const std::string& dataType() const { return dataType_; }
  const std::string& optype() const { return optype_; }
  bool isReference() const { return isReference_; }

  // Declares a string field at least `width` bytes wide.
  void widenTo(std::size_t width) {
    if (width > minWidth_) minWidth_ = width;
  }
  // Width of the STRING declaration: the `length` attribute, widened, at least 1.
  std::size_t width() const;

 private:
  std::string name_;
  bool isReference_ = false;
  std::string dataType_;
  std::string optype_;
  std::string length_;
  std::size_t minWidth_ = 1;
};

#endif  // PMMLXFORM_SYNTAX_ADP_VARIABLE_NODE_H_
