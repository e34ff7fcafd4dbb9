#include "titlebar.h"
#include "ui_titlebar.h"

#include <QAction>
#include <QDateTime>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>

namespace {

const char DarkMenuStyleSheet[]
        = "QMenu {background-color:rgba(17,24,47,1);border:3px solid rgba(82,130,164,1);}"
          "QMenu::item {min-width:50px;font-size: 12px;color: rgb(225,225,225);"
          "background:rgba(75,120,154,0.5);border:1px solid rgba(82,130,164,1);"
          "padding:1px 1px;margin:1px 1px;}"
          "QMenu::item:selected {background:rgba(82,130,164,1);}"
          "QMenu::item:pressed {background:rgba(82,130,164,0.4);}";

void styleTitleMenuButton(NavButton *button)
{
    button->setEnabled(true);
    button->setPadding(0, 0, 0, 0);
    button->setTextAlign(NavButton::TextAlignCenter);
    button->setShowLine(false);
    button->setLinePosition(NavButton::LinePositionBottom);
    button->setLineWidth(10);
    button->setNormalTextColor(Qt::white);
    button->setHoverTextColor(Qt::red);
    button->setCheckTextColor(Qt::white);
    button->setNormalBgColor(QColor(0, 64, 100));
    button->setHoverBgColor(QColor(0, 18, 124));
    button->setCheckBgColor(QColor(0, 64, 100));
}

} // namespace

int titleBarHeight(int desktopHeight)
{
    return static_cast<int>(desktopHeight * 0.065);
}

QString windowButtonStyleSheet(const QString &word)
{
    return QStringLiteral("QToolButton{border-image:url(:/imager/light/window_%1_normal.png);"
                          "background-color:transparent;}"
                          "QToolButton:hover{border-image:url(:/imager/light/window_%1_hover.png)}"
                          "QToolButton:pressed{border-image:url(:/imager/light/"
                          "window_%1_press.png)}")
            .arg(word);
}

TitleBar::TitleBar(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::TitleBar)
{
    ui->setupUi(this);
    setFixedHeight(titleBarHeight(QGuiApplication::primaryScreen()->virtualGeometry().height()));

    showApplicationName();
    ui->widget_menu->hide();
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);

    m_clockTimer.setTimerType(Qt::CoarseTimer);
    m_clockTimer.setInterval(1000);
    connect(&m_clockTimer, &QTimer::timeout, this, &TitleBar::showTime);
    m_clockTimer.start();

    connect(ui->MinimizeButton, &QToolButton::clicked, this, &TitleBar::minimizeClicked);
    connect(ui->CloseButton, &QToolButton::clicked, this, &TitleBar::closeClicked);
    connect(ui->ChangeButton, &QToolButton::clicked, this, &TitleBar::maximizeClicked);
    connect(ui->pushButton_file, &QPushButton::clicked, this, &TitleBar::fileClicked);
    ui->MinimizeButton->setStyleSheet(windowButtonStyleSheet(QStringLiteral("min")));
    ui->CloseButton->setStyleSheet(windowButtonStyleSheet(QStringLiteral("close")));
    changeImage(true);

    buildMenus();
    for (NavButton *button :
         {ui->pushButton_file, ui->pushButton_device, ui->pushButton_settings, ui->pushButton_help})
        styleTitleMenuButton(button);
    // The device entry is offered only through the main window's menus.
    ui->pushButton_device->setEnabled(false);
}

TitleBar::~TitleBar()
{
    delete ui;
}

void TitleBar::changeImage(bool windowIsNormal)
{
    ui->ChangeButton->setStyleSheet(windowButtonStyleSheet(
            windowIsNormal ? QStringLiteral("expand") : QStringLiteral("reduce")));
}

void TitleBar::mouseDoubleClickEvent(QMouseEvent *event)
{
    emit maximizeClicked();
    QWidget::mouseDoubleClickEvent(event);
}

void TitleBar::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        retranslateMenus();
        showApplicationName();
        // The form's text for the clock is a placeholder; keep the time.
        showTime();
    }
    QWidget::changeEvent(event);
}

void TitleBar::buildMenus()
{
    QMenu *fileMenu = addMenu("menu_file");
    m_importAction = addEntry(fileMenu, "actionImportData", &TitleBar::actionImportData);
    m_saveCurveAction = addEntry(fileMenu, "actionExportData", &TitleBar::actionExportData);
    m_exitAction = addEntry(fileMenu, "actionExit", &TitleBar::actionExit);
    ui->pushButton_file->setMenu(fileMenu);

    QMenu *deviceMenu = addMenu("menu_device");
    m_deviceInfoAction = addEntry(deviceMenu, "actionDeviceInfo", &TitleBar::actionDeviceInfo);
    ui->pushButton_device->setMenu(deviceMenu);

    QMenu *settingsMenu = addMenu("menu_settings");
    m_chartSettingsAction
            = addEntry(settingsMenu, "actionChartSettings", &TitleBar::actionChartSettings);
    // A child of the settings menu, so it inherits the dark style sheet.
    m_languageMenu = settingsMenu->addMenu(QString());
    m_languageMenu->setObjectName(QStringLiteral("menu_language"));
    // Each language is named in itself, so these texts are never translated.
    addEntry(m_languageMenu, "actionChinese", &TitleBar::actionChinese)
            ->setText(QStringLiteral("简体中文"));
    addEntry(m_languageMenu, "actionEnglish", &TitleBar::actionEnglish)
            ->setText(QStringLiteral("English"));
    ui->pushButton_settings->setMenu(settingsMenu);

    QMenu *helpMenu = addMenu("menu_help");
    m_aboutAction = addEntry(helpMenu, "actionAbout", &TitleBar::actionAbout);
    ui->pushButton_help->setMenu(helpMenu);

    retranslateMenus();
}

QMenu *TitleBar::addMenu(const char *objectName)
{
    auto *menu = new QMenu(this);
    menu->setObjectName(QLatin1String(objectName));
    menu->setStyleSheet(QLatin1String(DarkMenuStyleSheet));
    return menu;
}

QAction *TitleBar::addEntry(QMenu *menu, const char *objectName, void (TitleBar::*signal)())
{
    QAction *action = menu->addAction(QString());
    action->setObjectName(QLatin1String(objectName));
    connect(action, &QAction::triggered, this, signal);
    return action;
}

// The import entry has no text of its own.
void TitleBar::retranslateMenus()
{
    m_saveCurveAction->setText(tr("保存曲线"));
    m_exitAction->setText(tr("退出"));
    m_deviceInfoAction->setText(tr("仪器信息"));
    m_chartSettingsAction->setText(tr("表格设置"));
    m_aboutAction->setText(tr("关于"));
    m_languageMenu->setTitle(tr("语言"));
}

void TitleBar::showApplicationName()
{
    ui->label_appname->setText(QGuiApplication::applicationDisplayName());
}

void TitleBar::showTime()
{
    ui->label_clock->setText(QDateTime::currentDateTime().toString(QStringLiteral("hh:mm:ss")));
}
