#include "runner/options.h"

#include <gtest/gtest.h>

#include "runner/parameters.h"
#include "runner/testing/qtprinters.h"

namespace {

using wheelhost::parseArguments;

// A command line written as one string, split at its spaces.
QStringList args(const char* line) { return QString(line).split(' ', Qt::SkipEmptyParts); }
wheelhost::ParsedArguments parse(const char* line) { return parseArguments(args(line)); }

TEST(RunnerOptions, LongShortAndAttachedFormsAllStore) {
  const auto p = parseArguments(
      args("-c cat.json --params=p.json -s d2h=0.5 --set=filterSize=200 --models")
      << "A, B"
      << args("-m C --config cfg --plugin lib.so -o out -t truth.json --samples set --json -r -v "
              "--no-progress a.png folder"));
  ASSERT_TRUE(p.error.isEmpty()) << p.error.toStdString();
  const wheelhost::RunnerOptions& o = p.options;
  EXPECT_EQ(
      QStringList({o.catalogue, o.params, o.configDir, o.plugin, o.outDir, o.truth, o.samples}),
      QStringList({"cat.json", "p.json", "cfg", "lib.so", "out", "truth.json", "set"}));
  // Only the first '=' separates an attached value: the setting keeps its own.
  EXPECT_EQ(o.settings, QStringList({"d2h=0.5", "filterSize=200"}));
  EXPECT_EQ(o.models, QStringList({"A", "B", "C"}));
  EXPECT_TRUE(o.json && o.recursive && o.verbose && !o.progress && !o.help && !o.version);
  EXPECT_EQ(o.inputs, QStringList({"a.png", "folder"}));
}

TEST(RunnerOptions, OrderingRulesAndTheRunOptions) {
  EXPECT_TRUE(parseArguments({}).error.isEmpty());
  // Options and inputs mix; a repeated single-valued option keeps the last value; after "--"
  // everything is an input, also what looks like an option.
  const auto p = parse("x.png --out a y.png --out b -- --json -");
  ASSERT_TRUE(p.error.isEmpty());
  EXPECT_EQ(p.options.outDir, "b");
  EXPECT_FALSE(p.options.json);
  EXPECT_EQ(p.options.inputs, QStringList({"x.png", "y.png", "--json", "-"}));

  const auto jobs = parse("-j 3 --report --out o");
  ASSERT_TRUE(jobs.error.isEmpty()) << jobs.error.toStdString();
  EXPECT_EQ(jobs.options.jobs, 3);
  EXPECT_TRUE(jobs.options.report);
  const auto sweep = parse("--sweep bEqual=0,1;RobustRefine=1 --best=b.json");
  ASSERT_TRUE(sweep.error.isEmpty()) << sweep.error.toStdString();
  EXPECT_EQ(sweep.options.sweep, "bEqual=0,1;RobustRefine=1");
  EXPECT_EQ(sweep.options.best, "b.json");

  EXPECT_TRUE(parse("-h").options.help);
}

TEST(RunnerOptions, UnusableArgumentsAreNamed) {
  const auto error = [](const char* line) { return parse(line).error; };
  EXPECT_EQ(error("--bogus"), "unknown option '--bogus'; wheelhost --help lists the options");
  EXPECT_EQ(error("-x"), "unknown option '-x'; wheelhost --help lists the options");
  EXPECT_EQ(error("-cv"), "unknown option '-cv' (options with one dash are one letter)");
  EXPECT_EQ(error("a.png --catalogue"), "option '--catalogue' needs a value");
  EXPECT_EQ(error("--out="), "option '--out' needs a non-empty value");
  EXPECT_EQ(error("--verbose=1"), "option '--verbose' takes no value");
  EXPECT_EQ(error("--jobs 0"), "option '--jobs' expects a positive number, got \"0\"");
  EXPECT_EQ(error("-j many"), "option '--jobs' expects a positive number, got \"many\"");
  EXPECT_EQ(error("--report a.png"),
            "option '--report' needs --out DIR (the page is written there)");
  EXPECT_EQ(error("--best b.json"),
            "option '--best' needs --sweep GRID (it writes the sweep's best setting)");
  // A value that looks like an option is still the value.
  EXPECT_EQ(parse("--out --json").options.outDir, "--json");
}

TEST(RunnerOptions, HelpDocumentsTheDefaultsEveryOptionAndEveryParameter) {
  const QString help = wheelhost::helpText("/samples/here", "/plugins/lib.so");
  EXPECT_TRUE(help.startsWith("usage: wheelhost [options] [IMAGE|FOLDER ...]"));
  EXPECT_TRUE(help.contains("/samples/here"));
  EXPECT_TRUE(help.contains("/plugins/lib.so"));
  for (const QString& option :
       args("--catalogue --models --params --set --config --plugin --out --report --jobs --json "
            "--truth --samples --recursive --verbose --no-progress --help --version --sweep "
            "--best")) {
    EXPECT_TRUE(help.contains(option)) << option.toStdString();
  }
  // Each parameter key starts a line of the key table.
  for (const auto& k : wheelhost::parameterKeys()) {
    EXPECT_TRUE(help.contains("\n  " + QString(k.key) + ' ')) << k.key;
  }
  EXPECT_TRUE(help.contains("Exit status"));
  // What "filterSize" bounds, in which pixels.
  EXPECT_TRUE(help.contains("diameter in half-size pixels"));
}

}  // namespace
