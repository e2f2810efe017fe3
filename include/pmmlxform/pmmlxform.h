#ifndef PMMLXFORM_PMMLXFORM_H_
#define PMMLXFORM_PMMLXFORM_H_

/// @file
/// Umbrella header of the pmmlxform library: everything the library exports.
///
///     #include <pmmlxform/pmmlxform.h>
///
/// Xerces-C types appear only as forward declarations; include the Xerces
/// headers yourself where you create or walk DOM documents.

#include <pmmlxform/adp_convert.h>
#include <pmmlxform/convert_trans.h>
#include <pmmlxform/convert_trans_to_pmml.h>
#include <pmmlxform/export.h>
#include <pmmlxform/tms_records.h>
#include <pmmlxform/version.h>

#endif  // PMMLXFORM_PMMLXFORM_H_
