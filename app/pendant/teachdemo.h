#pragma once

#include <QObject>
#include <QPointer>
#include <QVector>

class ControllerProbe;
class QAbstractButton;
class QWidget;
class RobotView;

// The scripted demo of the Teach example's page: teaches two points on the robot,
// checks the move between them, moves there and back, saves the robot view before and after,
// and stops a move on its way.
class TeachDemo : public QObject
{
    Q_OBJECT

public:
    static constexpr int StepCount = 6;

    // The robot view pictures go into `folder`.
    TeachDemo(QWidget *page, ControllerProbe *controller, RobotView *view,
              const QString &folder, QObject *parent = nullptr);
    ~TeachDemo() override;

    // The Teach page under `root`, or null.
    static QWidget *findPage(QWidget *root);

    // Runs the steps in order; returns how many succeeded.
    int run();
    QStringList pictures() const;

signals:
    void message(const QString &text);

private:
    bool runStep(int index, QString *detail);
    bool saveView(const QString &name, QString *detail);
    bool teach(const QString &name, const QString &button, QString *detail);
    bool moveTo(const QString &name, bool joint, QString *detail);
    bool moveAndStop(const QString &name, QString *detail);
    bool select(const QString &name);
    bool press(const QString &button, QString *detail);
    QString status() const;
    void say(const QString &text);

    QPointer<QWidget> m_page;
    ControllerProbe *m_controller;
    QPointer<RobotView> m_view;
    QString m_folder;
    QStringList m_pictures;
    QVector<double> m_first;
    QVector<double> m_second;
};
