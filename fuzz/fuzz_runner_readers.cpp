// The runner's readers of files people write by hand: the model catalogue, the parameter file
// and the truth file, each from any bytes. They must either load or give an error naming the
// problem; never crash, and never both.

#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <string>

#include "fuzzsupport.h"
#include "runner/catalogue.h"
#include "runner/parameters.h"
#include "runner/truth.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzsupport::quietProcess();
  if (size < 1) return 0;
  const std::string dir = fuzzsupport::scratchDirectory();
  // A template the catalogue may name: "t.png" beside the file.
  static const bool templateWritten = [&dir] {
    cv::Mat t(24, 24, CV_8UC1, cv::Scalar(30));
    t(cv::Rect(6, 6, 12, 12)).setTo(220);
    return cv::imwrite(dir + "/t.png", t);
  }();
  (void)templateWritten;
  const std::string path = dir + "/input.json";
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data + 1), size - 1);
  const QString file = QString::fromStdString(path);

  QString error;
  QStringList warnings;
  switch (data[0] % 3) {
    case 0: {
      const auto catalogue = wheelhost::Catalogue::load(file, &warnings, &error);
      fuzzsupport::require((catalogue != nullptr) != !error.isEmpty(), "catalogue: load xor error");
      if (catalogue) {
        fuzzsupport::require(
            catalogue->names().size() == static_cast<int>(catalogue->entries().size()),
            "catalogue: names");
      }
      break;
    }
    case 1: {
      QVariantMap map{{"d2h", 0.5}};
      const QVariantMap before = map;
      const bool ok = wheelhost::loadParameterFile(file, map, &warnings, &error);
      fuzzsupport::require(ok == error.isEmpty(), "parameters: result xor error");
      fuzzsupport::require(ok || map == before, "parameters: a refused file changed the map");
      wheelhost::checkParameterValues(map);
      break;
    }
    default: {
      const auto truth = wheelhost::TruthTable::load(file, &error);
      fuzzsupport::require((truth != nullptr) != !error.isEmpty(), "truth: load xor error");
      if (truth) truth->find(QString::fromStdString(dir + "/a.png"));
      break;
    }
  }
  return 0;
}
