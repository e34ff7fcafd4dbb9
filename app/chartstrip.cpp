#include "chartstrip.h"

#include "buttonlooks.h"
#include "chartwidget.h"
#include "instrument.h"
#include "mainwindow_ui.h"
#include "messages.h"
#include "navbutton.h"
#include "triggerdialog.h"

#include <QEvent>
#include <QPointer>
#include <QStatusBar>

namespace {

const char CheckboxOff[] = ":/imager/ic_checkbox_unsel.png";

const char CheckboxOn[] = ":/imager/ic_checkbox_sel.png";

void styleCheckButton(NavButton *button, bool on)
{
    styleIconButton(button, QLatin1String(on ? CheckboxOn : CheckboxOff));
}

} // namespace

ChartStrip::ChartStrip(const MainWindowUi &form, StartGate mayStart, QWidget *window)
    : QObject(window)
    , ui(form)
    , m_mayStart(std::move(mayStart))
    , m_window(window)
{
    ChartWidget *chart = ui.chartWidget;
    // The form wires no slot by name to these buttons: a second connection would act twice.
    const std::pair<NavButton *, void (ChartStrip::*)()> actions[] = {
            {ui.navButton_startstop, &ChartStrip::startStop},
            {ui.navButton_hc, &ChartStrip::togglePause},
            {ui.navButton_amb, &ChartStrip::toggleAmbient},
            {ui.navButton_mode, &ChartStrip::toggleViewMode},
            {ui.navButton_autofit, &ChartStrip::toggleAutoFit},
            {ui.navButton_horizontal, &ChartStrip::zoomHorizontally},
            {ui.navButton_vertical, &ChartStrip::zoomVertically},
            {ui.navButton_export, &ChartStrip::saveRecord},
            {ui.navButton_trigger, &ChartStrip::askForTrigger},
    };
    for (const auto &[button, action] : actions)
        connect(button, &NavButton::clicked, this, action);
    connect(ui.navButton_live, &NavButton::clicked, chart, &ChartWidget::showLiveTrend);
    connect(ui.navButton_marker, &NavButton::clicked, chart, [chart] { chart->addMarker(); });
    // The recording may also start or end by itself: at a trigger, at its sample limit.
    connect(chart, &ChartWidget::recordingChanged, this, &ChartStrip::showRecordingState);

    retranslate();
    for (NavButton *button : {ui.navButton_mode, ui.navButton_amb, ui.navButton_autofit}) {
        styleIconButton(button, QLatin1String(CheckboxOff));
        button->installEventFilter(this);
    }
    for (NavButton *button : {ui.navButton_startstop,
                              ui.navButton_hc,
                              ui.navButton_horizontal,
                              ui.navButton_vertical,
                              ui.navButton_export,
                              ui.navButton_live,
                              ui.navButton_marker,
                              ui.navButton_trigger})
        styleToolButton(button);
}

void ChartStrip::retranslate()
{
    showRecordingState(ui.chartWidget->isRecording());
}

void ChartStrip::showRecordingState(bool recording)
{
    ui.navButton_startstop->setText(recording ? tr("停止") : tr("开始"));
    // A recording starts with the view going on.
    showPause();
    ui.navButton_trigger->setEnabled(!recording);
}

void ChartStrip::showPause()
{
    ui.navButton_hc->setText(ui.chartWidget->isPaused() ? tr("继续") : tr("暂停"));
}

bool ChartStrip::refuseWhileRecording()
{
    if (!ui.chartWidget->isRecording())
        return false;
    Messages::show(nullptr, QMessageBox::Warning, tr("提示"), tr("正在记录数据，请先停止！"));
    return true;
}

void ChartStrip::restyleCheckButtons()
{
    styleCheckButton(ui.navButton_amb, ui.chartWidget->ambientVisible());
    styleCheckButton(ui.navButton_mode, ui.chartWidget->viewMode() == 1);
    styleCheckButton(ui.navButton_autofit, ui.chartWidget->autoFit());
}

bool ChartStrip::eventFilter(QObject *watched, QEvent *event)
{
    // The check-box icon sits at the button's right end, so it follows the button's width, which
    // the layout settles only after the window's own resize.
    if (event->type() == QEvent::Resize
        && (watched == ui.navButton_amb || watched == ui.navButton_mode
            || watched == ui.navButton_autofit))
        restyleCheckButtons();
    return QObject::eventFilter(watched, event);
}

void ChartStrip::askForTrigger()
{
    if (ui.chartWidget->isRecording())
        return;
    const QPointer<Instrument> instrument = m_mayStart();
    if (!instrument)
        return;
    auto *dialog = new TriggerDialog(instrument->unit(), m_window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    if (m_trigger)
        dialog->setTrigger(*m_trigger);
    connect(dialog, &QDialog::accepted, this, [this, dialog, instrument] {
        // The instrument may have gone while the dialog was open.
        if (ui.chartWidget->isRecording() || !instrument || !instrument->isOpen())
            return;
        m_trigger = dialog->trigger();
        ui.chartWidget->startTriggeredRecording(*m_trigger);
        ui.statusBar->showMessage(tr("触发记录：等待 %1").arg(m_trigger->name()));
    });
    dialog->open();
}

void ChartStrip::startStop()
{
    ChartWidget *chart = ui.chartWidget;
    // Only starting needs the instrument: a recording can always be stopped.
    if (!chart->isRecording() && !m_mayStart())
        return;
    chart->on_pushButton_startstop_clicked();
    // A recording of the first session alone ends without the chart telling.
    showRecordingState(chart->isRecording());
}

void ChartStrip::togglePause()
{
    ui.chartWidget->on_pushButton_hc_clicked();
    showPause();
}

void ChartStrip::toggleAmbient()
{
    ChartWidget *chart = ui.chartWidget;
    const bool visible = !chart->ambientVisible();
    styleCheckButton(ui.navButton_amb, visible);
    chart->setAmbientVisible(visible);
}

void ChartStrip::toggleViewMode()
{
    ui.chartWidget->on_pushButton_mode_clicked();
    styleCheckButton(ui.navButton_mode, ui.chartWidget->viewMode() == 1);
}

void ChartStrip::toggleAutoFit()
{
    ui.chartWidget->setAutoFit(!ui.chartWidget->autoFit());
    styleCheckButton(ui.navButton_autofit, ui.chartWidget->autoFit());
    // Ticking it again is the way back to following after a zoom or pan.
    if (ui.chartWidget->autoFit())
        ui.chartWidget->followReadings();
}

void ChartStrip::pauseForZoom()
{
    ui.chartWidget->setPaused(true);
    showPause();
}

void ChartStrip::zoomHorizontally()
{
    pauseForZoom();
    ui.chartWidget->on_pushButton_horizontal_clicked();
}

void ChartStrip::zoomVertically()
{
    pauseForZoom();
    ui.chartWidget->on_pushButton_vertical_clicked();
}

void ChartStrip::saveRecord()
{
    ui.chartWidget->on_pushButton_export_clicked();
}
