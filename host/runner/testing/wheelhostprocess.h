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

inline WheelhostResult runWheelhost(const QStringList& args, const QProcessEnvironment& env) {
  QProcess p;
  p.setProcessEnvironment(env);
  p.start(WHEELHOST_EXE, args);
  EXPECT_TRUE(p.waitForFinished(600000)) << "wheelhost did not finish";
  WheelhostResult r;
  r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  r.out = QString::fromUtf8(p.readAllStandardOutput());
  r.err = QString::fromUtf8(p.readAllStandardError());
  return r;
}

// `withoutRuntimeDir`: XDG_RUNTIME_DIR unset, as a service or a container may run it.
inline WheelhostResult runWheelhost(const QStringList& args, bool withoutRuntimeDir = false) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  if (withoutRuntimeDir) env.remove("XDG_RUNTIME_DIR");
  return runWheelhost(args, env);
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
