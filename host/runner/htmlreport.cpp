#include "runner/htmlreport.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QUrl>
#include <algorithm>
#include <cmath>

namespace wheelhost {

namespace {

QString num(double v, int decimals) { return QString::number(v, 'f', decimals); }

QString esc(const QString& text) { return text.toHtmlEscaped(); }

// A relative file path as an attribute value: percent-encoded (a '#' or '?' in a file name
// would end the path), then escaped.
QString href(const QString& path) {
  return esc(QString::fromLatin1(QUrl::toPercentEncoding(path, "/-_.~")));
}

// The time the text line shows: the analysis' own for a found wheel, the call's otherwise.
double shownSeconds(const ImageOutcome& o) {
  return o.status == ImageOutcome::Status::Found ? o.seconds : o.wallSeconds;
}

// 0 failures, 1 wheels found without a model, 2 the rest.
int group(const ImageOutcome& o) {
  if (o.failed()) return 0;
  if (o.status == ImageOutcome::Status::Found && o.model.isEmpty()) return 1;
  return 2;
}

const char* rowClass(const ImageOutcome& o) {
  if (o.failed()) return "failed";
  if (o.status == ImageOutcome::Status::NoWheel) return "nowheel";
  return o.model.isEmpty() ? "unnamed" : "found";
}

const char* kStyle = R"(
body{font:14px/1.4 sans-serif;margin:16px 24px;color:#1d2329;background:#fff}
h1{font-size:22px;margin:0 0 12px}h2{font-size:17px;margin:20px 0 8px}
.figures{display:flex;flex-wrap:wrap;gap:8px;margin:0}
.figures div{border:1px solid #cfd6dd;border-radius:4px;padding:6px 10px;background:#f5f7f9}
.figures dt{font-size:12px;color:#5a6570}.figures dd{margin:0;font-weight:bold;font-size:16px}
.figures .bad dd{color:#c0262d}
#models td,#models th{padding:2px 10px;text-align:left}
.charts{display:flex;flex-wrap:wrap;gap:16px}
.charts figure{margin:0}.charts figcaption{font-size:12px;color:#5a6570}
svg text{font:11px sans-serif;fill:#333}
#images{border-collapse:collapse}
#images th{background:#e8edf2;cursor:pointer;user-select:none;padding:4px 6px;text-align:left;
position:sticky;top:0}
#images th.nosort{cursor:default}
#images th[aria-sort=ascending]::after{content:" \25B2"}
#images th[aria-sort=descending]::after{content:" \25BC"}
#images td{border-top:1px solid #dde3e8;padding:4px 6px;vertical-align:middle;white-space:nowrap}
#images td.file,#images td.error{white-space:normal;overflow-wrap:anywhere;max-width:320px}
#images td.thumb{width:160px;height:160px;text-align:center;padding:2px}
#images img{max-width:160px;max-height:160px;display:block;margin:auto}
#images td.num{text-align:right;font-variant-numeric:tabular-nums}
tr.failed{background:#fde8e8}tr.unnamed{background:#fff5d6}
.error{color:#c0262d}
)";

// Sorting by a click on a column heading: numbers by value (empty last), text by locale; the
// order goes into the address, so a link or a reload keeps it.
const char* kScript = R"(
(function(){
  var table=document.getElementById('images');
  var heads=table.tHead.rows[0].cells;
  Array.prototype.forEach.call(heads,function(th,col){
    if(th.classList.contains('nosort'))return;
    th.addEventListener('click',function(){
      var asc=th.getAttribute('aria-sort')!=='ascending';
      Array.prototype.forEach.call(heads,function(h){h.removeAttribute('aria-sort');});
      th.setAttribute('aria-sort',asc?'ascending':'descending');
      var numeric=th.getAttribute('data-type')==='number';
      var body=table.tBodies[0];
      var rows=Array.prototype.slice.call(body.rows);
      rows.sort(function(a,b){
        var x=a.cells[col].getAttribute('data-sort'),y=b.cells[col].getAttribute('data-sort');
        var d;
        if(numeric){
          var p=x===''?Infinity:parseFloat(x),q=y===''?Infinity:parseFloat(y);
          d=p===q?0:(p<q?-1:1);
          if(p===Infinity||q===Infinity)return d;
        }else{d=x.localeCompare(y);}
        return asc?d:-d;
      });
      rows.forEach(function(r){body.appendChild(r);});
      if(history.replaceState)history.replaceState(null,'','#sort='+th.getAttribute('data-key')+(asc?'':'-desc'));
    });
  });
  // A link may carry its order: report.html#sort=score or #sort=time-desc.
  var wanted=/^#sort=([a-z]+)(-desc)?$/.exec(location.hash);
  if(wanted){
    Array.prototype.forEach.call(heads,function(th){
      if(th.getAttribute('data-key')!==wanted[1])return;
      th.click();
      if(wanted[2])th.click();
    });
  }
  // The rendered size, for a screenshot of the whole page.
  function measure(){
    var e=document.documentElement;
    e.setAttribute('data-width',e.scrollWidth);
    e.setAttribute('data-height',e.scrollHeight);
  }
  measure();
  window.addEventListener('load',measure);
})();
)";

QString figure(const QString& id, const QString& label, const QString& value, bool bad = false) {
  return QString("<div%1><dt>%2</dt><dd id=\"%3\">%4</dd></div>\n")
      .arg(bad ? " class=\"bad\"" : "", esc(label), id, esc(value));
}

QString summarySection(const Summary& summary, const QStringList& catalogueNames) {
  const QJsonObject s = summary.json(catalogueNames);
  QString html = "<section id=\"summary\"><h2>Summary</h2>\n<dl class=\"figures\">\n";
  html += figure("sum-images", "images", QString::number(s["images"].toInt()));
  html += figure("sum-found", "found", QString::number(s["found"].toInt()));
  html += figure("sum-nowheel", "no wheel", QString::number(s["noWheel"].toInt()));
  html +=
      figure("sum-failed", "failed", QString::number(s["failed"].toInt()), s["failed"].toInt() > 0);
  if (s.contains("medianSeconds")) {
    html += figure(
        "sum-time", "time per image",
        QString("median %1 s, worst %2 s")
            .arg(num(s["medianSeconds"].toDouble(), 3), num(s["worstSeconds"].toDouble(), 3)));
  }
  if (s.contains("truthImages")) {
    const int all = s["truthImages"].toInt(), correct = s["truthCorrect"].toInt();
    html += figure("sum-truth", "truth agreement",
                   QString("%1 of %2 named correctly").arg(correct).arg(all), correct < all);
    if (s.contains("medianCentreError")) {
      html += figure("sum-centre", "centre error",
                     QString("median %1 px, worst %2 px")
                         .arg(num(s["medianCentreError"].toDouble(), 3),
                              num(s["worstCentreError"].toDouble(), 3)));
    }
  }
  html += "</dl>\n";

  // Models named: the catalogue's order, then names outside it, then the unnamed wheels.
  const QJsonObject models = s["models"].toObject();
  QStringList order = catalogueNames;
  for (const QString& name : models.keys()) {
    if (!name.isEmpty() && !order.contains(name)) order << name;
  }
  if (!models.isEmpty()) {
    html += "<h2>Models named</h2>\n<table id=\"models\">\n";
    for (const QString& name : order) {
      html += QString("<tr><th>%1</th><td>%2</td></tr>\n")
                  .arg(esc(name))
                  .arg(models.value(name).toInt());
    }
    html += QString("<tr><th>unnamed</th><td>%1</td></tr>\n</table>\n")
                .arg(models.value(QString()).toInt());
  }
  if (s.contains("namedWrongly") && !s["namedWrongly"].toArray().isEmpty()) {
    QStringList wrong;
    for (const QJsonValue& v : s["namedWrongly"].toArray()) wrong << esc(v.toString());
    html += "<p class=\"error\" id=\"sum-wrong\">named wrongly: " + wrong.join(", ") + "</p>\n";
  }
  return html + "</section>\n";
}

// Both charts: 640 x 200 with a value axis on the left.
constexpr double kChartW = 640, kChartH = 200, kChartLeft = 48, kChartBottom = 24, kChartTop = 10;
constexpr double kPlotW = kChartW - kChartLeft - 8, kPlotH = kChartH - kChartBottom - kChartTop;

// The chart's opening tag, its base line and the value axis' labels 0 and `most`.
QString chartStart(const char* id, double most, const QString& unit) {
  QString svg = QString(
                    "<svg id=\"%1\" xmlns=\"http://www.w3.org/2000/svg\" width=\"%2\" "
                    "height=\"%3\" viewBox=\"0 0 %2 %3\" role=\"img\">\n")
                    .arg(id)
                    .arg(kChartW)
                    .arg(kChartH);
  svg += QString("<line x1=\"%1\" y1=\"%2\" x2=\"%3\" y2=\"%2\" stroke=\"#888\"/>\n")
             .arg(kChartLeft)
             .arg(kChartTop + kPlotH)
             .arg(kChartW - 8);
  svg += QString("<text x=\"%1\" y=\"%2\" text-anchor=\"end\">%3%4</text>\n")
             .arg(kChartLeft - 4)
             .arg(kChartTop + 10)
             .arg(num(most, 3), unit);
  svg += QString("<text x=\"%1\" y=\"%2\" text-anchor=\"end\">0%3</text>\n")
             .arg(kChartLeft - 4)
             .arg(kChartTop + kPlotH)
             .arg(unit);
  return svg;
}

// A bar per image in input order, its height the time; failures in red.
QString timeChart(const std::vector<ReportEntry>& entries) {
  double most = 0.0;
  for (const ReportEntry& e : entries) most = std::max(most, shownSeconds(e.outcome));
  if (most <= 0.0) most = 1.0;
  const double step = kPlotW / std::max<size_t>(1, entries.size());
  QString svg = chartStart("chart-time", most, " s");
  svg += QString("<text x=\"%1\" y=\"%2\" text-anchor=\"middle\">images in input order</text>\n")
             .arg(kChartLeft + kPlotW / 2)
             .arg(kChartH - 6);
  for (size_t i = 0; i < entries.size(); ++i) {
    const ImageOutcome& o = entries[i].outcome;
    const double h = std::max(1.0, shownSeconds(o) / most * kPlotH);
    svg += QString(
               "<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" fill=\"%5\"><title>%6: %7 "
               "s</title></rect>\n")
               .arg(num(kChartLeft + i * step + step * 0.1, 1), num(kChartTop + kPlotH - h, 1),
                    num(std::max(1.0, step * 0.8), 1), num(h, 1),
                    o.failed() ? "#d0343b" : "#3b78c2", esc(o.file), num(shownSeconds(o), 3));
  }
  return svg + "</svg>";
}

// A dot per found wheel, in its model's column at the height of its score (lower is better).
QString scoreChart(const std::vector<ReportEntry>& entries, const QStringList& catalogueNames) {
  QStringList models;
  for (const QString& name : catalogueNames) {
    for (const ReportEntry& e : entries) {
      if (e.outcome.status == ImageOutcome::Status::Found && e.outcome.model == name) {
        models << name;
        break;
      }
    }
  }
  double most = 0.0;
  for (const ReportEntry& e : entries) {
    const ImageOutcome& o = e.outcome;
    if (o.status != ImageOutcome::Status::Found) continue;
    const QString name = o.model.isEmpty() ? QString("unnamed") : o.model;
    if (!models.contains(name)) models << name;
    if (std::isfinite(o.score)) most = std::max(most, o.score);
  }
  if (most <= 0.0) most = 1.0;
  const double column = kPlotW / std::max(1, static_cast<int>(models.size()));
  QString svg = chartStart("chart-score", most, "");
  for (int m = 0; m < models.size(); ++m) {
    svg += QString("<text x=\"%1\" y=\"%2\" text-anchor=\"middle\">%3</text>\n")
               .arg(num(kChartLeft + (m + 0.5) * column, 1))
               .arg(kChartH - 6)
               .arg(esc(models[m]));
  }
  int k = 0;
  for (const ReportEntry& e : entries) {
    const ImageOutcome& o = e.outcome;
    if (o.status != ImageOutcome::Status::Found) continue;
    const int m = models.indexOf(o.model.isEmpty() ? QString("unnamed") : o.model);
    const double score = std::isfinite(o.score) ? std::clamp(o.score, 0.0, most) : most;
    // Spread side by side a little, so equal scores stay visible.
    const double x = kChartLeft + (m + 0.5) * column + ((k++ % 5) - 2) * 6.0;
    svg += QString(
               "<circle cx=\"%1\" cy=\"%2\" r=\"4\" fill=\"%3\"><title>%4: score "
               "%5</title></circle>\n")
               .arg(num(x, 1), num(kChartTop + kPlotH - score / most * kPlotH, 1),
                    o.model.isEmpty() ? "#d08a00" : "#2f8f4e", esc(o.file), num(o.score, 4));
  }
  return svg + "</svg>";
}

QString thumbCell(const QString& full, const QString& thumb, const QString& what) {
  if (thumb.isEmpty()) return "<td class=\"thumb\"></td>";
  return QString("<td class=\"thumb\"><a href=\"%1\"><img src=\"%2\" alt=\"%3\"></a></td>")
      .arg(href(full.isEmpty() ? thumb : full), href(thumb), esc(what));
}

QString cell(const QString& text, const QString& sortKey, const char* cssClass) {
  return QString("<td%1 data-sort=\"%2\">%3</td>")
      .arg(*cssClass ? QString(" class=\"%1\"").arg(cssClass) : QString(), esc(sortKey), esc(text));
}

QString numberCell(const std::optional<double>& v, int decimals) {
  return v ? cell(num(*v, decimals), QString::number(*v, 'g', 17), "num") : cell("", "", "num");
}

QString row(int index, const ReportEntry& e) {
  const ImageOutcome& o = e.outcome;
  const bool found = o.status == ImageOutcome::Status::Found;
  QString status = statusName(o.status);
  if (o.failed()) status += ": " + o.error;
  QString truth;
  if (o.hasTruth) {
    truth =
        o.correct()
            ? QString("ok")
            : QString("wrong: %1").arg(o.truthModel.isEmpty() ? QString("no wheel") : o.truthModel);
  }
  QString html = QString("<tr class=\"%1\" id=\"image-%2\">").arg(rowClass(o)).arg(index + 1);
  html += cell(QString::number(index + 1), QString::number(index + 1), "num");
  html += thumbCell(e.overlay, e.overlayThumb, "overlay of " + o.file);
  html += thumbCell(e.cutout, e.cutoutThumb, "cut-out of " + o.file);
  // Long paths break after a folder rather than inside a name.
  html += QString("<td class=\"file\" data-sort=\"%1\">%2</td>")
              .arg(esc(o.file), esc(o.file).replace("/", "/<wbr>"));
  html += cell(status, status, o.failed() ? "error" : "");
  html += cell(found ? (o.model.isEmpty() ? QString("-") : o.model) : QString(), o.model, "");
  html += cell(truth, truth, "");
  const auto ifFound = [&](double v) { return found ? std::optional<double>(v) : std::nullopt; };
  html += numberCell(ifFound(o.score), 4);
  html += numberCell(ifFound(o.similarity), 3);
  html += numberCell(ifFound(o.diameter), 1);
  html += numberCell(o.centreError(), 3);
  html += numberCell(shownSeconds(o), 3);
  return html + "</tr>\n";
}

}  // namespace

std::vector<int> reportOrder(const std::vector<ReportEntry>& entries) {
  std::vector<int> order(entries.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    return group(entries[static_cast<size_t>(a)].outcome) <
           group(entries[static_cast<size_t>(b)].outcome);
  });
  return order;
}

QString htmlReport(const std::vector<ReportEntry>& entries, const Summary& summary,
                   const QStringList& catalogueNames) {
  QString html =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<title>wheelhost report</title>\n<style>";
  html += kStyle;
  html += "</style>\n</head>\n<body>\n<h1>wheelhost report</h1>\n";
  html += summarySection(summary, catalogueNames);
  html += "<section id=\"charts\"><h2>Charts</h2>\n<div class=\"charts\">\n";
  html +=
      "<figure>" + timeChart(entries) + "<figcaption>time per image (s)</figcaption></figure>\n";
  html += "<figure>" + scoreChart(entries, catalogueNames) +
          "<figcaption>score per model (lower is better)</figcaption></figure>\n";
  html += "</div>\n</section>\n";
  html +=
      "<section><h2>Images</h2>\n<p>Failures first, then wheels found without a model; click a "
      "column heading to sort.</p>\n<table id=\"images\">\n<thead><tr>"
      "<th data-type=\"number\" data-key=\"index\">#</th><th class=\"nosort\">overlay</th>"
      "<th class=\"nosort\">cut-out</th><th data-key=\"file\">file</th>"
      "<th data-key=\"status\">status</th><th data-key=\"model\">model</th>"
      "<th data-key=\"truth\">truth</th><th data-type=\"number\" data-key=\"score\">score</th>"
      "<th data-type=\"number\" data-key=\"similarity\">similarity</th>"
      "<th data-type=\"number\" data-key=\"diameter\">diameter</th>"
      "<th data-type=\"number\" data-key=\"centre\">centre error (px)</th>"
      "<th data-type=\"number\" data-key=\"time\">time (s)</th>"
      "</tr></thead>\n<tbody>\n";
  for (int i : reportOrder(entries)) html += row(i, entries[static_cast<size_t>(i)]);
  html += "</tbody>\n</table>\n</section>\n<script>";
  html += kScript;
  html += "</script>\n</body>\n</html>\n";
  return html;
}

}  // namespace wheelhost
