#ifndef PMMLXFORM_PMMLXFORM_H_
#define PMMLXFORM_PMMLXFORM_H_

/// @file
/// Umbrella header of the pmmlxform library: everything the library exports.
///
///     #include <pmmlxform/pmmlxform.h>
///
/// Xerces-C types appear only as forward declarations; include the Xerces
/// headers yourself where you create or walk DOM documents.

/// @mainpage pmmlxform
///
/// A C++17 shared library on Xerces-C and Xalan-C for PMML transformations.
/// It does three jobs for the application that loads it:
/// - transformation descriptions to PMML 4.3: ConvertTransToPMML::transform()
///   and the forms that ::ConvertTrans inherits to it;
/// - transformation PMML merged into model PMML: ConvertTransToPMML::mergePMML()
///   and its text and stream forms in ::ConvertTrans;
/// - data-preparation PMML to command syntax: the functions of ::ADP_Convert.
///
/// Every call returns an `int` result code, 0 for success, with a message text;
/// result_codes.h names the codes of each job.
/// Variables and mining fields of produced documents are reported as
/// ::TmsEndInfo and ::TmsMiningFieldInfo records. A `DOMDocument*` handed out
/// through a reference belongs to the caller. See each class for its thread
/// rules.

#include <pmmlxform/adp_convert.h>
#include <pmmlxform/convert_trans.h>
#include <pmmlxform/convert_trans_to_pmml.h>
#include <pmmlxform/export.h>
#include <pmmlxform/result_codes.h>
#include <pmmlxform/tms_records.h>
#include <pmmlxform/version.h>

#endif  // PMMLXFORM_PMMLXFORM_H_
