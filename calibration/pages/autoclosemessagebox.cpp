#include "autoclosemessagebox.h"

#include <QTimer>

QMessageBox *showAutoCloseMessageBox(QWidget *parent, QMessageBox::Icon icon,
                                     const QString &title, const QString &text, int ms)
{
    auto *box = new QMessageBox(icon, title, text, QMessageBox::NoButton, parent);
    box->setObjectName(QStringLiteral("autoCloseMessageBox"));
    // Without this a box with no buttons gets an OK button when it is shown.
    box->setStandardButtons(QMessageBox::NoButton);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
    // The timer lives on the box: a box closed earlier takes its timer with it.
    QTimer::singleShot(ms, box, &QMessageBox::accept);
    return box;
}
