#pragma once

#include <QFrame>
#include <QString>

// A white rounded card of the information page, its title set into the top edge.
class InfoCardFrame : public QFrame
{
    Q_OBJECT

public:
    explicit InfoCardFrame(QWidget *parent = nullptr);

    QString title() const;
    void setTitle(const QString &title);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_title;
};
