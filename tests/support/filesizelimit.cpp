#include "filesizelimit.h"

#include <csignal>

namespace support {

#ifndef Q_OS_WIN

FileSizeLimit::FileSizeLimit(qint64 bytes)
{
    if (getrlimit(RLIMIT_FSIZE, &m_saved) != 0)
        return;
    m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = m_saved;
    limited.rlim_cur = static_cast<rlim_t>(bytes);
    m_active = setrlimit(RLIMIT_FSIZE, &limited) == 0;
    if (!m_active)
        std::signal(SIGXFSZ, m_oldHandler);
}

FileSizeLimit::~FileSizeLimit()
{
    if (!m_active)
        return;
    setrlimit(RLIMIT_FSIZE, &m_saved);
    std::signal(SIGXFSZ, m_oldHandler);
}

#else

FileSizeLimit::FileSizeLimit(qint64) {}

FileSizeLimit::~FileSizeLimit() = default;

#endif

bool FileSizeLimit::isActive() const
{
    return m_active;
}

} // namespace support
