#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantList>
#include <QVector>

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

namespace sim {

// An .xlsx report of a measuring program: sheets of tables (numbers stay numbers, units go in
// the header row) and charts over their columns. Nothing is in place before close(), which
// puts the whole file there or leaves the old one; the destructor closes a report nobody
// closed.
class XlsxReport
{
public:
    enum class ChartKind { Column, Line };

    explicit XlsxReport(const QString &path);
    ~XlsxReport();
    XlsxReport(const XlsxReport &) = delete;
    XlsxReport &operator=(const XlsxReport &) = delete;

    // A sheet with a bold header row and one row per entry: doubles and ints as numbers,
    // anything else as text. False for a name Excel refuses or a closed report.
    bool addTable(const QString &sheet, const QStringList &header,
                  const QVector<QVariantList> &rows);
    // A chart of `valueColumns` against `categoryColumn` of a table's rows, placed right of
    // the table; each series is named after its column's header.
    bool addChart(const QString &sheet, const QString &title, ChartKind kind,
                  int categoryColumn, const QVector<int> &valueColumns,
                  const QString &valueAxisTitle);

    // Writes the file; false, with the reason, when it could not be written.
    bool close(QString *error);

private:
    struct Sheet
    {
        lxw_worksheet *worksheet = nullptr;
        int rows = 0;
        int columns = 0;
        QStringList header;
    };
    // libxlsxwriter keeps some names by pointer until the file is written.
    const char *keep(const QString &text);
    QString asidePath() const;

    QString m_path;
    QTemporaryDir m_aside;
    lxw_workbook *m_workbook = nullptr;
    lxw_format *m_bold = nullptr;
    QHash<QString, Sheet> m_sheets;
    QVector<QByteArray> m_texts;
};

} // namespace sim
