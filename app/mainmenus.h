#pragma once

#include <QObject>

struct MainWindowUi;
class AlarmBeeper;
class MainWindow;
class QAction;
class QMenu;

// The menus behind the window's four menu buttons; their entries call the window's handlers.
class MainMenus : public QObject
{
    Q_OBJECT
public:
    MainMenus(const MainWindowUi &form, MainWindow *window, AlarmBeeper *beeper);

    QAction *alarmSoundAction() const { return m_alarmSoundAction; }
    // Stores the language, loads its catalogue and so retranslates every window.
    static void switchLanguage(const char *name);
    void retranslate();

private:
    QAction *addAction(QMenu *menu, void (MainWindow::*handler)());

    MainWindow *m_window;
    QMenu *m_panelMenu = nullptr;
    QMenu *m_languageMenu = nullptr;
    QAction *m_importAction = nullptr;
    QAction *m_exportAction = nullptr;
    QAction *m_exportImageAction = nullptr;
    QAction *m_exportCsvAction = nullptr;
    QAction *m_exitAction = nullptr;
    QAction *m_deviceInfoAction = nullptr;
    QAction *m_chartSettingsAction = nullptr;
    QAction *m_mqttAction = nullptr;
    QAction *m_relayAction = nullptr;
    QAction *m_aboutAction = nullptr;
    QAction *m_showPanelAction = nullptr;
    QAction *m_hidePanelAction = nullptr;
    QAction *m_alarmSoundAction = nullptr;
};
