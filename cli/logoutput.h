#pragma once

#include "logoptions.h"
#include "logrows.h"
#include "recordfile.h"

#include <QFile>

#include <optional>

// Where the rows go, in the chosen format. Every row is handed to the operating system as it is
// written, so a reader of the file (or pipe) sees it at once.
class LogOutput
{
public:
    LogOutput(LogFormat format, int intervalMs);

    // Creates or truncates the file; "-" is standard output, an empty path none (rows are then
    // taken and dropped). Nothing is written yet.
    bool open(const QString &path, QString *error);

    // Goes into the record header, which is written with the first row.
    void setEmissivity(float emissivity) { m_emissivity = emissivity; }

    bool write(const LogRow &row);
    // Completes the file (a record file gets its sample count) and closes it.
    bool finish();

    int rows() const { return m_rows; }
    QString errorString() const { return m_file.errorString(); }

private:
    bool writeBytes(const QByteArray &bytes);
    bool startRecord(qint64 startMsecs, bool fahrenheit);

    const LogFormat m_format;
    const int m_intervalMs;
    QFile m_file;
    float m_emissivity = 0.0f;
    std::optional<RecordAppender> m_record;
    int m_rows = 0;
};
