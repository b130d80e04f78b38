#include "passworddialog.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

// The dialog belongs to the setup page; its texts are translated in the page's context, spelled
// out at each call so that lupdate finds them.
PasswordDialog::PasswordDialog(QWidget *parent)
    : QDialog(parent)
    , m_passwordEdit(new QLineEdit(this))
{
    setObjectName(QStringLiteral("passwordDialog"));
    setWindowTitle(QCoreApplication::translate("setupWidget", "输入解锁密码"));
    setFixedSize(300, 120);
    setModal(true);

    auto *layout = new QVBoxLayout(this);
    layout->setObjectName(QStringLiteral("passwordLayout"));
    auto *label =
        new QLabel(QCoreApplication::translate("setupWidget", "密码解锁参数"), this);
    label->setObjectName(QStringLiteral("passwordLabel"));
    layout->addWidget(label);

    m_passwordEdit->setObjectName(QStringLiteral("passwordLineEdit"));
    m_passwordEdit->setEchoMode(QLineEdit::Password);
    m_passwordEdit->setPlaceholderText(QCoreApplication::translate("setupWidget", "密码"));
    layout->addWidget(m_passwordEdit);

    auto *buttons = new QHBoxLayout();
    buttons->setObjectName(QStringLiteral("passwordButtonLayout"));
    auto *okBtn = new QPushButton(QCoreApplication::translate("setupWidget", "确定"), this);
    okBtn->setObjectName(QStringLiteral("okBtn"));
    // Return in the field means "确定", so the check runs for it too.
    okBtn->setDefault(true);
    auto *cancelBtn = new QPushButton(QCoreApplication::translate("setupWidget", "取消"), this);
    cancelBtn->setObjectName(QStringLiteral("cancelBtn"));
    cancelBtn->setAutoDefault(false);
    buttons->addWidget(okBtn);
    buttons->addWidget(cancelBtn);
    layout->addLayout(buttons);

    connect(okBtn, &QPushButton::clicked, this, &PasswordDialog::tryAccept);
    connect(cancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    m_passwordEdit->setFocus();
}

PasswordDialog::~PasswordDialog() = default;

bool PasswordDialog::isUnlockWord(const QString &text)
{
    return text.toLower() == QLatin1String("sorvik");
}

void PasswordDialog::tryAccept()
{
    if (isUnlockWord(m_passwordEdit->text())) {
        accept();
        return;
    }
    m_passwordEdit->clear();
    m_passwordEdit->setFocus();
}
