#pragma once

#include <QLineEdit>
#include <QMessageBox>
#include <QString>
#include <QStringList>

namespace support {

// What a ModalDialogWatcher saw of one modal dialog, and how it answered.
struct DialogRecord
{
    enum Kind { MessageBox, InputDialog, OtherDialog };

    Kind kind = OtherDialog;
    QString className;
    QString objectName;
    QString windowTitle;
    QString text;            // a message box's text, an input dialog's label
    QString informativeText; // message boxes only
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons standardButtons = QMessageBox::NoButton;
    QStringList buttonTexts; // every button of the dialog, mnemonic marks removed
    QLineEdit::EchoMode echoMode = QLineEdit::Normal; // input dialogs only

    bool answered = false;
    QString pressedButton; // text of the button pressed, mnemonic marks removed
    QString typedText;     // null unless text was typed
    bool rejected = false;
};

} // namespace support
