#pragma once

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>

class QTimer;
class QWidget;

// Answers the dialogs a plug-in opens while the scripted demo drives it, as an operator would:
// every modal message box or dialog gets its default (or accepting) button, a folder dialog gets
// the folder set with setFolderChoice, a password field the word set with setPassword. A dialog
// still open after its answer (a refused password) is rejected, so the demo never hangs in it.
// Boxes that close by themselves are only reported.
class ModalAnswerer : public QObject
{
    Q_OBJECT

public:
    struct Record
    {
        QString title;
        QString text;
        QString answer; // the button pressed; empty for a box that closes by itself
    };

    explicit ModalAnswerer(QObject *parent = nullptr);
    ~ModalAnswerer() override;

    // A button's or window's text as the operator reads it: no mnemonic '&', blanks simplified.
    static QString plainText(QString text);

    void setFolderChoice(const QString &folder);
    // Typed into a dialog's password field before its button is pressed; empty types nothing.
    void setPassword(const QString &password);
    // The next message box that offers `button` gets it instead of its default button.
    void pressNext(QMessageBox::StandardButton button);
    QList<Record> records() const;
    // Whether a box with exactly this text was seen since the records were last cleared.
    bool hasSeen(const QString &text) const;
    void clearRecords();

signals:
    void message(const QString &text);

private:
    void poll();
    void answer(const QPointer<QWidget> &dialog);
    void noteSelfClosingBoxes();

    QTimer *m_timer;
    QString m_folder;
    QString m_password;
    QMessageBox::StandardButton m_next = QMessageBox::NoButton;
    QList<Record> m_records;
    // Dialogs whose answer is queued or still running (a button that opened another dialog).
    QList<QPointer<QWidget>> m_busy;
    QList<QPointer<QWidget>> m_reported;
    // Dialogs answered once: a second answer to the same dialog rejects it.
    QList<QPointer<QWidget>> m_answered;
};
