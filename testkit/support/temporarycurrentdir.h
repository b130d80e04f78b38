#pragma once

#include <QString>
#include <QTemporaryDir>

namespace support {

// Makes a fresh temporary folder the current directory for its lifetime.
class TemporaryCurrentDir
{
public:
    TemporaryCurrentDir();
    // `templatePath` as for QTemporaryDir, e.g. QDir::tempPath() + "/calib-XXXXXX".
    explicit TemporaryCurrentDir(const QString &templatePath);
    ~TemporaryCurrentDir();

    // False when the folder could not be made or entered; the current directory is then unchanged.
    bool isValid() const;
    QString path() const;
    QString filePath(const QString &name) const;
    QString previousPath() const;

private:
    Q_DISABLE_COPY(TemporaryCurrentDir)

    void enter();

    QTemporaryDir m_dir;
    QString m_previous;
    bool m_entered = false;
};

} // namespace support
