#ifndef TEVRANO_TITLEBAR_H
#define TEVRANO_TITLEBAR_H

#include <QTimer>
#include <QWidget>

class QAction;
class QMenu;

namespace Ui {
class TitleBar;
}

// Height of the title bar on a desktop of the given height: 6.5 %, with the
// fraction dropped.
int titleBarHeight(int desktopHeight);

// Border-image style sheet of a window button drawn from the "light" images
// window_<word>_normal/hover/press.png.
QString windowButtonStyleSheet(const QString &word);

// The title bar of the frameless main window: logo, application name, a
// clock and the minimize, maximize/restore and close buttons. It also owns a
// row of menu buttons that is wired but kept hidden; the menus the user sees
// belong to the main window.
class TitleBar : public QWidget
{
    Q_OBJECT

public:
    explicit TitleBar(QWidget *parent = nullptr);
    ~TitleBar() override;

signals:
    void minimizeClicked();
    void closeClicked();
    // The middle button or a double-click on the bar.
    void maximizeClicked();
    void fileClicked();
    void actionAbout();
    void actionImportData();
    void actionExportData();
    void actionExit();
    void actionDeviceInfo();
    void actionChartSettings();
    void actionChinese();
    void actionEnglish();

public slots:
    // True while the window is normal (the button offers to maximize),
    // false while it is maximized (the button offers to restore).
    void changeImage(bool windowIsNormal);

protected:
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildMenus();
    QMenu *addMenu(const char *objectName);
    QAction *addEntry(QMenu *menu, const char *objectName, void (TitleBar::*signal)());
    void retranslateMenus();
    void showApplicationName();
    void showTime();

    Ui::TitleBar *ui;
    QTimer m_clockTimer;

    QAction *m_importAction = nullptr;
    QAction *m_saveCurveAction = nullptr;
    QAction *m_exitAction = nullptr;
    QAction *m_deviceInfoAction = nullptr;
    QAction *m_chartSettingsAction = nullptr;
    QAction *m_aboutAction = nullptr;
    QMenu *m_languageMenu = nullptr;
};

#endif // TEVRANO_TITLEBAR_H
