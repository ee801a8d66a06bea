#include "modelidentification.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "algorithmtest_catalogue.h"
#include "scenes/scenes.h"
#include "vistrel/ellipsedetector.h"

namespace fluorescence {
namespace {

using wheelhost::ScriptedMatcher;
using Catalogue = ScriptedCatalogue;
// {score, limit, diameter, thickness, ratioMin, ratioMax, withTemplate}
using Model = Catalogue::Model;
using Scores = std::vector<double>;

constexpr double kMax = std::numeric_limits<double>::max();

// 100 x 100 is too small for the 220 x 220 centre cut-out of the look-alike check: a call
// that counts circles on it throws, so a call that returns proves that no counting ran.
cv::Mat tooSmallForCounting() { return cv::Mat(100, 100, CV_8UC1, cv::Scalar(60)); }

const cv::Mat kFlat(240, 240, CV_8UC1, cv::Scalar(60));

// A query of `names` without filters. (A query's fields in order: image, thickness, diameter,
// useThickness, useDiameter, names, ratio, ratioType.)
ModelQuery query(const QStringList& names, cv::Mat image = kFlat) {
  return {image, 0, 0, false, false, names};
}

// The name identification gives for `names` on `image`, without scores.
QString named(Catalogue& cat, const QStringList& names, const cv::Mat& image = kFlat) {
  return identifyModel(cat.map(), query(names, image), nullptr, 0);
}

TEST(IdentifyModel, AsksEachModelAndMatcherInTheHostsOrder) {
  Catalogue cat;
  cat.add("A", Model{0.7, 0.5, 500.0, 200.0, 1.0, 2.0});
  cv::Mat image = tooSmallForCounting();
  image.at<uchar>(3, 4) = 200;
  const ModelQuery q{image, 200, 500, true, true, {"A"}, 1.5, 1};

  EXPECT_EQ(identifyModel(cat.map(), q, nullptr, 0), "A");
  EXPECT_EQ(cat.model("A").calls(),
            (std::vector<std::string>{"Diameter", "Thickness", "RatioMin", "RatioMax", "Matcher"}));
  const ScriptedMatcher& matcher = cat.matcher("A");
  EXPECT_EQ(matcher.calls(),
            (std::vector<std::string>{"TemplateImage", "Prepare", "Match", "AcceptLimit"}));
  EXPECT_EQ(matcher.prepareModes(), std::vector<int>{0});
  ASSERT_EQ(matcher.matchCalls().size(), 1u);
  const ScriptedMatcher::MatchCall& c = matcher.matchCalls()[0];
  EXPECT_EQ(cv::norm(c.image, image, cv::NORM_INF), 0.0);
  EXPECT_EQ(std::make_tuple(c.option1, c.option2, c.flag, c.option3, c.value1, c.value2),
            std::make_tuple(0, 1, true, 0, 0.0, 0.0));
}

TEST(IdentifyModel, MatchersGetACopyOfTheCutOut) {
  // A matcher that writes into the image it is given cannot change the query's.
  class Scribbler : public ScriptedMatcher {
   public:
    using ScriptedMatcher::ScriptedMatcher;
    double Match(const cv::Mat& image, int, int, bool, int, double, double) override {
      const_cast<cv::Mat&>(image).setTo(255);
      return 0.9;
    }
  } scribbler(0.9, 0.5, cv::Mat(4, 4, CV_8UC1, cv::Scalar(1)));
  wheelhost::ScriptedWheelModel model(500, 200, &scribbler);
  WheelModelMap map{{"A", &model}};
  const ModelQuery q = query({"A"});
  identifyModel(&map, q, nullptr, 0);
  EXPECT_EQ(cv::countNonZero(q.image != 60), 0);
}

// A difference of 15 from the queried value rejects a model before its matcher runs; 14.9
// keeps it. Each filter is checked with the other one off.
TEST(IdentifyModel, DiameterOrThicknessDifferenceOf15RejectsAnd14Point9Keeps) {
  for (const bool byDiameter : {true, false}) {
    SCOPED_TRACE(byDiameter ? "diameter" : "thickness");
    const QStringList names{"plus15", "minus15", "plus14.9", "minus14.9"};
    const double offsets[] = {15.0, -15.0, 14.9, -14.9};
    Catalogue cat;
    for (int i = 0; i < 4; ++i) {
      Model m{0.9, 0.5, 9999.0};  // far off for the thickness case, whose diameter filter is off
      (byDiameter ? m.diameter : m.thickness) = (byDiameter ? 500.0 : 180.0) + offsets[i];
      cat.add(names[i], m);
    }
    ModelQuery q{kFlat, 180, 500, !byDiameter, byDiameter, names};
    identifyModel(cat.map(), q, nullptr, 0);
    EXPECT_EQ(cat.matches(names), (std::vector<int>{0, 0, 1, 1}));

    // Switched off, the filter does not even ask the model: only its matcher is asked for.
    q.useDiameter = q.useThickness = false;
    identifyModel(cat.map(), q, nullptr, 0);
    EXPECT_EQ(cat.matches("plus15"), 1);
    EXPECT_EQ(cat.model("plus15").calls().size(), 2u);
  }
}

TEST(IdentifyModel, RatioRangeFiltersOnlyForType1AndPositiveValues) {
  // The queried 1.5 is below "above", above "below" and on both edges of "edges"; a bound of 0
  // switches the range off, and so does a negative one.
  const QStringList names{"above", "below", "edges", "openLow", "openHigh", "negative"};
  const double ranges[][2] = {{1.6, 2.0}, {1.0, 1.4}, {1.5, 1.5},
                              {0.0, 1.4}, {1.6, 0.0}, {-1.0, 1.4}};
  Catalogue cat;
  for (int i = 0; i < 6; ++i)
    cat.add(names[i], {0.9, 0.5, 500.0, 200.0, ranges[i][0], ranges[i][1]});
  ModelQuery q{kFlat, 0, 0, false, false, names, 1.5, 1};
  identifyModel(cat.map(), q, nullptr, 0);
  EXPECT_EQ(cat.matches(names), (std::vector<int>{0, 0, 1, 1, 1, 1}));

  // A ratio of 0 lets every model through; so does any type other than 1.
  q.ratio = 0.0;
  identifyModel(cat.map(), q, nullptr, 0);
  q.ratio = 1.5;
  q.ratioType = 2;
  identifyModel(cat.map(), q, nullptr, 0);
  q.ratioType = 0;
  identifyModel(cat.map(), q, nullptr, 0);
  EXPECT_EQ(cat.matches(names), (std::vector<int>{3, 3, 4, 4, 4, 4}));
  EXPECT_EQ(cat.model("above").count("RatioMin"), 2);  // asked with type 1 only
}

TEST(IdentifyModel, ModelsWithoutTemplateAreNotScored) {
  Catalogue cat;
  cat.add("bare", Model{0.01, 0.5, 500.0, 200.0, 0.0, 0.0, false}).add("B", 0.8);
  EXPECT_EQ(named(cat, {"bare", "B"}), "B");
  EXPECT_EQ(cat.matcher("bare").calls(), std::vector<std::string>{"TemplateImage"});
}

TEST(IdentifyModel, LowestScoreWinsAndTiesKeepTheEarlierListedName) {
  Catalogue cat{{"A", 0.6}, {"B", 0.6}, {"C", 0.9}};
  EXPECT_EQ(named(cat, {"C", "B", "A"}), "B");
  EXPECT_EQ(named(cat, {"A", "B", "C"}), "A");
}

TEST(IdentifyModel, MinusOneIsStoredAndCountsAsAcceptedButNeverWins) {
  Catalogue cat{{"none", -1.0}, {"B", 0.8}};
  double one = 0.0;
  EXPECT_EQ(identifyModel(cat.map(), query({"none", "B"}), &one, 1), "B");
  EXPECT_EQ(one, 0.8);  // the best score
  Scores two(2);
  EXPECT_EQ(identifyModel(cat.map(), query({"none", "B"}), two.data(), 2), "B");
  EXPECT_EQ(two, (Scores{-1.0, 0.8}));  // the sorted own scores: -1.0 comes first

  // -1.0 is below the limit 0.5: the look-alike check runs and needs a 220 x 220 cut-out.
  EXPECT_THROW(named(cat, {"none", "B"}, tooSmallForCounting()), cv::Exception);
}

// Without any score the best stays the largest double (the null model's test).
TEST(IdentifyModel, CallersFirstEntryIsTheBestOrTheSmallestOfTheSortedScores) {
  // Two of three listed: the own array's untouched entry stays 0.0 and sorts first, before
  // the best 0.2.
  Catalogue three{{"A", 0.5}, {"B", 0.4}, {"C", 0.2}};
  Scores scores{5.0, 6.0, 7.0};
  EXPECT_EQ(identifyModel(three.map(), query({"A", "C"}), scores.data(), 3), "C");
  EXPECT_EQ(scores, (Scores{0.0, 0.2, 0.5}));

  // All listed, one rejected by its diameter: its entry is the largest double.
  Catalogue mixed;
  mixed.add("far", Model{0.1, 0.5, 900.0}).add("near", 0.45);
  Scores two(2);
  const ModelQuery q{kFlat, 0, 500, false, true, {"far", "near"}};
  EXPECT_EQ(identifyModel(mixed.map(), q, two.data(), 2), "near");
  EXPECT_EQ(two, (Scores{0.45, kMax}));

  // A length of 2 on a three-entry catalogue copies the two smallest only.
  scores = {5.0, 6.0, 7.0};
  identifyModel(three.map(), query({"A", "B", "C"}), scores.data(), 2);
  EXPECT_EQ(scores, (Scores{0.2, 0.4, 7.0}));

  // Names the catalogue lacks take no entry: had they, an untouched 0.0 would sort first.
  Catalogue ab{{"A", 0.4}, {"B", 0.6}};
  EXPECT_EQ(identifyModel(ab.map(), query({"X", "A", "Y", "B", "Z"}), two.data(), 2), "A");
  EXPECT_EQ(two, (Scores{0.4, 0.6}));
}

TEST(IdentifyModel, NullCatalogueLeavesTheScoresAloneAndANullModelEndsTheSearch) {
  Scores scores{7.0, 8.0};
  EXPECT_EQ(identifyModel(nullptr, query({"A"}), scores.data(), 2), QString());
  EXPECT_EQ(scores, (Scores{7.0, 8.0}));

  Catalogue cat;
  cat.addNull("hole").add("B", 0.6).add("C", 0.1);
  EXPECT_EQ(identifyModel(cat.map(), query({"B", "hole", "C"}), nullptr, 0), "B");
  EXPECT_EQ(cat.matches("C"), 0);
  double best = 0.0;
  EXPECT_EQ(identifyModel(cat.map(), query({"hole", "B"}), &best, 1), QString());
  EXPECT_EQ(best, kMax);
}

TEST(IdentifyModel, RepeatedNamesAreScoredAgainWithoutOverrunningTheScores) {
  // One catalogue entry named twice: two scores for an array of one.
  Catalogue single{{"A", 0.3}};
  double one = 0.0;
  EXPECT_EQ(identifyModel(single.map(), query({"A", "A"}), &one, 1), "A");
  EXPECT_EQ(single.matches("A"), 2);
  EXPECT_EQ(one, 0.3);

  // The extra entries take part in the sort like any other.
  Catalogue two{{"A", 0.3}, {"B", 0.2}};
  Scores scores(2);
  EXPECT_EQ(identifyModel(two.map(), query({"A", "A", "B", "A"}), scores.data(), 2), "B");
  EXPECT_EQ(scores, (Scores{0.2, 0.3}));
}

TEST(IdentifyModel, NoAcceptedModelMeansNoCircleCounting) {
  Catalogue cat;
  cat.add("A", 0.5, 0.5).add("B", 0.7, 0.6);  // a score equal to its limit is not accepted
  // The cut-out is too small for the check: returning at all shows it did not run.
  EXPECT_EQ(named(cat, {"B", "A"}, tooSmallForCounting()), "A");
  cat.matcher("B").setAcceptLimit(0.71);
  EXPECT_THROW(named(cat, {"B", "A"}, tooSmallForCounting()), cv::Exception);
}

// A cut-out wheel (400 x 400, radius 200) whose 220 x 220 centre shows the hub (radius 90,
// the largest circle there), the bore (radius 14) and `holes` bolt holes of radius 5 on a
// circle of radius 60. Between 0.038 x 0.038 x 90 = 0.13 px and 0.072 x 90 = 6.5 px lie
// exactly the bolt holes.
cv::Mat lookAlikeCutOut(int holes) {
  scenes::WheelLayout w;
  std::tie(w.size, w.centre, w.radius, w.hubRadius, w.boreRadius, w.boltCircle, w.boltRadius,
           w.boltHoles, w.angleDeg) = std::make_tuple(cv::Size(400, 400), cv::Point2d(200, 200),
                                                      200.0, 0.45, 0.07, 0.30, 0.025, holes, 10.0);
  return scenes::renderWheel(w);
}

TEST(CountSmallCircles, BandIsRelativeToTheLargestCircle) {
  // Dark discs of radius 5, 9 and 13 on a bright disc of radius 150. The band runs from
  // 0.038 x 0.038 x 150 = 0.22 to 0.072 x 150 = 10.8: the two of radius 5 and the one of 9
  // count, the one of 13 does not. (A lower bound of 0.038 x 150 = 5.7 would drop the 5s.)
  // Without the large disc the largest is 13 and the band (0.02, 0.94) keeps none. A bar
  // across the top gives the detector the straight edges it needs before it looks at closed
  // outlines at all.
  const cv::Size size(330, 340);
  scenes::Scene withLarge(size, 30.0);
  withLarge.disc({165, 175}, 150.0, 190.0);
  scenes::Scene smallOnly(size, 190.0);
  for (scenes::Scene* s : {&withLarge, &smallOnly}) {
    s->disc({105, 175}, 5.0, 30.0);
    s->disc({225, 175}, 5.0, 30.0);
    s->disc({165, 115}, 9.0, 30.0);
    s->disc({165, 235}, 13.0, 30.0);
    s->polygon({{-10, 3.3}, {340, 3.3}, {340, 12.6}, {-10, 12.6}}, 120.0);
  }
  EXPECT_EQ(countSmallCircles(withLarge.render(1.0, 2.0)), 3);
  const cv::Mat onlySmall = smallOnly.render(1.0, 2.0);
  EXPECT_EQ(countSmallCircles(onlySmall), 0);
  EXPECT_GE(ced::detectCirclesAndEllipses(onlySmall).circles.size(), 4u);  // all were seen
}

TEST(IdentifyModel, LookAlikePairIsSettledByTheSmallCirclesWhateverTheCaseOfTheBestName) {
  const cv::Mat many = lookAlikeCutOut(8), few = lookAlikeCutOut(1);
  const QString ra = "RA620418", rb = "RB620493";
  Catalogue cat{{ra, 0.1}, {rb, 0.2}, {"OTHER", 0.3}};

  // RA620418 scores best.
  EXPECT_EQ(named(cat, {ra, rb}, many), rb);
  EXPECT_EQ(named(cat, {ra, rb}, few), ra);
  EXPECT_EQ(named(cat, {ra}, many), ra);  // rb not listed
  // The list alone counts: RB620493 need not be in the catalogue, nor scored.
  Catalogue onlyRa{{ra, 0.1}};
  EXPECT_EQ(named(onlyRa, {ra, rb}, many), rb);

  // RB620493 scores best.
  cat.matcher(rb).setScore(0.05);
  EXPECT_EQ(named(cat, {ra, rb}, few), ra);
  EXPECT_EQ(named(cat, {ra, rb}, many), rb);
  EXPECT_EQ(named(cat, {rb}, few), rb);  // ra not listed

  // Another model's name is never swapped, whatever the count.
  cat.matcher("OTHER").setScore(0.01);
  EXPECT_EQ(named(cat, {ra, rb, "OTHER"}, many), "OTHER");
  EXPECT_EQ(named(cat, {ra, rb, "OTHER"}, few), "OTHER");

  // A lower-case best name is recognised, but only an exact partner replaces it.
  Catalogue lowerRa{{"ra620418", 0.1}, {"RB620493", 0.2}, {"rb620493", 0.3}};
  EXPECT_EQ(named(lowerRa, {"ra620418", "RB620493"}, many), "RB620493");
  EXPECT_EQ(named(lowerRa, {"ra620418", "rb620493"}, many), "ra620418");

  Catalogue lowerRb{{"rb620493", 0.1}, {"RA620418", 0.2}, {"ra620418", 0.3}};
  EXPECT_EQ(named(lowerRb, {"rb620493", "RA620418"}, few), "RA620418");
  EXPECT_EQ(named(lowerRb, {"rb620493", "ra620418"}, few), "rb620493");
}

}  // namespace
}  // namespace fluorescence
