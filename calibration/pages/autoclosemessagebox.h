#pragma once

#include <QMessageBox>
#include <QString>

class QWidget;

// A message box without buttons that goes away by itself after `ms` and deletes itself. It is
// not modal, so the caller carries on at once.
QMessageBox *showAutoCloseMessageBox(QWidget *parent, QMessageBox::Icon icon,
                                     const QString &title, const QString &text, int ms);
