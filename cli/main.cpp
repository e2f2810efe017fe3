// Command-line entry of the pmmlxform tool: parses the command line with CLI11
// and hands each subcommand to its job in jobs.cpp.
#include <CLI/CLI.hpp>

#include <clocale>
#include <exception>
#include <iostream>

#include "cli/jobs.h"
#include "pmmlxform/pmmlxform.h"

namespace {

constexpr const char kJobs[] =
    "Jobs:\n"
    "  transform    transformation description (XML) -> PMML 4.3 TransformationDictionary\n"
    "  merge        transformation PMML + model PMML -> one PMML that scores raw fields\n"
    "  syntax       data-preparation PMML -> command syntax\n"
    "  back-syntax  a target's inverse transformation -> command syntax\n"
    "\n"
    "Input is a file or '-' for standard input; output goes to standard output or -o FILE.\n"
    "On failure the tool prints 'pmmlxform: <job>: <message> (code N)' and exits with N.\n";

int run(int argc, char** argv) {
  CLI::App app{"pmmlxform: converts PMML transformations", "pmmlxform"};
  app.set_version_flag("--version", std::string("pmmlxform ") + PMMLXFORM_VERSION_STRING);
  app.footer(kJobs);

  cli::MergeOptions merge;
  CLI::App* mergeCmd = app.add_subcommand(
      "merge", "transformation PMML + model PMML -> one PMML that scores raw fields");
  mergeCmd->add_option("TRANSFORMATION", merge.transformation.path, "transformation PMML, or '-'")
      ->required();
  mergeCmd->add_option("MODEL", merge.model.path, "model PMML, or '-'")->required();
  mergeCmd->add_option("-o,--output", merge.output.path, "write the merged PMML to FILE");
  mergeCmd->add_option("--report", merge.report,
                       "write the data, derived and mining fields of the result as JSON to FILE");
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return cli::kExitUsage;
  }
  if (*mergeCmd) return cli::runMerge(merge);
  // No job was named: show what there is and report a usage error.
  std::cerr << app.help();
  return cli::kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  // Local code page conversions follow the user's locale, as the host's do.
  std::setlocale(LC_ALL, "");
  try {
    return run(argc, argv);
  } catch (const std::exception& e) {
    return cli::fail("internal", e.what(), cli::kExitSoftware);
  } catch (...) {
    return cli::fail("internal", "unknown error", cli::kExitSoftware);
  }
}
