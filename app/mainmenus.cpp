#include "mainmenus.h"

#include "alarmbeeper.h"
#include "chartwidget.h"
#include "language.h"
#include "mainwindow.h"
#include "mainwindow_ui.h"
#include "navbutton.h"
#include "settings.h"

#include <QActionGroup>
#include <QMenu>

namespace {
const char MenuStyle[]
        = "QMenu {background-color:rgba(205,205,205,255);border:3px solid rgba(205,205,205,255);}"
          "                          QMenu::item {min-width:92px;min-height:30;font-size: "
          "12px;color: "
          "rgb(0,0,0);background:rgba(205,205,205,255);border:0px solid "
          "rgba(205,205,205,255);padding:1px "
          "1px;margin:1px 1px;}                          QMenu::item:selected "
          "{background:rgba(120,120,120,"
          "160);border:0px solid rgba(120,120,120,160);}  /*选中或者说鼠标滑过状态*/               "
          "        "
          "   QMenu::item:pressed {background:rgba(205,205,205,255);border:0px solid "
          "rgba(205,205,205,255);}"
          "                           ";
} // namespace

QAction *MainMenus::addAction(QMenu *menu, void (MainWindow::*handler)())
{
    QAction *action = menu->addAction(QString());
    connect(action, &QAction::triggered, m_window, handler);
    return action;
}

MainMenus::MainMenus(const MainWindowUi &ui, MainWindow *window, AlarmBeeper *beeper)
    : QObject(window)
    , m_window(window)
{
    const QString style = QString::fromUtf8(MenuStyle);
    auto *fileMenu = new QMenu(window);
    m_importAction = addAction(fileMenu, &MainWindow::importRecords);
    m_exportAction = fileMenu->addAction(QString());
    connect(m_exportAction,
            &QAction::triggered,
            ui.chartWidget,
            &ChartWidget::on_pushButton_export_clicked);
    m_exportImageAction = fileMenu->addAction(QString());
    connect(m_exportImageAction, &QAction::triggered, ui.chartWidget, &ChartWidget::exportImage);
    m_exportCsvAction = fileMenu->addAction(QString());
    connect(m_exportCsvAction, &QAction::triggered, ui.chartWidget, &ChartWidget::exportCsv);
    m_exitAction = fileMenu->addAction(QString());
    connect(m_exitAction, &QAction::triggered, window, &MainWindow::close);

    auto *deviceMenu = new QMenu(window);
    m_deviceInfoAction = addAction(deviceMenu, &MainWindow::showDeviceInfo);

    auto *settingsMenu = new QMenu(window);
    m_panelMenu = settingsMenu->addMenu(QString());
    m_showPanelAction = addAction(m_panelMenu, &MainWindow::showParameterPanel);
    m_hidePanelAction = addAction(m_panelMenu, &MainWindow::hideParameterPanel);
    m_chartSettingsAction = addAction(settingsMenu, &MainWindow::showChartSettings);
    m_relayAction = addAction(settingsMenu, &MainWindow::showRelaySettings);
    m_mqttAction = addAction(settingsMenu, &MainWindow::showMqttSettings);
    m_alarmSoundAction = settingsMenu->addAction(QString());
    m_alarmSoundAction->setCheckable(true);
    m_alarmSoundAction->setChecked(appSettings().value(QLatin1String(SettingsKeys::AlarmSound))
                                   == QLatin1String("1"));
    beeper->setSoundOn(m_alarmSoundAction->isChecked());
    connect(m_alarmSoundAction, &QAction::toggled, beeper, [beeper](bool on) {
        beeper->setSoundOn(on);
        appSettings().setValue(QLatin1String(SettingsKeys::AlarmSound),
                               on ? QStringLiteral("1") : QStringLiteral("0"));
    });
    m_languageMenu = settingsMenu->addMenu(QString());
    // Each language keeps its own name, whatever language is active. The check mark sits on the
    // catalogue in use, so an unknown stored name marks English.
    auto *languages = new QActionGroup(m_languageMenu);
    const QString current = appSettings().value(QLatin1String(SettingsKeys::Language), QString());
    for (auto [text, name] : {std::pair{"简体中文", LanguageNames::SimplifiedChinese},
                              {"繁體中文", LanguageNames::TrChinese},
                              {"English", LanguageNames::English}}) {
        QAction *action = m_languageMenu->addAction(QString::fromUtf8(text));
        connect(action, &QAction::triggered, this, [name = name] { switchLanguage(name); });
        action->setCheckable(true);
        action->setChecked(catalogueFileName(current) == catalogueFileName(QLatin1String(name)));
        languages->addAction(action);
    }

    auto *helpMenu = new QMenu(window);
    m_aboutAction = addAction(helpMenu, &MainWindow::showAbout);

    const std::pair<NavButton *, QMenu *> menus[] = {{ui.pushButton_file, fileMenu},
                                                     {ui.pushButton_device, deviceMenu},
                                                     {ui.pushButton_settings, settingsMenu},
                                                     {ui.pushButton_help, helpMenu}};
    for (const auto &[button, menu] : menus) {
        menu->setStyleSheet(style);
        button->setMenu(menu);
    }
    retranslate();
}

void MainMenus::retranslate()
{
    m_importAction->setText(tr("打开记录"));
    m_exportAction->setText(tr("保存记录"));
    m_exportImageAction->setText(tr("导出图片…"));
    m_exportCsvAction->setText(tr("导出CSV…"));
    m_exitAction->setText(tr("退出"));
    m_deviceInfoAction->setText(tr("仪器信息"));
    m_chartSettingsAction->setText(tr("表格设置"));
    m_relayAction->setText(tr("继电器设置"));
    m_mqttAction->setText(tr("MQTT 设置"));
    m_alarmSoundAction->setText(tr("报警声音"));
    m_aboutAction->setText(tr("关于"));
    m_showPanelAction->setText(tr("显示"));
    m_hidePanelAction->setText(tr("隐藏"));
    m_languageMenu->setTitle(tr("语言"));
    m_panelMenu->setTitle(tr("参数设置"));
}

void MainMenus::switchLanguage(const char *name)
{
    appSettings().setValue(QLatin1String(SettingsKeys::Language), QLatin1String(name));
    LoadLanguage(QLatin1String(name));
}
