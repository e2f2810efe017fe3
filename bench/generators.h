#ifndef PMMLXFORM_BENCH_GENERATORS_H_
#define PMMLXFORM_BENCH_GENERATORS_H_

// Deterministic inputs of a given size for the benchmarks: the same N always
// gives the same bytes.

#include <cstddef>
#include <string>

namespace bench {

// Data-preparation PMML with `n` raw fields and `n` derived fields in a mix of
// operators, functions, string fields and disabled fields (about 5%) that
// later fields read, some through chains. With `allNodeKinds`, NormContinuous,
// MapValues, Discretize and outlierHandle fields join the mix.
std::string dataPreparation(std::size_t n, bool allNodeKinds);

// A transformation description with n/4 source variables and `n` recodes and
// computes (numeric and string recodes, computes over earlier targets).
std::string description(std::size_t n);

// Transformation PMML with `n` derived fields (every tenth reads the one
// before it) and a regression model whose mining schema takes them all.
std::string transformationPmml(std::size_t n);
std::string regressionModel(std::size_t n);

// A description with `n` numeric source variables and one recode over each:
// LOWEST to 10 into 1, everything else into 2.
std::string recodePerVariable(std::size_t n);

// A description with one numeric source and one recode of `n` rules: ranges
// from i to i + n/2, which overlap, and every fourth rule a single value.
std::string manyRules(std::size_t n);

// Transformation PMML with a chain of `n` derived fields, each adding 1 to
// the one before, and a regression model whose mining schema takes them all.
std::string chainTransformation(std::size_t n);
std::string chainModel(std::size_t n);

// Transformation PMML with `n` derived fields, alternately a Discretize of
// kWideEntries bins and a MapValues over an InlineTable of kWideEntries rows,
// and a regression model over them whose fields list the values they take.
constexpr std::size_t kWideEntries = 20;
std::string wideTransformation(std::size_t n);
std::string wideModel(std::size_t n);

}  // namespace bench

#endif  // PMMLXFORM_BENCH_GENERATORS_H_
