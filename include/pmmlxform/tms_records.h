#ifndef PMMLXFORM_TMS_RECORDS_H_
#define PMMLXFORM_TMS_RECORDS_H_

/// @file
/// Records through which the library reports the variables and mining fields of
/// a document it produced. Plain values: default-constructible (all texts
/// empty), copyable and assignable member by member. The member order is part
/// of the interface shared with the host. The library appends records to the
/// vectors the caller passes and never clears them.

#include <pmmlxform/export.h>

#include <string>

/// @brief One variable: a DataField of a DataDictionary or a DerivedField of a
/// TransformationDictionary. A missing attribute is the empty text.
class PMMLXFORM_API TmsEndInfo {
 public:
  std::string name;         ///< "name" attribute, UTF-8
  std::string displayName;  ///< "displayName" attribute, UTF-8 (empty when absent)
  std::string dataType;     ///< "dataType" attribute, local code page
  std::string optype;       ///< "optype" attribute, local code page
};

/// @brief One MiningField of a model's MiningSchema.
struct PMMLXFORM_API TmsMiningFieldInfo {
  std::string name;       ///< "name" attribute, UTF-8
  std::string usageType;  ///< "usageType" attribute, local code page; "active" when absent or empty
};

#endif  // PMMLXFORM_TMS_RECORDS_H_
