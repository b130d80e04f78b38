#pragma once

#include <QtGlobal>

#ifndef Q_OS_WIN
#include <sys/resource.h>
#endif

namespace support {

// Limits the size of any file this process writes, for its lifetime, so that a write fails even
// for root, whom no folder permission stops. A write past the limit then fails with EFBIG rather
// than ending the process. Not available on Windows: isActive() is false there.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(qint64 bytes);
    ~FileSizeLimit();

    bool isActive() const;

private:
    Q_DISABLE_COPY(FileSizeLimit)

    bool m_active = false;
#ifndef Q_OS_WIN
    struct rlimit m_saved;
    void (*m_oldHandler)(int) = nullptr;
#endif
};

} // namespace support
