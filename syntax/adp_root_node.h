#ifndef PMMLXFORM_SYNTAX_ADP_ROOT_NODE_H_
#define PMMLXFORM_SYNTAX_ADP_ROOT_NODE_H_

// The whole data-preparation document (`PMML`): checks its outline, prepares
// the DOM (helper-field renaming, string lengths, data types, back-mode
// redirection), collects field roles and converts each used `DerivedField`.
// Writes the fields' commands followed by one `VARIABLE ROLE` command.

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>
#include <xercesc/dom/DOMElement.hpp>

#include "syntax/adp_base_node.h"
#include "syntax/field_reference_index.h"

class ADPRootNode final : public ADPBaseNode {
 public:
  ADPRootNode() : ADPBaseNode(kRoot) {}

  std::string toSyntax() const override;
  int parse(xercesc::DOMNode* element, std::string& errorPath) override;

  // Back mode is on when either name is non-empty.
  void setOptions(const std::string& targetName, const std::string& sourceName, bool skipRoles,
                  bool utf8, bool comments);
  void clearRoles();
  void getNoneFields(std::vector<std::string>& out) const { out = noneRole_; }

 private:
  bool isFieldUsed(xercesc::DOMNode* field);
  int collectRoles(xercesc::DOMNode* dictionary, std::string& errorPath);
  // Declares the length of every string field of the container and gives
  // each reference the data type of the field it names.
  void prepareFields(xercesc::DOMNode* container, xercesc::DOMNode* dataDictionary);
  // True for the dictionaries whose fields give their data types to references.
  static bool answersDataTypes(const xercesc::DOMNode* dictionary);
  // Adds the data type of `field` under its name when it is a DataField or a
  // DerivedField (the first field of a name answers for it).
  void addDataType(FirstByName<std::string>& types, const xercesc::DOMNode* field);
  xercesc::DOMNode* firstFieldReference(xercesc::DOMNode* element);
  int convertFields(xercesc::DOMNode* container, std::string& errorPath);
  FieldReferenceIndex& referenceIndex(xercesc::DOMNode* container);

  std::vector<std::string> noneRole_;
  std::vector<std::string> targetRole_;
  std::vector<std::string> inputRole_;
  bool backMode_ = false;
  bool skipRoles_ = false;
  std::string targetName_;
  std::string sourceName_;
  // Answers of isFieldUsed for fields already tested in this parse. A field's
  // answer never changes once known, and remembering it keeps fields that many
  // later ones refer to from being retested exponentially often.
  NodeTable<bool> usedFields_;
  std::unordered_map<const xercesc::DOMNode*, std::unique_ptr<FieldReferenceIndex>> references_;
  // The data types given to references: by the type read from the field,
  // that type as a reader of the element's attribute would get it; and the
  // elements given one.
  std::unordered_map<std::string, std::string> givenTypes_;
  GivenDataTypes givenDataTypes_;
  // The children of the document's DataDictionary, read by prepareFields.
  std::shared_ptr<const std::vector<DictionaryEntry>> dataDictionaryEntries_;
};

#endif  // PMMLXFORM_SYNTAX_ADP_ROOT_NODE_H_
