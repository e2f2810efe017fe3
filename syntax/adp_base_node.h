#ifndef PMMLXFORM_SYNTAX_ADP_BASE_NODE_H_
#define PMMLXFORM_SYNTAX_ADP_BASE_NODE_H_

// Base of every node of the syntax tree: parse reads the node from its DOM
// element and builds its children, toSyntax renders the node as command syntax.
// A failing parse returns a result code and leaves the error path pointing at
// the element where it stopped.

#include <cstddef>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>
#include <xercesc/util/XercesDefs.hpp>

#include "syntax/first_by_name.h"
#include "syntax/node_table.h"

XERCES_CPP_NAMESPACE_BEGIN
class DOMNode;
XERCES_CPP_NAMESPACE_END

class ADPBaseNode {
 public:
  // Kinds of node, one per class.
  enum Kind : int {
    kValue = 0,
    kTwoValues = 1,
    kVariable = 2,
    kExpression = 3,
    kFunction = 4,
    kMapping = 5,
    kNorm = 6,
    kOutlier = 7,
    kDerived = 8,
    kRoot = 9,
  };

  // Forms of error-path segments.
  enum SegmentForm : int {
    kElementSegment = 0,    // ".name"
    kAttributeSegment = 1,  // "(text)"
    kListSegment = 2,       // "[names]"
    kMessageSegment = 3,    // "{text}"
  };

  // The fields of one document by name, built on first use and shared by
  // every node of one conversion, so that a lookup does not walk the
  // dictionaries again for each field.
  // One element child of a data dictionary with its name, as the field index reads it.
  struct DictionaryEntry {
    xercesc::DOMNode* element;
    std::string name;
    bool dataField;
  };
  struct FieldIndex {
    bool built = false;
    // The children of the document's DataDictionary when they were read
    // already (no step of a conversion changes that dictionary); the index
    // reads the dictionary itself otherwise.
    std::shared_ptr<const std::vector<DictionaryEntry>> dataDictionary;
    // Derived fields answer before data fields; the first field of a name
    // answers for it.
    FirstByName<xercesc::DOMNode*> fields;
    // The first DataField of each name.
    FirstByName<xercesc::DOMNode*> dataFields;
  };

  explicit ADPBaseNode(int kind) : nodeKind(kind) {}
  virtual ~ADPBaseNode();
  ADPBaseNode(const ADPBaseNode&) = delete;
  ADPBaseNode& operator=(const ADPBaseNode&) = delete;

  virtual std::string toSyntax() const = 0;
  // Names of the input fields the node reads, preceded or separated by blanks.
  virtual std::string getInputs() const;
  virtual int parse(xercesc::DOMNode* element, std::string& errorPath) = 0;
  virtual std::string toAlternateSyntax() const;
  // Byte length of the longest string literal the node's text can produce,
  // so that a string field is declared wide enough to hold it.
  virtual std::size_t longestStringLiteral() const;

  // Error-path editing.
  static void appendSegment(std::string& errorPath, const std::string& text, int form);
  // Cuts the path at its last "."; a path without "." stays as it is.
  static void removeSegment(std::string& errorPath);

  bool utf8 = false;
  bool comments = false;
  // Shared with the children a node parses; a node without one builds its own.
  std::shared_ptr<FieldIndex> fieldIndex;
  // The data types the root gave elements, each read as the element's
  // `dataType` attribute would be; kept beside the DOM, whose attribute
  // writes are costly. Shared with the children a node parses.
  using GivenDataTypes = NodeTable<const std::string*>;
  const GivenDataTypes* givenDataTypes = nullptr;
  const int nodeKind;
  std::vector<std::unique_ptr<ADPBaseNode>> children;

 protected:
  // DOM text to this node's 8-bit encoding (UTF-8 or the local code page).
  std::string toLocalString(const XMLCh* text) const;
  // 8-bit text in this node's encoding to UTF-16.
  std::basic_string<XMLCh> toXMLString(const std::string& text) const;
  std::string getAttributeValue(const xercesc::DOMNode* node, const std::string& name) const;
  void setAttributeValue(xercesc::DOMNode* node, const std::string& name,
                         const std::string& value) const;
  // The data type of an element: the one the root gave it, else its
  // `dataType` attribute.
  std::string dataTypeOf(const xercesc::DOMNode* node) const;
  xercesc::DOMNode* firstChildElement(const xercesc::DOMNode* parent,
                                      const std::string& name) const;
  xercesc::DOMNode* nextSiblingElement(const xercesc::DOMNode* node, const std::string& name) const;
  std::string nodeName(const xercesc::DOMNode* node) const;
  // The first element at or after `node` (siblings onwards) with the name;
  // an empty name matches every element.
  xercesc::DOMNode* elementFrom(xercesc::DOMNode* node, const std::string& name) const;
  static bool hasChildNodes(const xercesc::DOMNode* node);

  // True when `name` (in this node's encoding) can be written as a variable name.
  bool isSafeName(const std::string& name) const { return nameProblem(name).empty(); }
  // Why `name` (in this node's encoding) cannot be written as a variable name,
  // as a message for the error path; empty when it can.
  std::string nameProblem(const std::string& name) const;

  // The user-missing codes (`Value property="missing"`) of the DataField
  // `field` in the data dictionary of the document holding `element`, as
  // written; empty when the dictionary declares none or has no such field.
  std::vector<std::string> userMissingCodes(const xercesc::DOMNode* element,
                                            const std::string& field);
  // The field index of the document holding `element`.
  const FieldIndex& indexOf(const xercesc::DOMNode* element);

  // For an `Apply` met as an operand or argument: reads its function. Returns
  // 0, or the code of a missing function, an empty "if", or any other "if",
  // which cannot be written inside an expression.
  int resolveNestedApply(xercesc::DOMNode*& element, std::string& name, std::string& function,
                         std::string& errorPath) const;

  // Appends a child whose parse succeeded; it takes this node's encoding.
  void attach(std::unique_ptr<ADPBaseNode> child);
  // Gives `child` this node's encoding, parses it from `element` and attaches
  // it when that succeeded; otherwise destroys it and returns its code.
  int parseChild(std::unique_ptr<ADPBaseNode> child, xercesc::DOMNode* element,
                 std::string& errorPath);
};

// Messages of the refusals that keep unsafe text out of the syntax.
namespace pmmlxform {
inline constexpr const char kBadNameMessage[] = "Not a valid variable name.";
inline constexpr const char kReservedWordMessage[] = "Reserved word.";
inline constexpr const char kSystemVariableMessage[] = "System variable.";
inline constexpr const char kLongNameMessage[] = "Name longer than 64 bytes.";
inline constexpr const char kFirstCharacterMessage[] = "Name cannot begin with this character.";
inline constexpr const char kNotNumberMessage[] = "Not a number.";
inline constexpr const char kEmptyFunctionMessage[] = "Function name is empty.";
inline constexpr const char kEmptyIfMessage[] = "No element inside if.";
inline constexpr const char kLongGuardsMessage[] =
    "Expression too long to test for missing values.";
}  // namespace pmmlxform

#endif  // PMMLXFORM_SYNTAX_ADP_BASE_NODE_H_
