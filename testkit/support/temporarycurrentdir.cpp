#include "temporarycurrentdir.h"

#include <QDir>

namespace support {

TemporaryCurrentDir::TemporaryCurrentDir()
{
    enter();
}

TemporaryCurrentDir::TemporaryCurrentDir(const QString &templatePath)
    : m_dir(templatePath)
{
    enter();
}

// The previous directory comes back before the member QTemporaryDir removes the folder: Windows
// refuses to remove a process's current directory.
TemporaryCurrentDir::~TemporaryCurrentDir()
{
    if (m_entered && !QDir::setCurrent(m_previous))
        qWarning("TemporaryCurrentDir: cannot return to %s", qPrintable(m_previous));
}

bool TemporaryCurrentDir::isValid() const
{
    return m_entered;
}

QString TemporaryCurrentDir::path() const
{
    return m_dir.path();
}

QString TemporaryCurrentDir::filePath(const QString &name) const
{
    return m_dir.filePath(name);
}

QString TemporaryCurrentDir::previousPath() const
{
    return m_previous;
}

void TemporaryCurrentDir::enter()
{
    m_previous = QDir::currentPath();
    if (!m_dir.isValid()) {
        qWarning("TemporaryCurrentDir: %s", qPrintable(m_dir.errorString()));
        return;
    }
    m_entered = QDir::setCurrent(m_dir.path());
    if (!m_entered)
        qWarning("TemporaryCurrentDir: cannot enter %s", qPrintable(m_dir.path()));
}

} // namespace support
