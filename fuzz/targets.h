#ifndef PMMLXFORM_FUZZ_TARGETS_H_
#define PMMLXFORM_FUZZ_TARGETS_H_

// The entry points the fuzzers drive, one function per harness. The fuzzers
// call them on every generated input and the regression test on every saved
// one, so both exercise exactly the same paths.
//
// Each function returns the entry point's result code, or kUndocumented when
// the entry point answered a code it does not document; the harnesses abort on
// that, so an unexpected code is a finding like a crash.

#include <cstddef>
#include <cstdint>
#include <string>

namespace pmmlxform::fuzz {

inline constexpr int kUndocumented = -1;

// The five harnesses, by the names of their binaries and corpus directories.
inline constexpr const char* kTargetNames[] = {"syntax", "back_syntax", "transform", "merge",
                                               "intervals"};

// Data-preparation PMML to syntax. The first byte holds the flags: bit 0
// skipRoles, bit 1 utf8, bit 2 withComments, bit 3 the overload that reports
// the NONE fields. The rest is the document.
int runSyntax(const std::uint8_t* data, std::size_t size);

// Back-syntax. First byte: bit 0 utf8, bit 1 withComments, bit 2 a target name,
// bit 3 a source name. The rest is the document.
int runBackSyntax(const std::uint8_t* data, std::size_t size);

// The text form of transform with the shipped stylesheet, on a fresh converter.
// Needs the application directory set (setApplicationDirectory).
int runTransform(const std::uint8_t* data, std::size_t size);

// The text form of mergePMML: the input is the transformation document, a line
// "=====" and the model document (without that line, split in the middle).
int runMerge(const std::uint8_t* data, std::size_t size);

// The "intervals" extension function: the input becomes the children of a
// "Rules" element whose children a small stylesheet hands to the function.
int runIntervals(const std::uint8_t* data, std::size_t size);

// Runs the harness of that name; kUndocumented for an unknown name.
int runTarget(const std::string& name, const std::uint8_t* data, std::size_t size);

// Points the library at the directory holding transformation.xsl.
void setApplicationDirectory(const std::string& directory);

}  // namespace pmmlxform::fuzz

#endif  // PMMLXFORM_FUZZ_TARGETS_H_
