#pragma once

#include <QMainWindow>

class QLabel;
class QListWidget;
class QPlainTextEdit;
class QScrollArea;
class QTabWidget;
class QVBoxLayout;
class PageHost;
class ProgramEditor;
class RobotView;

namespace skald {
class CenterWidget;
class StatusBar;
} // namespace skald

// The teach pendant's face: navigation list, centre area, status bar, message area and the
// physical buttons on both sides of the frame.
class PendantWindow : public QMainWindow
{
    Q_OBJECT

public:
    // The window keeps `size`, as a pendant's screen does; larger pages scroll.
    explicit PendantWindow(const QSize &size = QSize(1280, 800), QWidget *parent = nullptr);
    ~PendantWindow() override;

    skald::CenterWidget *centerArea() const;
    // Holds the centre area; scrolls a page larger than the space it has.
    QScrollArea *centerScroll() const;
    skald::StatusBar *statusArea() const;
    QListWidget *navigation() const;
    QPlainTextEdit *messageArea() const;
    // Beside the centre area, so a plug-in author sees what a move does.
    RobotView *robotView() const;
    // Beside the robot view: the instructions plug-ins registered, with their editors.
    ProgramEditor *programEditor() const;
    void showProgramEditor();

    // The navigation entries as (title, nav key) pairs, in list order.
    QList<QPair<QString, QString>> navigationEntries() const;
    bool showNavigation(const QString &nav);
    void showText(const QString &text);
    // Where a separate controller is looked for; the status bar names it while it is not
    // reached. Empty for the embedded one.
    void setControllerAddress(const QString &address);

signals:
    void message(const QString &text);

private:
    void refreshNavigation();
    void scheduleNavigationRefresh();
    void refreshButtons();
    void refreshLinkState();
    void fitCenterToPage();

    skald::CenterWidget *m_center;
    QScrollArea *m_centerScroll;
    PageHost *m_pageHost;
    skald::StatusBar *m_status;
    QListWidget *m_navigation;
    QPlainTextEdit *m_messages;
    RobotView *m_robotView;
    QTabWidget *m_sidePanel;
    ProgramEditor *m_programEditor;
    QLabel *m_linkLabel;
    QLabel *m_robotLabel;
    QVBoxLayout *m_leftButtons;
    QVBoxLayout *m_rightButtons;
    QString m_controllerAddress;
    bool m_everUp = false;
    bool m_refreshPending = false;
};
