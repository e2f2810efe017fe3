// A program outside the project that uses the installed library.
#include <pmmlxform/pmmlxform.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

int main() {
  std::printf("pmmlxform %s\n", PMMLXFORM_VERSION_STRING);

  std::istringstream in(
      "<PMML version='4.2'><DataDictionary>"
      "<DataField name='id' optype='categorical' dataType='integer'>"
      "<Extension><UsageType value='disable'/></Extension></DataField>"
      "</DataDictionary><TransformationDictionary>"
      "<DerivedField name='age_t' optype='continuous' dataType='double'>"
      "<Apply function='*'><FieldRef field='age'/><Constant>2</Constant></Apply>"
      "</DerivedField></TransformationDictionary></PMML>");
  std::ostringstream out;
  std::string message;
  std::vector<std::string> noneFields;
  const int code =
      ADP_Convert::convertPMMLtoSyntax(in, out, message, noneFields, false, true, false);
  const std::string expected = "\nCOMPUTE age_t = (age*2).\nVARIABLE ROLE\n  /NONE id.\n";
  if (code != pmmlxform::kSyntaxOk || out.str() != expected || noneFields.size() != 1 ||
      noneFields[0] != "id") {
    std::printf("syntax conversion failed: code %d, message '%s', output '%s'\n", code,
                message.c_str(), out.str().c_str());
    return 1;
  }
  std::printf("syntax conversion: ok\n");
  return 0;
}
