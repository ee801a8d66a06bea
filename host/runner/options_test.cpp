#include "runner/options.h"

#include <gtest/gtest.h>

#include "runner/parameters.h"
#include "runner/testing/qtprinters.h"

namespace {

using wheelhost::parseArguments;

TEST(RunnerOptions, LongShortAndAttachedFormsAllStore) {
  const auto p = parseArguments({"-c",        "cat.json", "--params=p.json",
                                 "-s",        "d2h=0.5",  "--set=filterSize=200",
                                 "--models",  "A, B",     "-m",
                                 "C",         "--config", "cfg",
                                 "--plugin",  "lib.so",   "-o",
                                 "out",       "-t",       "truth.json",
                                 "--samples", "set",      "--json",
                                 "-r",        "-v",       "--no-progress",
                                 "a.png",     "folder"});
  ASSERT_TRUE(p.error.isEmpty()) << p.error.toStdString();
  const wheelhost::RunnerOptions& o = p.options;
  EXPECT_EQ(o.catalogue, "cat.json");
  EXPECT_EQ(o.params, "p.json");
  // Only the first '=' separates an attached value: the setting keeps its own.
  EXPECT_EQ(o.settings, QStringList({"d2h=0.5", "filterSize=200"}));
  EXPECT_EQ(o.models, QStringList({"A", "B", "C"}));
  EXPECT_EQ(o.configDir, "cfg");
  EXPECT_EQ(o.plugin, "lib.so");
  EXPECT_EQ(o.outDir, "out");
  EXPECT_EQ(o.truth, "truth.json");
  EXPECT_EQ(o.samples, "set");
  EXPECT_TRUE(o.json && o.recursive && o.verbose);
  EXPECT_FALSE(o.progress);
  EXPECT_FALSE(o.help || o.version);
  EXPECT_EQ(o.inputs, QStringList({"a.png", "folder"}));
}

TEST(RunnerOptions, OrderingRulesAndTheRunOptions) {
  const auto none = parseArguments({});
  EXPECT_TRUE(none.error.isEmpty());
  EXPECT_TRUE(none.options.progress);

  // Options and inputs mix; a repeated single-valued option keeps the last value; after "--"
  // everything is an input, also what looks like an option.
  const auto p =
      parseArguments({"x.png", "--out", "a", "y.png", "--out", "b", "--", "--json", "-"});
  ASSERT_TRUE(p.error.isEmpty());
  EXPECT_EQ(p.options.outDir, "b");
  EXPECT_FALSE(p.options.json);
  EXPECT_EQ(p.options.inputs, QStringList({"x.png", "y.png", "--json", "-"}));

  const auto jobs = parseArguments({"-j", "3", "--report", "--out", "o"});
  ASSERT_TRUE(jobs.error.isEmpty()) << jobs.error.toStdString();
  EXPECT_EQ(jobs.options.jobs, 3);
  EXPECT_TRUE(jobs.options.report);
  const auto sweep = parseArguments({"--sweep", "bEqual=0,1;RobustRefine=1", "--best=b.json"});
  ASSERT_TRUE(sweep.error.isEmpty()) << sweep.error.toStdString();
  EXPECT_EQ(sweep.options.sweep, "bEqual=0,1;RobustRefine=1");
  EXPECT_EQ(sweep.options.best, "b.json");

  EXPECT_TRUE(parseArguments({"-h"}).options.help);
  EXPECT_TRUE(parseArguments({"--version"}).options.version);
}

TEST(RunnerOptions, UnusableArgumentsAreNamed) {
  EXPECT_EQ(parseArguments({"--bogus"}).error,
            "unknown option '--bogus'; wheelhost --help lists the options");
  EXPECT_EQ(parseArguments({"-x"}).error,
            "unknown option '-x'; wheelhost --help lists the options");
  EXPECT_EQ(parseArguments({"-cv"}).error,
            "unknown option '-cv' (options with one dash are one letter)");
  EXPECT_EQ(parseArguments({"a.png", "--catalogue"}).error, "option '--catalogue' needs a value");
  EXPECT_EQ(parseArguments({"--out="}).error, "option '--out' needs a non-empty value");
  EXPECT_EQ(parseArguments({"-o", ""}).error, "option '--out' needs a non-empty value");
  EXPECT_EQ(parseArguments({"--verbose=1"}).error, "option '--verbose' takes no value");
  EXPECT_EQ(parseArguments({"--jobs", "0"}).error,
            "option '--jobs' expects a positive number, got \"0\"");
  EXPECT_EQ(parseArguments({"-j", "many"}).error,
            "option '--jobs' expects a positive number, got \"many\"");
  EXPECT_EQ(parseArguments({"--report", "a.png"}).error,
            "option '--report' needs --out DIR (the page is written there)");
  EXPECT_EQ(parseArguments({"--best", "b.json"}).error,
            "option '--best' needs --sweep GRID (it writes the sweep's best setting)");
  // A value that looks like an option is still the value.
  EXPECT_EQ(parseArguments({"--out", "--json"}).options.outDir, "--json");
}

TEST(RunnerOptions, HelpDocumentsTheDefaultsEveryOptionAndEveryParameter) {
  const QString help = wheelhost::helpText("/samples/here", "/plugins/lib.so");
  EXPECT_TRUE(help.startsWith("usage: wheelhost [options] [IMAGE|FOLDER ...]"));
  EXPECT_TRUE(help.contains("/samples/here"));
  EXPECT_TRUE(help.contains("/plugins/lib.so"));
  for (const char* option :
       {"--catalogue", "--models", "--params", "--set", "--config", "--plugin", "--out", "--report",
        "--jobs", "--json", "--truth", "--samples", "--recursive", "--verbose", "--no-progress",
        "--help", "--version", "--sweep", "--best"}) {
    EXPECT_TRUE(help.contains(option)) << option;
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
