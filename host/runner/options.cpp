#include "runner/options.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#include "runner/parameters.h"

namespace wheelhost {

namespace {

// Qt's parse errors, in wheelhost's words: the quoted option of "Missing value after '--out'."
QString quotedOption(const QString& qtError) {
  const int open = qtError.indexOf('\'');
  const int close = qtError.lastIndexOf('\'');
  return open >= 0 && close > open ? qtError.mid(open + 1, close - open - 1) : QString();
}

}  // namespace

ParsedArguments parseArguments(const QStringList& arguments) {
  ParsedArguments parsed;
  RunnerOptions& o = parsed.options;
  // One-dash options are one letter: "-cv" is no bundle of -c and -v but an unknown option.
  QCommandLineParser parser;
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  const QCommandLineOption catalogue({"c", "catalogue"}, "", "FILE");
  const QCommandLineOption models({"m", "models"}, "", "A,B");
  const QCommandLineOption params({"p", "params"}, "", "FILE");
  const QCommandLineOption set({"s", "set"}, "", "KEY=VALUE");
  const QCommandLineOption config("config", "", "DIR");
  const QCommandLineOption plugin("plugin", "", "FILE");
  const QCommandLineOption out({"o", "out"}, "", "DIR");
  const QCommandLineOption truth({"t", "truth"}, "", "FILE");
  const QCommandLineOption samples("samples", "", "DIR");
  const QCommandLineOption jobs({"j", "jobs"}, "", "N");
  const QCommandLineOption sweep("sweep", "", "GRID");
  const QCommandLineOption best("best", "", "FILE");
  const QCommandLineOption json("json");
  const QCommandLineOption report("report");
  const QCommandLineOption recursive(QStringList{"r", "recursive"});
  const QCommandLineOption verbose(QStringList{"v", "verbose"});
  const QCommandLineOption noProgress("no-progress");
  const QCommandLineOption help(QStringList{"h", "help"});
  const QCommandLineOption version("version");
  const QList<QCommandLineOption> valued = {catalogue, models, params,  set,  config, plugin,
                                            out,       truth,  samples, jobs, sweep,  best};
  parser.addOptions(valued);
  parser.addOptions({json, report, recursive, verbose, noProgress, help, version});

  if (!parser.parse(QStringList{"wheelhost"} + arguments)) {
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty()) {
      const QString name = unknown.first();
      if (name.size() > 1 && arguments.contains("-" + name)) {
        parsed.error =
            QString("unknown option '-%1' (options with one dash are one letter)").arg(name);
      } else {
        parsed.error = QString("unknown option '%1%2'; wheelhost --help lists the options")
                           .arg(name.size() > 1 ? "--" : "-", name);
      }
    } else if (parser.errorText().startsWith("Missing value")) {
      parsed.error = QString("option '%1' needs a value").arg(quotedOption(parser.errorText()));
    } else if (parser.errorText().startsWith("Unexpected value")) {
      const QString option = quotedOption(parser.errorText()).section('=', 0, 0);
      parsed.error = QString("option '%1' takes no value").arg(option);
    } else {
      parsed.error = parser.errorText();
    }
    return parsed;
  }
  for (const QCommandLineOption& option : valued) {
    for (const QString& value : parser.values(option)) {
      if (value.isEmpty()) {
        parsed.error = QString("option '--%1' needs a non-empty value").arg(option.names().last());
        return parsed;
      }
    }
  }

  o.inputs = parser.positionalArguments();
  o.catalogue = parser.value(catalogue);
  for (const QString& list : parser.values(models)) {
    for (const QString& name : list.split(',', Qt::SkipEmptyParts)) o.models << name.trimmed();
  }
  o.params = parser.value(params);
  o.settings = parser.values(set);
  o.configDir = parser.value(config);
  o.plugin = parser.value(plugin);
  o.outDir = parser.value(out);
  o.truth = parser.value(truth);
  o.samples = parser.value(samples);
  if (parser.isSet(jobs)) {
    bool ok = false;
    o.jobs = parser.value(jobs).toInt(&ok);
    if (!ok || o.jobs < 1) {
      parsed.error =
          QString("option '--jobs' expects a positive number, got \"%1\"").arg(parser.value(jobs));
      return parsed;
    }
  }
  o.sweep = parser.value(sweep);
  o.best = parser.value(best);
  o.json = parser.isSet(json);
  o.report = parser.isSet(report);
  o.recursive = parser.isSet(recursive);
  o.verbose = parser.isSet(verbose);
  o.progress = !parser.isSet(noProgress);
  o.help = parser.isSet(help);
  o.version = parser.isSet(version);
  if (o.report && o.outDir.isEmpty() && !o.help && !o.version) {
    parsed.error = "option '--report' needs --out DIR (the page is written there)";
  } else if (!o.best.isEmpty() && o.sweep.isEmpty() && !o.help && !o.version) {
    parsed.error = "option '--best' needs --sweep GRID (it writes the sweep's best setting)";
  }
  return parsed;
}

