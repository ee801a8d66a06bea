// A host's model catalogue for the plug-in's tests: scripted models, each with its own scripted
// matcher, listed by name in the order they were added.
#pragma once

#include <QStringList>
#include <initializer_list>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "objects/wheelmodel.h"

namespace fluorescence {

class ScriptedCatalogue {
 public:
  struct Model {
    double score, limit = 0.5, diameter = 500.0, thickness = 200.0, ratioMin = 0.0, ratioMax = 0.0;
    bool withTemplate = true;
  };

  ScriptedCatalogue() = default;
  // Models of the given names and scores, each with the limit 0.5, in the order given.
  ScriptedCatalogue(std::initializer_list<std::pair<QString, double>> scored) {
    for (const auto& [name, score] : scored) add(name, score);
  }

  ScriptedCatalogue& add(const QString& name, const Model& m) {
    auto matcher = std::make_unique<wheelhost::ScriptedMatcher>(
        m.score, m.limit, m.withTemplate ? cv::Mat(8, 8, CV_8UC1, cv::Scalar(128)) : cv::Mat());
    auto model = std::make_unique<wheelhost::ScriptedWheelModel>(
        m.diameter, m.thickness, matcher.get(), m.ratioMin, m.ratioMax);
    map_.insert(name, model.get());
    names_ << name;
    entries_[name] = {std::move(matcher), std::move(model)};
    return *this;
  }
  ScriptedCatalogue& add(const QString& name, double score, double limit = 0.5) {
    return add(name, Model{score, limit});
  }
  // A name the host lists without a model behind it.
  ScriptedCatalogue& addNull(const QString& name) {
    map_.insert(name, nullptr);
    return *this;
  }

  WheelModelMap* map() { return &map_; }
  QStringList* names() { return &names_; }
  wheelhost::ScriptedMatcher& matcher(const QString& name) { return *entries_.at(name).matcher; }
  wheelhost::ScriptedWheelModel& model(const QString& name) { return *entries_.at(name).model; }
  int matches(const QString& name) { return matcher(name).count("Match"); }
  // How often each of `names` was matched, in their order.
  std::vector<int> matches(const QStringList& names) {
    std::vector<int> counts;
    for (const QString& name : names) counts.push_back(matches(name));
    return counts;
  }

 private:
  struct Entry {
    std::unique_ptr<wheelhost::ScriptedMatcher> matcher;
    std::unique_ptr<wheelhost::ScriptedWheelModel> model;
  };
  WheelModelMap map_;
  QStringList names_;
  std::map<QString, Entry> entries_;
};

}  // namespace fluorescence
