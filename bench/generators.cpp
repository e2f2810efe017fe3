// Deterministic benchmark inputs.
#include "generators.h"

#include <functional>

namespace bench {

namespace {

std::string num(std::size_t i) { return std::to_string(i); }

std::string usage(bool enabled, const char* fieldClass = "predictor") {
  return std::string("<Extension><UsageType value=\"") + (enabled ? "enable" : "disable") +
         "\"/><ClassOfField value=\"" + fieldClass + "\"/></Extension>";
}

constexpr char kPmmlHead[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<PMML version=\"4.3\" "
    "xmlns=\"http://www.dmg.org/PMML-4_3\">\n<Header copyright=\"bench\"/>\n";

constexpr char kDescriptionHead[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<TransformationDescription>\n"
    "<Transformations>\n";
constexpr char kDescriptionTail[] = "</Transformations>\n</TransformationDescription>\n";

// The value a wide field takes for entry k: bins of a Discretize, outputs of a
// MapValues.
std::string wideValue(std::size_t field, std::size_t k) {
  return (field % 2 == 0 ? "b" : "m") + num(k);
}

// A regression model over the fields "name(i)" for i below n, whose
// dictionary entries and predictors `field` and `predictor` write.
std::string model(std::size_t n, const std::function<std::string(std::size_t)>& field,
                  const std::function<std::string(std::size_t)>& predictor,
                  const std::function<std::string(std::size_t)>& name) {
  std::string s = kPmmlHead;
  s += "<DataDictionary numberOfFields=\"" + num(n + 1) +
       "\">\n<DataField name=\"y\" optype=\"continuous\" dataType=\"double\"/>\n";
  for (std::size_t i = 0; i < n; ++i) s += field(i);
  s += "</DataDictionary>\n<RegressionModel functionName=\"regression\">\n<MiningSchema>\n"
       "<MiningField name=\"y\" usageType=\"predicted\"/>\n";
  for (std::size_t i = 0; i < n; ++i) s += "<MiningField name=\"" + name(i) + "\"/>\n";
  s += "</MiningSchema>\n<RegressionTable intercept=\"0.5\">\n";
  for (std::size_t i = 0; i < n; ++i) s += predictor(i);
  s += "</RegressionTable>\n</RegressionModel>\n</PMML>\n";
  return s;
}

}  // namespace

std::string dataPreparation(std::size_t n, bool allNodeKinds) {
  std::string s;
  s.reserve(n * 900);
  s += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<PMML version=\"4.2\">\n"
       "<Header copyright=\"bench\"><Application name=\"Automated Data Preparation\" "
       "version=\"1.0\"/></Header>\n<DataDictionary numberOfFields=\"" +
       num(n + 1) + "\">\n";
  // Raw fields: every fifth is a string with a value list.
  for (std::size_t i = 0; i < n; ++i) {
    const bool text = i % 5 == 4;
    s += "<DataField name=\"v" + num(i) + "\" optype=\"" + (text ? "categorical" : "continuous") +
         "\" dataType=\"" + (text ? "string" : "double") + "\">" + usage(i % 50 != 7);
    if (text) {
      s += "<Value value=\"A" + num(i % 97) + "\"/><Value value=\"BB\"/><Value value=\"CCC\"/>";
    }
    s += "</DataField>\n";
  }
  s += "<DataField name=\"y\" optype=\"continuous\" dataType=\"double\">" + usage(true, "target") +
       "</DataField>\n</DataDictionary>\n<TransformationDictionary>\n";
  for (std::size_t i = 0; i < n; ++i) {
    const std::string v = "v" + num(i);
    const std::string d = "d" + num(i);
    const std::size_t kind = i % 20;
    // Fields 3 and 13 of every twenty are disabled; 4 and 14 read them, and 3
    // reads the disabled field 13 of the twenty before (a chain).
    const bool disabled = kind == 3 || kind == 13;
    std::string type = "double";
    std::string optype = "continuous";
    std::string body;
    if (kind == 3 && i >= 20) {
      body = "<Apply function=\"+\"><FieldRef field=\"" + v + "\"/><FieldRef field=\"d" +
             num(i - 10) + "\"/></Apply>";
    } else if (kind == 4 || kind == 14) {
      body = "<Apply function=\"*\"><FieldRef field=\"d" + num(i - 1) +
             "\"/><Constant dataType=\"double\">2</Constant></Apply>";
    } else if (i % 5 == 4) {
      type = "string";
      optype = "categorical";
      body = "<Apply function=\"uppercase\"><FieldRef field=\"" + v + "\"/></Apply>";
    } else if (allNodeKinds && kind == 0) {
      body = "<NormContinuous field=\"" + v +
             "\" outliers=\"asExtremeValues\"><LinearNorm orig=\"0\" norm=\"0\"/><LinearNorm "
             "orig=\"10\" norm=\"1\"/>"
             "</NormContinuous>";
    } else if (allNodeKinds && kind == 5) {
      type = "string";
      optype = "categorical";
      body = "<MapValues outputColumn=\"out\" dataType=\"string\"><FieldColumnPair field=\"" + v +
             "\" column=\"in\"/><InlineTable><row><in>1</in><out>a</out></row>"
             "<row><in>2</in><out>b</out></row></InlineTable></MapValues>";
    } else if (allNodeKinds && kind == 10) {
      type = "string";
      optype = "categorical";
      body = "<Discretize field=\"" + v +
             "\"><DiscretizeBin binValue=\"lo\"><Interval closure=\"openClosed\" "
             "rightMargin=\"5\"/></DiscretizeBin><DiscretizeBin binValue=\"hi\"><Interval "
             "closure=\"openOpen\" leftMargin=\"5\"/></DiscretizeBin></Discretize>";
    } else if (allNodeKinds && kind == 15) {
      body = "<Apply function=\"outlierHandle\"><FieldRef field=\"" + v +
             "\"/><Constant dataType=\"string\">asExtremeValues</Constant><Constant "
             "dataType=\"double\">5</Constant><Constant dataType=\"double\">2</Constant>"
             "<Constant dataType=\"double\">3</Constant></Apply>";
    } else if (kind % 3 == 0) {
      body = "<Apply function=\"ln\"><Apply function=\"+\"><FieldRef field=\"" + v +
             "\"/><Constant dataType=\"double\">1</Constant></Apply></Apply>";
    } else if (kind % 3 == 1) {
      body = "<Apply function=\"round\"><Apply function=\"/\"><FieldRef field=\"" + v +
             "\"/><Constant dataType=\"integer\">10</Constant></Apply></Apply>";
    } else {
      body = "<Apply function=\"sqrt\"><FieldRef field=\"" + v + "\"/></Apply>";
    }
    s += "<DerivedField name=\"" + d + "\" optype=\"" + optype + "\" dataType=\"" + type + "\">" +
         usage(!disabled) + body + "</DerivedField>\n";
  }
  s += "</TransformationDictionary>\n</PMML>\n";
  return s;
}

std::string description(std::size_t n) {
  std::string s;
  s.reserve(n * 400);
  s += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<TransformationDescription>\n"
       "<Transformations>\n";
  const std::size_t sources = n / 4 + 1;
  for (std::size_t i = 0; i < sources; ++i) {
    if (i % 4 == 3) {
      s += "<Variable name=\"s" + num(i) +
           "\" type=\"string\" width=\"2\" level=\"nominal\">"
           "<Missing value=\"XX\"/></Variable>\n";
    } else {
      s += "<Variable name=\"s" + num(i) +
           "\" type=\"numeric\" level=\"scale\">"
           "<Missing value=\"99\"/></Variable>\n";
    }
  }
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t source = (i * 7) % sources;
    const std::string t = "t" + num(i);
    if (i % 2 == 0 && source % 4 == 3) {
      s += "<Recode source=\"s" + num(source) + "\" target=\"" + t +
           "\" type=\"string\" width=\"5\" level=\"nominal\">"
           "<Rule><Value value=\"N\"/><Value value=\"NE\"/><To value=\"North\"/></Rule>"
           "<Rule><Missing/><To value=\"?\"/></Rule><Rule><Else/><To value=\"Other\"/></Rule>"
           "</Recode>\n";
    } else if (i % 2 == 0) {
      s += "<Recode source=\"s" + num(source) + "\" target=\"" + t +
           "\" type=\"numeric\" level=\"ordinal\">"
           "<Rule><Missing/><To value=\"9\"/></Rule>"
           "<Rule><Range low=\"LOWEST\" high=\"20\"/><To value=\"1\"/></Rule>"
           "<Rule><Range low=\"20\" high=\"50\"/><To value=\"2\"/></Rule>"
           "<Rule><Range low=\"50\" high=\"HIGHEST\"/><To value=\"3\"/></Rule></Recode>\n";
    } else {
      // A compute over a numeric source and, every tenth, over an earlier target.
      auto numeric = [](std::size_t k) { return "s" + num(k % 4 == 3 ? k - 1 : k); };
      const std::string other = (i % 10 == 1 && i > 2) ? "t" + num(i - 2) : numeric(i % sources);
      s += "<Compute target=\"" + t +
           "\" type=\"numeric\" level=\"scale\"><Apply function=\"/\">"
           "<Field name=\"" +
           numeric(source) + "\"/><Apply function=\"max\"><Field name=\"" + other +
           "\"/><Number value=\"1\"/></Apply></Apply></Compute>\n";
    }
  }
  s += "</Transformations>\n</TransformationDescription>\n";
  return s;
}

std::string transformationPmml(std::size_t n) {
  std::string s;
  s.reserve(n * 500);
  s += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<PMML version=\"4.3\" "
       "xmlns=\"http://www.dmg.org/PMML-4_3\">\n<Header copyright=\"bench\"/>\n"
       "<DataDictionary numberOfFields=\"" +
       num(n) + "\">\n";
  for (std::size_t i = 0; i < n; ++i) {
    s += "<DataField name=\"raw" + num(i) + "\" optype=\"continuous\" dataType=\"double\"/>\n";
  }
  s += "</DataDictionary>\n<TransformationDictionary>\n";
  for (std::size_t i = 0; i < n; ++i) {
    const std::string input = (i % 10 == 9) ? "x" + num(i - 1) : "raw" + num(i);
    if (i % 3 == 0) {
      s += "<DerivedField name=\"x" + num(i) +
           "\" optype=\"categorical\" dataType=\"string\">"
           "<Discretize field=\"" +
           input +
           "\" mapMissingTo=\"unknown\">"
           "<DiscretizeBin binValue=\"low\"><Interval closure=\"openClosed\" rightMargin=\"2\"/>"
           "</DiscretizeBin><DiscretizeBin binValue=\"high\"><Interval closure=\"openOpen\" "
           "leftMargin=\"2\"/></DiscretizeBin></Discretize></DerivedField>\n";
    } else {
      s += "<DerivedField name=\"x" + num(i) +
           "\" optype=\"continuous\" dataType=\"double\">"
           "<Apply function=\"/\"><FieldRef field=\"" +
           input + "\"/><FieldRef field=\"raw" + num((i + 1) % n) + "\"/></Apply></DerivedField>\n";
    }
  }
  s += "</TransformationDictionary>\n</PMML>\n";
  return s;
}

std::string regressionModel(std::size_t n) {
  std::string s;
  s.reserve(n * 300);
  s += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<PMML version=\"4.3\" "
       "xmlns=\"http://www.dmg.org/PMML-4_3\">\n<Header copyright=\"bench\"/>\n"
       "<DataDictionary numberOfFields=\"" +
       num(n + 1) +
       "\">\n"
       "<DataField name=\"y\" optype=\"continuous\" dataType=\"double\"/>\n";
  for (std::size_t i = 0; i < n; ++i) {
    if (i % 3 == 0) {
      s += "<DataField name=\"X" + num(i) +
           "\" optype=\"categorical\" dataType=\"string\">"
           "<Value value=\"low\"/><Value value=\"high\"/></DataField>\n";
    } else {
      s += "<DataField name=\"X" + num(i) + "\" optype=\"continuous\" dataType=\"double\"/>\n";
    }
  }
  s += "</DataDictionary>\n<RegressionModel functionName=\"regression\">\n<MiningSchema>\n"
       "<MiningField name=\"y\" usageType=\"predicted\"/>\n";
  // Upper-case model names: the merge matches them ignoring case.
  for (std::size_t i = 0; i < n; ++i) s += "<MiningField name=\"X" + num(i) + "\"/>\n";
  s += "</MiningSchema>\n<RegressionTable intercept=\"0.5\">\n";
  for (std::size_t i = 0; i < n; ++i) {
    if (i % 3 != 0) {
      s +=
          "<NumericPredictor name=\"X" + num(i) + "\" coefficient=\"0." + num(i % 9 + 1) + "\"/>\n";
    } else {
      s += "<CategoricalPredictor name=\"X" + num(i) + "\" value=\"low\" coefficient=\"1\"/>\n";
    }
  }
  s += "</RegressionTable>\n</RegressionModel>\n</PMML>\n";
  return s;
}

std::string recodePerVariable(std::size_t n) {
  std::string s = kDescriptionHead;
  s.reserve(n * 250);
  for (std::size_t i = 0; i < n; ++i) {
    s += "<Variable name=\"s" + num(i) + "\" type=\"numeric\" level=\"scale\"/>\n";
  }
  for (std::size_t i = 0; i < n; ++i) {
    s += "<Recode source=\"s" + num(i) + "\" target=\"t" + num(i) +
         "\" type=\"numeric\" level=\"ordinal\">"
         "<Rule><Range low=\"LOWEST\" high=\"10\"/><To value=\"1\"/></Rule>"
         "<Rule><Else/><To value=\"2\"/></Rule></Recode>\n";
  }
  s += kDescriptionTail;
  return s;
}

std::string manyRules(std::size_t n) {
  std::string s = kDescriptionHead;
  s.reserve(n * 80);
  s += "<Variable name=\"s\" type=\"numeric\" level=\"scale\"><Missing value=\"-1\"/></Variable>\n"
       "<Recode source=\"s\" target=\"t\" type=\"numeric\" level=\"ordinal\">\n";
  for (std::size_t i = 0; i < n; ++i) {
    // A single value inside the ranges of earlier rules: an earlier rule takes it.
    const std::string input =
        i % 4 == 3 ? "<Value value=\"" + num(i) + ".5\"/>"
                   : "<Range low=\"" + num(i) + "\" high=\"" + num(i + n / 2) + "\"/>";
    s += "<Rule>" + input + "<To value=\"" + num(i) + "\"/></Rule>\n";
  }
  s += "</Recode>\n";
  s += kDescriptionTail;
  return s;
}

std::string chainTransformation(std::size_t n) {
  std::string s = kPmmlHead;
  s.reserve(n * 160);
  s += "<DataDictionary numberOfFields=\"1\">\n"
       "<DataField name=\"raw\" optype=\"continuous\" dataType=\"double\"/>\n"
       "</DataDictionary>\n<TransformationDictionary>\n";
  for (std::size_t i = 0; i < n; ++i) {
    const std::string before = i == 0 ? "raw" : "d" + num(i - 1);
    s += "<DerivedField name=\"d" + num(i) +
         "\" optype=\"continuous\" dataType=\"double\">"
         "<Apply function=\"+\"><FieldRef field=\"" +
         before + "\"/><Constant>1</Constant></Apply></DerivedField>\n";
  }
  s += "</TransformationDictionary>\n</PMML>\n";
  return s;
}

std::string chainModel(std::size_t n) {
  const auto name = [](std::size_t i) { return "d" + num(i); };
  return model(
      n,
      [&](std::size_t i) {
        return "<DataField name=\"" + name(i) + "\" optype=\"continuous\" dataType=\"double\"/>\n";
      },
      [&](std::size_t i) {
        return "<NumericPredictor name=\"" + name(i) + "\" coefficient=\"0." + num(i % 9 + 1) +
               "\"/>\n";
      },
      name);
}

std::string wideTransformation(std::size_t n) {
  std::string s = kPmmlHead;
  s.reserve(n * 1200);
  s += "<DataDictionary numberOfFields=\"" + num(n) + "\">\n";
  for (std::size_t i = 0; i < n; ++i) {
    s += "<DataField name=\"raw" + num(i) + "\" optype=\"continuous\" dataType=\"double\"/>\n";
  }
  s += "</DataDictionary>\n<TransformationDictionary>\n";
  for (std::size_t i = 0; i < n; ++i) {
    s += "<DerivedField name=\"w" + num(i) + "\" optype=\"categorical\" dataType=\"string\">";
    if (i % 2 == 0) {
      // Bins of width 5 from 0, the first and the last open-ended.
      s += "<Discretize field=\"raw" + num(i) + "\" mapMissingTo=\"unknown\">";
      for (std::size_t k = 0; k < kWideEntries; ++k) {
        s += "<DiscretizeBin binValue=\"" + wideValue(i, k) + "\"><Interval closure=\"closedOpen\"";
        if (k > 0) s += " leftMargin=\"" + num(k * 5) + "\"";
        if (k + 1 < kWideEntries) s += " rightMargin=\"" + num(k * 5 + 5) + "\"";
        s += "/></DiscretizeBin>";
      }
      s += "</Discretize>";
    } else {
      s += "<MapValues outputColumn=\"out\" dataType=\"string\" mapMissingTo=\"unknown\">"
           "<FieldColumnPair field=\"raw" +
           num(i) + "\" column=\"in\"/><InlineTable>";
      for (std::size_t k = 0; k < kWideEntries; ++k) {
        s += "<row><in>" + num(k + 1) + "</in><out>" + wideValue(i, k) + "</out></row>";
      }
      s += "</InlineTable></MapValues>";
    }
    s += "</DerivedField>\n";
  }
  s += "</TransformationDictionary>\n</PMML>\n";
  return s;
}

std::string wideModel(std::size_t n) {
  const auto name = [](std::size_t i) { return "w" + num(i); };
  return model(
      n,
      [&](std::size_t i) {
        std::string field =
            "<DataField name=\"" + name(i) + "\" optype=\"categorical\" dataType=\"string\">";
        for (std::size_t k = 0; k < kWideEntries; ++k) {
          field += "<Value value=\"" + wideValue(i, k) + "\"/>";
        }
        return field + "</DataField>\n";
      },
      [&](std::size_t i) {
        return "<CategoricalPredictor name=\"" + name(i) + "\" value=\"" + wideValue(i, i % 7) +
               "\" coefficient=\"1\"/>\n";
      },
      name);
}

}  // namespace bench
