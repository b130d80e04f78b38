#pragma once

#include <QMessageBox>
#include <QMetaType>
#include <QString>

namespace support {

// One scripted answer to a modal dialog, for ModalDialogWatcher.
class DialogAnswer
{
public:
    enum Kind { Default, Accept, Reject, PressButton, PressText, Type };

    // The dialog's default button; a dialog without one is accepted.
    DialogAnswer();
    static DialogAnswer byDefault();
    // The first accepting button (OK, Yes, Save, ...); a dialog without one is accepted.
    static DialogAnswer accept();
    // Escape, as the user would press it; a dialog that ignores Escape is rejected.
    static DialogAnswer reject();
    static DialogAnswer press(QMessageBox::StandardButton button);
    // Matches the button's text without its mnemonic mark, e.g. "Retry" for "&Retry".
    static DialogAnswer press(const QString &buttonText);
    // Types into an input dialog, or the focused or else the first line edit, then accepts.
    static DialogAnswer type(const QString &text);

    Kind kind() const;
    QMessageBox::StandardButton button() const;
    QString text() const;
    QString toString() const;

private:
    DialogAnswer(Kind kind, QMessageBox::StandardButton button, const QString &text);

    Kind m_kind = Default;
    QMessageBox::StandardButton m_button = QMessageBox::NoButton;
    QString m_text;
};

} // namespace support

// For data-driven tests: QTest::addColumn<support::DialogAnswer>("answer").
Q_DECLARE_METATYPE(support::DialogAnswer)
