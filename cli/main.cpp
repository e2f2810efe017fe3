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
    "  check        is a transformation description valid?\n"
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

  cli::TransformOptions transformOpts;
  CLI::App* transformCmd = app.add_subcommand(
      "transform", "Convert transformation descriptions (merged in order) into PMML 4.3");
  transformCmd->add_flag("--replace", transformOpts.replace,
                         "Convert each description on its own; the last one's PMML is written");
  transformCmd
      ->add_option("DESCRIPTION", transformOpts.descriptions,
                   "Description files in order ('-' for standard input)")
      ->required();
  transformCmd->add_option("-o,--output", transformOpts.output.path, "Write the PMML here");
  transformCmd->add_option("--report", transformOpts.report,
                           "Write the produced variables as JSON here");

  cli::CheckOptions checkOpts;
  CLI::App* checkCmd =
      app.add_subcommand("check", "Tell whether a transformation description converts");
  checkCmd->add_option("DESCRIPTION", checkOpts.input.path, "Description file ('-' for stdin)")
      ->required();

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
  if (*transformCmd) return cli::runTransform(transformOpts);
  if (*checkCmd) return cli::runCheck(checkOpts);
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
