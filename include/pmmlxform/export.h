#ifndef PMMLXFORM_EXPORT_H_
#define PMMLXFORM_EXPORT_H_

/// @file
/// The export marker of the library's interface.

/// The library is built with hidden visibility; only declarations marked
/// PMMLXFORM_API are exported from libpmmlxform.so. On ELF the same attribute
/// serves the library and its consumers, so no import variant is needed.
#define PMMLXFORM_API __attribute__((visibility("default")))

#endif  // PMMLXFORM_EXPORT_H_
