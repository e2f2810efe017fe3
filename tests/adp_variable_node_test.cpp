// Variable names read from references and declarations.
#include "syntax/adp_variable_node.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/adp_support.h"

namespace {

using adptest::check;
using adptest::var;

TEST(VariableNode, ReadsNamesAndDeclarations) {
  check<ADPVariableNode>({
      {"reference", var("age"), 0, "age"},
      {"empty name", "<Discretize field=''/>", 7, "X.FieldRef"},
      {"other element", "<Constant/>", 6, "X[FieldRef,Discretize,DerivedField,FieldColumnPair]"},
      {"unsafe", "<FieldColumnPair field=\"a'b\"/>", 7,
       "X.FieldColumnPair(a'b){Not a valid variable name.}"},
      {"reserved word", var("all"), 7, "X.FieldRef(all){Reserved word.}"},
      {"system variable", "<Discretize field='$casenum'/>", 7,
       "X.FieldRef($casenum){System variable.}"},
      // The derived node that holds the target names the element in the path.
      {"reserved word declared", "<DerivedField name='TO' dataType='double'/>", 7,
       "X(TO){Reserved word.}"},
      {"scratch variable declared", "<DerivedField name='#t' dataType='double'/>", 0, ""},
  });
}

}  // namespace
