#ifndef PMMLXFORM_SYNTAX_ADP_VALUE_NODE_H_
#define PMMLXFORM_SYNTAX_ADP_VALUE_NODE_H_

// One constant, read from a PMML `Constant` element and written in the
// syntax's literal form: 'quoted' for strings, DATE.MDY(m,d,y) for dates,
// TIME.HMS(h,m,s) for times, the plain number otherwise.

#include <string>

#include "syntax/adp_base_node.h"

class ADPValueNode final : public ADPBaseNode {
 public:
  ADPValueNode() : ADPBaseNode(kValue) {}

  std::string toSyntax() const override;
  int parse(xercesc::DOMNode* element, std::string& errorPath) override;
  std::size_t longestStringLiteral() const override;

  // A creator may preset these before parse: the value is kept in place of a
  // malformed date or time text, the data type is replaced by parse.
  void setValue(const std::string& value) {
    value_ = value;
    lostCharacters_ = false;
  }
  void setDataType(const std::string& dataType) { dataType_ = dataType; }
  const std::string& value() const { return value_; }
  const std::string& dataType() const { return dataType_; }

  // Sets the value from the text content of an element, as parse does: the
  // layout around a value that is not a string is dropped.
  void setContent(const std::string& text);
  // Set the value from the element's text content (as setContent) or from one
  // of its attributes (as it is), noting whether this node's encoding held
  // every character of it.
  void readContent(const xercesc::DOMNode* element);
  void readAttribute(const xercesc::DOMNode* element, const std::string& attribute);
  // Why the value cannot be written as a literal of its data type (a message
  // for the error path); empty when it can. Only a string may be empty.
  std::string literalProblem() const;

  // PMML date types: "date" and dateDaysSince[...]; time types: "time", "timeSeconds".
  static bool isDateType(const std::string& dataType);
  static bool isTimeType(const std::string& dataType);

 private:
  // Converts DOM text to this node's encoding; sets lostCharacters_.
  std::string convert(const XMLCh* text);

  std::string value_;
  std::string dataType_;
  // The local code page could not hold a character of the value's text: it
  // was written as "?", so distinct values could come out alike.
  bool lostCharacters_ = false;
};

#endif  // PMMLXFORM_SYNTAX_ADP_VALUE_NODE_H_
