#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <string>

namespace dbk::test {

// Writes the bytes as a file of the folder and returns its path.
inline QString writeFile(const QTemporaryDir& dir, const std::string& bytes, const QString& name) {
    const QString path = QDir(dir.path()).filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes.data(), static_cast<qint64>(bytes.size()));
    return path;
}

}  // namespace dbk::test
