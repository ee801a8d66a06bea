#pragma once

#include <QString>
#include <QStringList>

namespace wheelhost {

// What the command line of wheelhost asks for. Paths are kept as given; the runner resolves
// them. Empty strings mean "not given".
struct RunnerOptions {
  QStringList inputs;      // image files and folders, in the order given
  QString catalogue;       // --catalogue FILE
  QStringList models;      // --models A,B (repeatable): names to consider; empty = all
  QString params;          // --params FILE
  QStringList settings;    // --set KEY=VALUE (repeatable), in the order given
  QString configDir;       // --config DIR: answered for "filepath"
  QString plugin;          // --plugin FILE
  QString outDir;          // --out DIR
  QString truth;           // --truth FILE
  QString samples;         // --samples DIR: the sample set used when no input is given
  bool json = false;       // --json: JSON lines on standard output
  bool recursive = false;  // --recursive: descend into sub-folders
  bool verbose = false;    // --verbose: show the plug-in's own log and output
  bool progress = true;    // --no-progress clears it
  int jobs = 0;            // --jobs N: analyses at once; 0: one per core
  bool report = false;     // --report: DIR/report.html beside the results (needs --out)
  bool help = false;       // --help
  bool version = false;    // --version
};

struct ParsedArguments {
  RunnerOptions options;
  QString error;  // empty when the arguments are usable
};

// Parses the arguments after the program name (with QCommandLineParser; needs no application
// object). Options take their value as the next argument or after '=' (--out=DIR); single-letter
// forms exist for the common ones (-c -m -p -s -o -t -j -r -v -h). Repeating a single-valued
// option keeps the last value; "--" ends the options.
ParsedArguments parseArguments(const QStringList& arguments);

// The --help text. `defaultSamples` and `defaultPlugin` are shown as the defaults.
// The parameter keys, one per line: key, type, default and meaning (wrapped).
QString parameterTable();

QString helpText(const QString& defaultSamples, const QString& defaultPlugin);

}  // namespace wheelhost
