#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QString>

// Writes `text` to `path`, replacing what stood there, and returns the path: the input files of
// the runner's file-reading tests.
inline QString writeTextFile(const QString& path, const QByteArray& text) {
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(text);
  return path;
}

// The bytes of the file at `path`; none, and a failure, when it cannot be read.
inline QByteArray readFile(const QString& path) {
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
  return f.readAll();
}
