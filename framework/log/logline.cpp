#include "logline.h"

#include "tessellog_p.h"

#include <QDateTime>
#include <QLocale>
#include <QLoggingCategory>
#include <QTextCodec>

#include <atomic>
#include <chrono>
#include <cstring>
#include <ctime>
#include <limits>
#include <mutex>
#include <thread>

namespace tessel {

namespace {

const QString kTimeFormat = QStringLiteral("MM/dd hh:mm:ss.zzz");

// Qt's local-time functions re-read the time-zone data on every call, which would cost a log
// statement more than its file write. The broken-down time only changes once a second, so each
// thread keeps the last second it converted; the text is the same as QDateTime's.
struct LocalSecond
{
    qint64 second;
    int year;
    int month;
    int day;
    char stamp[14]; // "MM/dd hh:mm:ss"
    bool valid;
};

// Plain data: no destructor to run at thread exit.
thread_local LocalSecond t_local = {std::numeric_limits<qint64>::min(), 0, 0, 0, {}, false};

void putTwoDigits(char *out, int value)
{
    out[0] = char('0' + value / 10 % 10);
    out[1] = char('0' + value % 10);
}

void splitMsecs(qint64 msecs, qint64 *second, int *milli)
{
    *second = msecs / 1000;
    *milli = int(msecs % 1000);
    if (*milli < 0) {
        *milli += 1000;
        --*second;
    }
}

const LocalSecond &localSecond(qint64 second)
{
    LocalSecond &local = t_local;
    if (local.second == second)
        return local;
    local.second = second;
    local.valid = false;
    const std::time_t t = static_cast<std::time_t>(second);
    std::tm tm = {};
    // The zone globals that tzset() rewrites are read by the conversion of other threads: the
    // CRT's _tzset() takes no lock at all, and glibc's lock is one that race checkers cannot
    // see. Both run under one lock of ours, once a second per thread, so it costs nothing.
    // A standard mutex: constant-initialised, so valid at exit too, and visible to the thread
    // sanitizer, which cannot see into Qt's own mutex under contention.
    static std::mutex zoneMutex;
    bool converted = false;
    {
        const std::lock_guard<std::mutex> locker(zoneMutex);
#if defined(Q_OS_WIN)
        _tzset(); // picks up a changed zone as Qt does
        converted = localtime_s(&tm, &t) == 0;
#else
        tzset();
        converted = localtime_r(&t, &tm) != nullptr;
#endif
    }
    if (!converted)
        return local;
    local.year = tm.tm_year + 1900;
    local.month = tm.tm_mon + 1;
    local.day = tm.tm_mday;
    putTwoDigits(local.stamp, local.month);
    local.stamp[2] = '/';
    putTwoDigits(local.stamp + 3, local.day);
    local.stamp[5] = ' ';
    putTwoDigits(local.stamp + 6, tm.tm_hour);
    local.stamp[8] = ':';
    putTwoDigits(local.stamp + 9, tm.tm_min);
    local.stamp[11] = ':';
    putTwoDigits(local.stamp + 12, tm.tm_sec);
    local.valid = true;
    return local;
}

char kindLetter(LogKind kind)
{
    switch (kind) {
    case LogKind::Error:
        return 'E';
    case LogKind::Info:
        return 'I';
    case LogKind::Service:
        return 'S';
    }
    return 'I';
}

// Statements in progress, and whether the exit has begun. Constant-initialised: valid before any
// object is made and after every one is gone.
std::atomic<int> s_statements{0};
std::atomic<bool> s_exiting{false};

// Destroyed at exit before the Qt objects a statement uses (it is made after them): from then on
// statements write nothing, and those in progress are waited for, a second at most, before Qt's
// objects go.
struct ExitWait
{
    ~ExitWait()
    {
        s_exiting.store(true);
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        while (s_statements.load() != 0 && std::chrono::steady_clock::now() < until)
            std::this_thread::yield();
    }
};

void armExitWait()
{
    static const bool armed = [] {
        QTextCodec::codecForLocale();
        QLoggingCategory::defaultCategory();
        const QLocale locale;
        Q_UNUSED(locale)
        static ExitWait wait;
        return true;
    }();
    Q_UNUSED(armed)
}

} // namespace

bool beginLogStatement()
{
    armExitWait();
    s_statements.fetch_add(1);
    if (s_exiting.load()) {
        s_statements.fetch_sub(1);
        return false;
    }
    return true;
}

void endLogStatement()
{
    s_statements.fetch_sub(1);
}

QString logColour(LogKind kind)
{
    switch (kind) {
    case LogKind::Error:
        return QStringLiteral("\033[31m");
    case LogKind::Info:
        return QStringLiteral("\033[36m");
    case LogKind::Service:
        return QStringLiteral("\033[35m");
    }
    return QStringLiteral("\033[36m");
}

QString logTag(LogKind kind)
{
    return logTag(kind, QDateTime::currentMSecsSinceEpoch());
}

QString logTag(LogKind kind, qint64 msecsSinceEpoch)
{
    qint64 second = 0;
    int milli = 0;
    splitMsecs(msecsSinceEpoch, &second, &milli);
    const LocalSecond &local = localSecond(second);
    if (!local.valid) {
        // Outside what the C library converts: let Qt do it, slowly but right.
        return QStringLiteral("[%1|%2]").arg(
            QString(QLatin1Char(kindLetter(kind))),
            QDateTime::fromMSecsSinceEpoch(msecsSinceEpoch).toString(kTimeFormat));
    }
    char text[22] = {'[', kindLetter(kind), '|'};
    std::memcpy(text + 3, local.stamp, sizeof local.stamp);
    text[17] = '.';
    text[18] = char('0' + milli / 100);
    putTwoDigits(text + 19, milli % 100);
    text[21] = ']';
    return QString::fromLatin1(text, int(sizeof text));
}

QString logLocation(const QString &function, int line)
{
    if (function.isEmpty())
        return QString();
    // Joined rather than arg()ed: a function name may itself hold "%1".
    return QLatin1Char('{') + function + QLatin1Char('@') + QString::number(line)
           + QLatin1Char('}');
}

QDate currentLogDate()
{
    qint64 second = 0;
    int milli = 0;
    splitMsecs(QDateTime::currentMSecsSinceEpoch(), &second, &milli);
    const LocalSecond &local = localSecond(second);
    if (!local.valid)
        return QDate::currentDate();
    return QDate(local.year, local.month, local.day);
}

} // namespace tessel
