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
  app.require_subcommand(0, 1);

  cli::SyntaxOptions syntax;
  CLI::App* syntaxCmd = app.add_subcommand("syntax", "data-preparation PMML -> command syntax");
  syntaxCmd->add_flag("--comments", syntax.comments,
                      "write a '** Target - ...' comment line before each computed field");
  syntaxCmd->add_flag("--skip-roles", syntax.skipRoles, "write no VARIABLE ROLE command");
  syntaxCmd->add_flag("--local-codepage", syntax.localCodepage,
                      "read and write texts in the locale's code page instead of UTF-8");
  syntaxCmd
      ->add_option("--none-fields", syntax.noneFields,
                   "write the names of the NONE role to FILE, one per line")
      ->type_name("FILE");
  syntaxCmd->add_option("input", syntax.input.path, "PMML document, or - for standard input")
      ->type_name("INPUT|-");
  syntaxCmd->add_option("-o,--output", syntax.output.path, "write the syntax to OUT")
      ->type_name("OUT");

  cli::BackSyntaxOptions back;
  CLI::App* backCmd =
      app.add_subcommand("back-syntax", "a target's inverse transformation -> command syntax");
  backCmd->add_option("--target", back.target, "the field the inverse writes")
      ->type_name("NAME")
      ->required();
  backCmd
      ->add_option("--source", back.source,
                   "the field the inverse reads (empty: the document's own)")
      ->type_name("NAME")
      ->required();
  backCmd->add_flag("--comments", back.comments,
                    "write a '** Target - ...' comment line before each computed field");
  backCmd->add_flag("--local-codepage", back.localCodepage,
                    "read and write texts in the locale's code page instead of UTF-8");
  backCmd->add_option("input", back.input.path, "PMML document, or - for standard input")
      ->type_name("INPUT|-");
  backCmd->add_option("-o,--output", back.output.path, "write the syntax to OUT")->type_name("OUT");


  cli::MergeOptions merge;
  CLI::App* mergeCmd = app.add_subcommand(
      "merge", "transformation PMML + model PMML -> one PMML that scores raw fields");
  mergeCmd->add_option("TRANSFORMATION", merge.transformation.path, "transformation PMML, or '-'")
      ->required();
  mergeCmd->add_option("MODEL", merge.model.path, "model PMML, or '-'")->required();
  mergeCmd->add_option("-o,--output", merge.output.path, "write the merged PMML to FILE");
  mergeCmd->add_option("--report", merge.report,
                       "write the data, derived and mining fields of the result as JSON to FILE");

  cli::TransformOptions transformOpts;
  CLI::App* transformCmd = app.add_subcommand(
      "transform", "transformation descriptions (accumulated in order) -> PMML 4.3");
  transformCmd->add_flag("--replace", transformOpts.replace,
                         "convert each description on its own; the last one's PMML is written");
  transformCmd
      ->add_option("DESCRIPTION", transformOpts.descriptions,
                   "description files in order, or - for standard input")
      ->required();
  transformCmd->add_option("-o,--output", transformOpts.output.path, "write the PMML to OUT");
  transformCmd->add_option("--report", transformOpts.report,
                           "write the produced variables as JSON to FILE");

  cli::CheckOptions checkOpts;
  CLI::App* checkCmd =
      app.add_subcommand("check", "tell whether a transformation description converts");
  checkCmd->add_option("DESCRIPTION", checkOpts.input.path, "description file, or - for standard input")
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
  if (*syntaxCmd) return cli::runSyntax(syntax);
  if (*backCmd) return cli::runBackSyntax(back);
  if (*mergeCmd) return cli::runMerge(merge);
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
