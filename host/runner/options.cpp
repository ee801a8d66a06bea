#include "runner/options.h"

#include <functional>

#include "runner/parameters.h"

namespace wheelhost {

namespace {

struct ValueOption {
  const char* longName;
  char shortName;  // 0: none
  std::function<void(RunnerOptions&, const QString&)> store;
};

struct FlagOption {
  const char* longName;
  char shortName;
  std::function<void(RunnerOptions&)> set;
};

const std::vector<ValueOption>& valueOptions() {
  static const std::vector<ValueOption> options = {
      {"catalogue", 'c', [](RunnerOptions& o, const QString& v) { o.catalogue = v; }},
      {"models", 'm',
       [](RunnerOptions& o, const QString& v) {
         for (const QString& name : v.split(',', Qt::SkipEmptyParts)) o.models << name.trimmed();
       }},
      {"params", 'p', [](RunnerOptions& o, const QString& v) { o.params = v; }},
      {"set", 's', [](RunnerOptions& o, const QString& v) { o.settings << v; }},
      {"config", 0, [](RunnerOptions& o, const QString& v) { o.configDir = v; }},
      {"plugin", 0, [](RunnerOptions& o, const QString& v) { o.plugin = v; }},
      {"out", 'o', [](RunnerOptions& o, const QString& v) { o.outDir = v; }},
      {"truth", 't', [](RunnerOptions& o, const QString& v) { o.truth = v; }},
      {"samples", 0, [](RunnerOptions& o, const QString& v) { o.samples = v; }},
  };
  return options;
}

const std::vector<FlagOption>& flagOptions() {
  static const std::vector<FlagOption> options = {
      {"json", 0, [](RunnerOptions& o) { o.json = true; }},
      {"recursive", 'r', [](RunnerOptions& o) { o.recursive = true; }},
      {"verbose", 'v', [](RunnerOptions& o) { o.verbose = true; }},
      {"no-progress", 0, [](RunnerOptions& o) { o.progress = false; }},
      {"help", 'h', [](RunnerOptions& o) { o.help = true; }},
      {"version", 0, [](RunnerOptions& o) { o.version = true; }},
  };
  return options;
}

}  // namespace

ParsedArguments parseArguments(const QStringList& arguments) {
  ParsedArguments parsed;
  RunnerOptions& o = parsed.options;
  bool optionsEnded = false;
  for (int i = 0; i < arguments.size(); ++i) {
    const QString arg = arguments[i];
    if (optionsEnded || arg == "-" || !arg.startsWith('-')) {
      o.inputs << arg;
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    // The option's name and, for --name=value, its attached value.
    QString name;
    QString attached;
    bool hasAttached = false;
    const bool isLong = arg.startsWith("--");
    if (isLong) {
      const int eq = arg.indexOf('=');
      name = arg.mid(2, eq < 0 ? -1 : eq - 2);
      if (eq >= 0) {
        attached = arg.mid(eq + 1);
        hasAttached = true;
      }
    } else if (arg.size() == 2) {
      name = arg.mid(1);
    } else {
      parsed.error = QString("unknown option '%1' (options with one dash are one letter)").arg(arg);
      return parsed;
    }
    const auto matches = [&](const char* longName, char shortName) {
      return isLong ? name == QLatin1String(longName)
                    : (shortName != 0 && name == QString(QChar(shortName)));
    };

    bool known = false;
    for (const ValueOption& opt : valueOptions()) {
      if (!matches(opt.longName, opt.shortName)) continue;
      known = true;
      QString value;
      if (hasAttached) {
        value = attached;
      } else if (i + 1 < arguments.size()) {
        value = arguments[++i];
      } else {
        parsed.error = QString("option '%1' needs a value").arg(arg);
        return parsed;
      }
      if (value.isEmpty()) {
        parsed.error = QString("option '--%1' needs a non-empty value").arg(opt.longName);
        return parsed;
      }
      opt.store(o, value);
      break;
    }
    if (known) continue;
    for (const FlagOption& opt : flagOptions()) {
      if (!matches(opt.longName, opt.shortName)) continue;
      known = true;
      if (hasAttached) {
        parsed.error = QString("option '--%1' takes no value").arg(opt.longName);
        return parsed;
      }
      opt.set(o);
      break;
    }
    if (!known) {
      parsed.error = QString("unknown option '%1'; wheelhost --help lists the options").arg(arg);
      return parsed;
    }
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
             "      --plugin FILE     the plug-in library (default: %1)\n"
             "  -o, --out DIR         writes results.jsonl, results.csv, cutouts/NAME.png and\n"
             "                        overlays/NAME.png (found circle, centre, model)\n"
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
             "\"ReportCircle\"); for a plug-in that does not report one, where the cut-out\n"
             "lies in the source (within a pixel).\n"
             "A summary follows (on standard error with --json).\n"
             "\n"
             "Exit status: 0 all images analysed, 1 some image failed (unreadable, or the\n"
             "analysis delivered no result or a background error), 2 unusable arguments\n"
             "(options, catalogue, parameters, templates, plug-in).\n")
      .arg(defaultPlugin, defaultSamples, keys);
}

}  // namespace wheelhost
