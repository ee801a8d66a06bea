#include "runner/htmlreport.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

#include "runner/testing/qtprinters.h"

namespace {

using wheelhost::ImageOutcome;
using wheelhost::ReportEntry;
using S = ImageOutcome::Status;

ReportEntry entry(const QString& file, S status, const QString& model) {
  ReportEntry e{{}, "overlays/" + file, "thumbs/o-" + file, {}, {}};
  ImageOutcome& o = e.outcome;
  o.file = file;
  o.status = status;
  o.model = model;
  o.returnValue = status == S::Failed ? -1 : 1;
  if (status == S::Found) {
    o.hasRecord = true;
    o.score = 0.02;
    o.seconds = 0.05;
    e.cutout = "cutouts/" + file;
    e.cutoutThumb = "thumbs/" + file;
  }
  if (status == S::Failed) o.error = "unreadable";
  return e;
}

// The files of the table's rows, top to bottom.
QStringList rowFiles(const QString& html) {
  QStringList files;
  auto it = QRegularExpression("<td class=\"file\" data-sort=\"([^\"]*)\">").globalMatch(html);
  while (it.hasNext()) files << it.next().captured(1);
  return files;
}

TEST(HtmlReport, FailuresThenUnnamedWheelsThenTheRestInInputOrder) {
  const std::vector<ReportEntry> entries = {
      entry("a.png", S::Found, "M1"), entry("b.png", S::Found, ""),
      entry("c.png", S::NoWheel, ""), entry("d.png", S::Failed, ""),
      entry("e.png", S::Found, "M2"), entry("f.png", S::BackgroundError, ""),
      entry("g.png", S::Found, ""),
  };
  wheelhost::Summary summary;
  for (const ReportEntry& e : entries) summary.add(e.outcome);
  const QString html = wheelhost::htmlReport(entries, summary, {"M1", "M2"});
  EXPECT_EQ(rowFiles(html),
            QStringList({"d.png", "f.png", "b.png", "g.png", "a.png", "c.png", "e.png"}));
  // Each row keeps its input number; the summary's figures are there by id.
  EXPECT_TRUE(html.contains("<tr class=\"failed\" id=\"image-4\">"));
  EXPECT_TRUE(html.contains("<tr class=\"unnamed\" id=\"image-2\">"));
  EXPECT_TRUE(html.contains("<dd id=\"sum-images\">7</dd>"));
  EXPECT_TRUE(html.contains("<dd id=\"sum-found\">4</dd>"));
  EXPECT_TRUE(html.contains("<dd id=\"sum-failed\">2</dd>"));
  // One bar per image, one dot per found wheel.
  EXPECT_EQ(html.count("<rect "), 7);
  EXPECT_EQ(html.count("<circle "), 4);
}

TEST(HtmlReport, NamesAreEscapedAndPathsEncodedAndNothingComesFromElsewhere) {
  const std::vector<ReportEntry> entries = {entry("a<b>&\"c\" #1?.png", S::Found, "M<1>")};
  wheelhost::Summary summary;
  summary.add(entries[0].outcome);
  const QString html = wheelhost::htmlReport(entries, summary, {});
  EXPECT_FALSE(html.contains("a<b>"));
  EXPECT_TRUE(html.contains("a&lt;b&gt;&amp;&quot;c&quot; #1?.png"));
  EXPECT_TRUE(html.contains("M&lt;1&gt;"));
  EXPECT_TRUE(html.contains("src=\"thumbs/a%3Cb%3E%26%22c%22%20%231%3F.png\""));
  // Offline: no address with a scheme other than the SVG namespace.
  const QString offline = QString(html).remove("xmlns=\"http://www.w3.org/2000/svg\"");
  EXPECT_FALSE(offline.contains("http")) << offline.toStdString();
  EXPECT_FALSE(offline.contains("src=\"//"));
}

TEST(HtmlReport, EmptyRunStillGivesAPage) {
  const QString html = wheelhost::htmlReport({}, wheelhost::Summary(), {});
  EXPECT_TRUE(html.startsWith("<!DOCTYPE html>"));
  EXPECT_TRUE(html.contains("<dd id=\"sum-images\">0</dd>"));
  EXPECT_TRUE(rowFiles(html).isEmpty());
  EXPECT_TRUE(html.trimmed().endsWith("</html>"));
}

}  // namespace
