#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

#include "iwheelmodel.h"
#include "matcher/templatematcher.h"

namespace wheelhost {

// One model of a catalogue file.
struct CatalogueEntry {
  QString name;
  double diameter = 0.0;   // in the unit of "d2h"
  double thickness = 0.0;  // in the unit of the "thickness" parameter
  double ratioMin = 0.0;   // 0 or less: no lower bound
  double ratioMax = 0.0;   // 0 or less: no upper bound
  double acceptLimit = TemplateMatcher::kDefaultAcceptLimit;
  QString templatePath;  // as resolved: relative paths are taken from the catalogue's folder
};

// The host's model catalogue, read from a JSON file:
//   {"models": [{"name": "WM405-5", "diameter": 405, "thickness": 165, "ratioMin": 1.1,
//                "ratioMax": 1.4, "template": "templates/WM405-5.png", "acceptLimit": 0.15},
//               ...]}
// "name", "diameter" and "template" are required; "thickness", "ratioMin" and "ratioMax"
// default to 0 and "acceptLimit" to the matcher's default. Every template is read at load
// time, so a catalogue that loads can be used for every image.
class Catalogue {
 public:
  // Reads the file. Returns null and sets `error` (naming the file, the model and the field or
  // template) when the catalogue is unusable. Templates without contrast load with a warning:
  // their model can never be matched.
  static std::unique_ptr<Catalogue> load(const QString& path, QStringList* warnings,
                                         QString* error);

  ~Catalogue();
  Catalogue(const Catalogue&) = delete;
  Catalogue& operator=(const Catalogue&) = delete;

  const std::vector<CatalogueEntry>& entries() const { return entries_; }
  // The model names in file order.
  QStringList names() const;
  // The map the plug-in reads under "modelMap"; valid as long as the catalogue lives.
  WheelModelMap* modelMap() { return &map_; }
  // The matcher of a model, or null for an unknown name.
  TemplateMatcher* matcher(const QString& name) const;

 private:
  Catalogue() = default;
  class Model;
  std::vector<CatalogueEntry> entries_;
  std::vector<std::unique_ptr<TemplateMatcher>> matchers_;
  std::vector<std::unique_ptr<Model>> models_;
  WheelModelMap map_;
};

}  // namespace wheelhost
