#pragma once

#include <QMutex>
#include <QMutexLocker>
#include <QString>
#include <QStringList>
#include <QVector>
#include <QtGlobal>

// Records every Qt message of its lifetime, from any thread, instead of printing it.
class MessageCapture
{
public:
    struct Message
    {
        QtMsgType type;
        QString text;
        bool hasFile;
        int line;
        bool hasFunction;
    };

    MessageCapture()
    {
        QMutexLocker locker(&s_mutex);
        s_messages.clear();
        s_previous = qInstallMessageHandler(&MessageCapture::handle);
    }
    ~MessageCapture() { qInstallMessageHandler(s_previous); }

    QVector<Message> messages() const
    {
        QMutexLocker locker(&s_mutex);
        return s_messages;
    }
    QStringList texts() const
    {
        QStringList all;
        for (const Message &message : messages())
            all.append(message.text);
        return all;
    }

private:
    Q_DISABLE_COPY(MessageCapture)

    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &text)
    {
        QMutexLocker locker(&s_mutex);
        s_messages.append(Message{type, text, context.file != nullptr, context.line,
                                  context.function != nullptr});
    }

    static inline QMutex s_mutex;
    static inline QVector<Message> s_messages;
    static inline QtMessageHandler s_previous = nullptr;
};
