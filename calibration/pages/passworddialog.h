#pragma once

#include <QDialog>

class QLineEdit;

// Asks for the word that unlocks the DH option table. Accepts only when the word matches;
// a wrong entry is cleared and the dialog stays open for another try.
class PasswordDialog : public QDialog
{
    Q_OBJECT

public:
    explicit PasswordDialog(QWidget *parent = nullptr);
    ~PasswordDialog() override;

    // Compared without regard to case.
    static bool isUnlockWord(const QString &text);

private:
    void tryAccept();

    QLineEdit *m_passwordEdit;
};
