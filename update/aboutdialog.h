#ifndef TEVRANO_ABOUTDIALOG_H
#define TEVRANO_ABOUTDIALOG_H

#include <QDialog>
#include <QString>

#include <cstdint>
#include <functional>

namespace Ui {
class AboutDialog;
}

// -1 when the published version is older (or has fewer parts), 0 when equal, 1 when
// an update is due. The part count decides before any number is looked at.
int compareVersions(const QString &running, const QString &published);

// Whether the version object's content can be trusted at all: digits and dots only,
// and short enough that the library's buffer cannot have cut it off.
bool isVersionText(const QByteArray &content);

// Shows the program's name and version and updates it in place from the cloud bucket.
// The installer is saved in the settings directory given at construction.
class AboutDialog : public QDialog
{
    Q_OBJECT

public:
    // The effects that end the flow; replaceable so the flow can run without modal
    // boxes and without the process ending.
    struct Hooks {
        std::function<void(QWidget *parent, const QString &title, const QString &text)> inform;
        std::function<bool(const QString &program)> startDetached;
        std::function<void(int status)> exitApplication;
    };

    explicit AboutDialog(const QString &settingsDir, QWidget *parent = nullptr);
    ~AboutDialog() override;

    // Members left empty keep their current behaviour.
    void setHooks(Hooks hooks);

    // Progress callback handed to the library; userData is the dialog.
    static void updateProgress(std::uint32_t blockBytes, std::int64_t bytesSoFar, std::int64_t bytesTotal,
                               void *userData);

private slots:
    void on_pushButton_clicked();

private:
    void informFailure();

    Ui::AboutDialog *ui;
    QString m_settingsDir;
    Hooks m_hooks;
};

#endif // TEVRANO_ABOUTDIALOG_H