QString parameterTable() {
  // Key, type and default in columns; the meaning wrapped under its own column.
  constexpr int kMeaningColumn = 34, kWidth = 80;
  QString table;
  for (const ParameterKey& k : parameterKeys()) {
    QString line = QString("  %1 %2 %3 ")
                       .arg(QString(k.key), -17)
                       .arg(QString(typeName(k.type)), -6)
                       .arg(QString(k.defaultText), -6);
    int column = line.size();
    for (const QString& word : QString(k.meaning).split(' ', Qt::SkipEmptyParts)) {
      if (column > kMeaningColumn && column + word.size() > kWidth) {
        line += "\n" + QString(kMeaningColumn, ' ');
        column = kMeaningColumn;
      } else if (column > kMeaningColumn) {
        line += ' ';
        ++column;
      }
      line += word;
      column += word.size();
    }
    table += line + "\n";
  }
  return table;
}

QString helpText(const QString& defaultSamples, const QString& defaultPlugin) {
  const QString keys = parameterTable();
  return QString(
             "usage: wheelhost [options] [IMAGE|FOLDER ...]\n"
             "\n"
             "Runs the wheel-recognition plug-in over images the way the inspection host does:\n"
             "loads the plug-in, hands it each image with the parameters and the model\n"
             "catalogue, and reports what it found. Images: PNG, JPEG, BMP, TIFF; grey images\n"
             "are delivered as 8-bit grey, colour ones as 8-bit BGRA (the plug-in reads the\n"
             "first channel, blue); folders are read in name order.\n"
             "\n"
             "With no IMAGE or FOLDER, wheelhost runs the bundled sample set: its images,\n"
             "catalogue.json, params.json, its directory as --config and truth.json as --truth,\n"
             "each unless given otherwise.\n"
             "\n"
             "Options:\n"
             "  -c, --catalogue FILE  model catalogue (JSON): {\"models\": [{\"name\", "
             "\"diameter\",\n"
             "                        \"thickness\", \"ratioMin\", \"ratioMax\", \"template\" "
             "(image\n"
             "                        path relative to FILE), \"acceptLimit\"}, ...]}; name,\n"
             "                        diameter and template are required. Without a catalogue\n"
             "                        no model is named.\n"
             "  -m, --models A,B,...  the catalogue models to consider (repeatable; default all)\n"
             "  -p, --params FILE     analysis parameters (JSON object, keys below)\n"
             "  -s, --set KEY=VALUE   sets one parameter, over --params (repeatable)\n"
             "      --config DIR      the host's configured directory (\"filepath\"): the plug-in\n"
             "                        reads ./user/background.png or else DIR/user/\n"
             "                        background_r.png (mirrored), and DIR/user/background.png\n"
             "                        after an image of another size\n"
             "      --plugin FILE     the plug-in library (default, relative to wheelhost:\n"
             "                        %1)\n"
             "  -o, --out DIR         writes results.jsonl, results.csv, cutouts/NAME.png and\n"
             "                        overlays/NAME.png (found circle, centre, model)\n"
             "      --report          also writes DIR/report.html (with --out DIR): one page\n"
             "                        that works offline, with the summary, a sortable table of\n"
             "                        every image with thumbnails, and charts\n"
             "  -j, --jobs N          analyses N images at once, on N analysis objects\n"
             "                        (default: one per core); output stays in input order\n"
             "      --sweep GRID      runs the images once per setting of GRID, "
             "\"KEY=V1,V2;KEY=V1,...\"\n"
             "                        over Circle_Polarity, Circle_ACThres, Circle_EdgeWidth,\n"
             "                        bEqual, filterSize, RobustRefine and CoarseQuarter (each\n"
             "                        over --params and --set), and prints per setting the share\n"
             "                        located within 1 % of the radius, centre error median and\n"
             "                        worst, radius error median and time per image (needs truth)\n"
             "      --best FILE       with --sweep: writes the best setting, over the\n"
             "                        parameters, as a parameter file for --params or a host\n"
             "      --json            JSON lines on standard output instead of text\n"
             "  -t, --truth FILE      truth file (as samplegen writes it): counts the models\n"
             "                        named correctly and the centre errors\n"
             "      --samples DIR     the sample set (default: %2)\n"
             "  -r, --recursive       also reads the sub-folders of FOLDERs\n"
             "  -v, --verbose         shows the plug-in's log and output on standard error\n"
             "      --no-progress     no progress bar (it shows only on a terminal)\n"
             "  -h, --help            this text\n"
             "      --version         the program version\n"
             "\n"
             "Parameters (key, type, plug-in default, meaning):\n"
             "%3"
             "\n"
             "Each image gives one line on standard output: file, found or not, centre and\n"
             "radius in source pixels, diameter, model, score (lower is better), similarity,\n"
             "seconds. Centre and radius are the plug-in's own circle (wheelhost sets\n"
             "\"ReportCircle\" unless told otherwise); for a plug-in that does not report\n"
             "one, where the cut-out lies in the source (within a pixel).\n"
             "A summary follows (on standard error with --json).\n"
             "\n"
             "Exit status: 0 all images analysed, 1 some image failed (unreadable, or the\n"
             "analysis delivered no result or a background error), 2 unusable arguments\n"
             "(options, catalogue, parameters, templates, plug-in).\n")
      .arg(defaultPlugin, defaultSamples, keys);
}

}  // namespace wheelhost
