#include "waitdialog.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

WaitDialog::WaitDialog(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint)
    , m_label(new QLabel(this))
    , m_progressBar(new QProgressBar(this))
    , m_cancel(new QPushButton(this))
{
    setObjectName(QStringLiteral("WaitDialog"));
    resize(439, 86);
    setWindowTitle(QString());
    setAutoFillBackground(true);
    auto *layout = new QVBoxLayout(this);
    m_label->setObjectName(QStringLiteral("label"));
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(26);
    m_label->setFont(font);
    m_label->setAlignment(Qt::AlignCenter);
    m_label->setText(tr("请稍候..."));
    layout->addWidget(m_label);
    m_progressBar->setObjectName(QStringLiteral("progressBar"));
    m_progressBar->setValue(0);
    layout->addWidget(m_progressBar);
    m_cancel->setObjectName(QStringLiteral("pushButton_cancel"));
    m_cancel->setText(tr("取消"));
    m_cancel->hide();
    layout->addWidget(m_cancel, 0, Qt::AlignRight);
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        m_cancel->setEnabled(false);
        emit cancelRequested();
    });
}

void WaitDialog::setCancellable(bool cancellable)
{
    m_cancel->setVisible(cancellable);
}

void WaitDialog::Progress(int p)
{
    m_progressBar->setValue(p);
}

void WaitDialog::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void WaitDialog::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::LanguageChange) {
        m_label->setText(tr("请稍候..."));
        m_cancel->setText(tr("取消"));
    }
}
