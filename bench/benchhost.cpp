#include "benchhost.h"

#include <QGuiApplication>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "matcher/templatematcher.h"
#include "objects/wheelmodel.h"
#include "wheelshots.h"

namespace benchhost {
namespace {

class Catalogue {
 public:
  Catalogue() {
    const char* names[] = {"WHEEL-5", "WHEEL-6", "WHEEL-0"};
    for (int i = 0; i < 3; ++i) {
      matchers_.push_back(
          std::make_unique<wheelhost::TemplateMatcher>(wheelshots::wheelTemplate(design(i), 200)));
      models_.push_back(
          std::make_unique<wheelhost::ScriptedWheelModel>(0.0, 0.0, matchers_.back().get()));
      map_.insert(names[i], models_.back().get());
      names_ << names[i];
    }
  }
  WheelModelMap map_;
  QStringList names_;

 private:
  std::vector<std::unique_ptr<wheelhost::TemplateMatcher>> matchers_;
  std::vector<std::unique_ptr<wheelhost::ScriptedWheelModel>> models_;
};

Catalogue& catalogue() {
  static Catalogue c;
  return c;
}

void dropDebugMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type != QtDebugMsg) std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

}  // namespace

scenes::WheelLayout design(int index) {
  return wheelshots::withDesign(scenes::WheelLayout(), index);  // the renderer's default look
}

WheelModelMap* catalogueModels() { return &catalogue().map_; }
QStringList* catalogueNames() { return &catalogue().names_; }

wheelhost::ParameterBuilder parameters() {
  wheelhost::ParameterBuilder p;
  p.modelMap(catalogueModels())
      .defectList(catalogueNames())
      .d2h(kD2h)
      .filterSize(kFilterSize)
      .circlePolarity(1)
      .thickness(180);
  return p;
}

void prepareQt(const char* programName) {
  static const bool prepared = [programName] {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static std::vector<char> name(programName, programName + std::strlen(programName) + 1);
    static char* argv[] = {name.data(), nullptr};
    new QGuiApplication(argc, argv);  // lives until the process ends
    qInstallMessageHandler(&dropDebugMessages);
    return true;
  }();
  (void)prepared;
}

}  // namespace benchhost
