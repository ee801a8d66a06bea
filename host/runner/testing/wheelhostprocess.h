#pragma once

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

// The built wheelhost (WHEELHOST_EXE, defined by the test target) run in a subprocess.
struct WheelhostResult {
  int exitCode = -1;  // -1: it crashed or did not finish
  QString out, err;
  QStringList outLines() const { return out.split('\n', Qt::SkipEmptyParts); }
};

inline WheelhostResult runWheelhost(
    const QStringList& args,
    const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
  QProcess p;
  p.setProcessEnvironment(env);
  p.start(WHEELHOST_EXE, args);
  EXPECT_TRUE(p.waitForFinished(600000)) << "wheelhost did not finish";
  const int exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  return {exitCode, QString::fromUtf8(p.readAllStandardOutput()),
          QString::fromUtf8(p.readAllStandardError())};
}

// The objects of --json output, one a line.
inline QList<QJsonObject> jsonLines(const QString& text) {
  QList<QJsonObject> out;
  for (const QString& line : text.split('\n', Qt::SkipEmptyParts)) {
    QJsonParseError e;
    out << QJsonDocument::fromJson(line.toUtf8(), &e).object();
    EXPECT_EQ(e.error, QJsonParseError::NoError) << line.toStdString();
  }
  return out;
}
