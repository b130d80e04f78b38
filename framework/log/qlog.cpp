#include "qlog.h"

#include "tessellog_p.h"

#include <QMessageLogger>
#include <QScopedPointer>

namespace tessel {

// The text of the message, collected as a debug stream without quotes would write it, and sent
// out when the last copy lets go. Text goes straight in: a debug stream, whose making costs more
// than the rest of the message, is made only for other types.
class QLog::Message
{
public:
    ~Message()
    {
        // As a debug stream ends: the space after the last part goes.
        if (spaces() && text.endsWith(QLatin1Char(' ')))
            text.chop(1);
        stream.reset();
        // As a debug stream sends it: no file, line, function or category.
        qt_message_output(QtDebugMsg, QMessageLogContext(), text);
    }

    bool spaces() const { return stream ? stream->autoInsertSpaces() : autoSpaces; }

    QString text;
    QScopedPointer<QDebug> stream; // into text, once needed
    bool autoSpaces = false;
};

// No file, line or function: the line carries its own location.
QLog::QLog(const QString &colour, const QString &tag, const QString &location)
{
    m_counted = beginLogStatement();
    if (!m_counted)
        return;
    m_message = std::make_shared<Message>();
    m_message->text.reserve(160); // a usual line in one allocation
    m_message->text += colour;
    m_message->text += tag;
    m_message->text += location;
}

QLog::QLog(const QLog &other)
{
    *this = other;
}

// As a debug stream's assignment: this copy's share of its old message goes (sending it when it
// was the last), then it shares the other's.
QLog &QLog::operator=(const QLog &other)
{
    if (this == &other)
        return *this;
    release();
    if (other.m_message) {
        m_counted = beginLogStatement();
        if (m_counted)
            m_message = other.m_message;
    }
    return *this;
}

// Each copy ends with the reset sequence; the message goes out when the last copy releases the
// shared text.
QLog::~QLog()
{
    if (m_message)
        appendText(QLatin1String("\033[0m"));
    release();
}

void QLog::release()
{
    m_message.reset();
    if (m_counted)
        endLogStatement();
    m_counted = false;
}

QLog &QLog::operator<<(const QString &text)
{
    if (m_message)
        appendText(text);
    return *this;
}

QLog &QLog::operator<<(QLatin1String text)
{
    if (m_message)
        appendText(text);
    return *this;
}

QLog &QLog::operator<<(const char *text)
{
    if (m_message)
        appendText(QString::fromUtf8(text));
    return *this;
}

QLog &QLog::operator<<(const QVariant &value)
{
    if (m_message)
        appendText(value.toString());
    return *this;
}

QLog &QLog::operator<<(const void *pointer)
{
    if (m_message)
        stream() << pointer;
    return *this;
}

// As QDebug::space(): a space now and after every later part.
QLog &QLog::space()
{
    if (!m_message)
        return *this;
    if (m_message->stream) {
        m_message->stream->space();
    } else {
        m_message->autoSpaces = true;
        m_message->text += QLatin1Char(' ');
    }
    return *this;
}

void QLog::appendText(const QString &text)
{
    m_message->text += text;
    if (m_message->spaces())
        m_message->text += QLatin1Char(' ');
}

void QLog::appendText(QLatin1String text)
{
    m_message->text += text;
    if (m_message->spaces())
        m_message->text += QLatin1Char(' ');
}

QDebug &QLog::stream()
{
    if (!m_message->stream) {
        m_message->stream.reset(new QDebug(&m_message->text));
        m_message->stream->noquote().nospace().setAutoInsertSpaces(m_message->autoSpaces);
    }
    return *m_message->stream;
}

} // namespace tessel
