#pragma once

#include <QVariantMap>
#include <memory>
#include <opencv2/core.hpp>

#include "fluorescenceresult.h"

// Building the result map handed to IImageObject::SetResults. Every map starts with
// "ratioVal"; then exactly one of the three outcomes below is added.

// A new map holding only "ratioVal" = `ratio` (the "Ratio" parameter).
QVariantMap beginResultMap(double ratio);

// Adds "error" = 0: the delivered image and the reference background differ in size. No
// record goes with it.
void addBackgroundMismatch(QVariantMap& results);

// Adds "noCircle" = 0 and "result" = `record`: no wheel was found. The map now carries the
// record's ownership; once the map has gone to the host, the host deletes it.
void addNoCircle(QVariantMap& results, std::unique_ptr<FluorescenceResult> record);

// Adds "result" = `record`, the outcome of a finished analysis; ownership as above.
void addResult(QVariantMap& results, std::unique_ptr<FluorescenceResult> record);

// Adds "circle" = [centre x, centre y, radius] as a QVariantList of doubles: the found circle
// in pixels of the delivered image (pixel centres at integer coordinates), before any halving.
void addCircle(QVariantMap& results, cv::Point2f centre, double radius);

// A record at its initial values with its source pixmap made from `input` (the delivered
// image as analysed). Needs a running QGuiApplication.
std::unique_ptr<FluorescenceResult> newFluorescenceResult(const cv::Mat& input);

// The reported similarity of an identified model: (limit - score) / limit * 0.4 + 0.6, with
// `limit` the model's acceptance limit. A limit of 0 gives an infinite or NaN value, as the
// formula does; the host's catalogue is expected to hold positive limits.
double similarityFromScore(double score, double limit);
