#include "dialoganswer.h"

namespace support {

DialogAnswer::DialogAnswer() = default;

DialogAnswer::DialogAnswer(Kind kind, QMessageBox::StandardButton button, const QString &text)
    : m_kind(kind)
    , m_button(button)
    , m_text(text)
{
}

DialogAnswer DialogAnswer::byDefault()
{
    return DialogAnswer();
}

DialogAnswer DialogAnswer::accept()
{
    return DialogAnswer(Accept, QMessageBox::NoButton, QString());
}

DialogAnswer DialogAnswer::reject()
{
    return DialogAnswer(Reject, QMessageBox::NoButton, QString());
}

DialogAnswer DialogAnswer::press(QMessageBox::StandardButton button)
{
    return DialogAnswer(PressButton, button, QString());
}

DialogAnswer DialogAnswer::press(const QString &buttonText)
{
    return DialogAnswer(PressText, QMessageBox::NoButton, buttonText);
}

DialogAnswer DialogAnswer::type(const QString &text)
{
    return DialogAnswer(Type, QMessageBox::NoButton, text);
}

DialogAnswer::Kind DialogAnswer::kind() const
{
    return m_kind;
}

QMessageBox::StandardButton DialogAnswer::button() const
{
    return m_button;
}

QString DialogAnswer::text() const
{
    return m_text;
}

QString DialogAnswer::toString() const
{
    switch (m_kind) {
    case Default:
        return QStringLiteral("default");
    case Accept:
        return QStringLiteral("accept");
    case Reject:
        return QStringLiteral("reject");
    case PressButton:
        return QStringLiteral("press button 0x%1").arg(int(m_button), 0, 16);
    case PressText:
        return QStringLiteral("press \"%1\"").arg(m_text);
    case Type:
        return QStringLiteral("type \"%1\"").arg(m_text);
    }
    return QString();
}

} // namespace support
