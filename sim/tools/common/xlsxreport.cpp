#include "xlsxreport.h"

#include <sim/paths/wholefile.h>
#include <xlsxwriter.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace sim {

namespace {

constexpr double kColumnWidth = 16;

} // namespace

XlsxReport::XlsxReport(const QString &path)
    : m_path(path)
{
    m_texts.reserve(64);
    // Written aside first: a report that cannot be written whole must not take the place of
    // the last good one.
    if (m_aside.isValid())
        m_workbook = workbook_new(keep(QDir::toNativeSeparators(asidePath())));
    if (m_workbook) {
        m_bold = workbook_add_format(m_workbook);
        format_set_bold(m_bold);
    }
}

XlsxReport::~XlsxReport()
{
    if (m_workbook) {
        QString ignored;
        close(&ignored);
    }
}

const char *XlsxReport::keep(const QString &text)
{
    m_texts.append(text.toUtf8());
    return m_texts.constLast().constData();
}

bool XlsxReport::addTable(const QString &sheet, const QStringList &header,
                          const QVector<QVariantList> &rows)
{
    if (!m_workbook || m_sheets.contains(sheet))
        return false;
    lxw_worksheet *worksheet = workbook_add_worksheet(m_workbook, keep(sheet));
    if (!worksheet)
        return false;
    worksheet_set_column(worksheet, 0, lxw_col_t(qMax(0, int(header.size()) - 1)), kColumnWidth,
                         nullptr);
    for (int c = 0; c < header.size(); ++c)
        worksheet_write_string(worksheet, 0, lxw_col_t(c), header.at(c).toUtf8().constData(),
                               m_bold);
    for (int r = 0; r < rows.size(); ++r) {
        const QVariantList &row = rows.at(r);
        for (int c = 0; c < row.size(); ++c) {
            const QVariant &cell = row.at(c);
            const auto at = lxw_row_t(r + 1);
            const auto column = lxw_col_t(c);
            if (cell.userType() == QMetaType::Double || cell.userType() == QMetaType::Int)
                worksheet_write_number(worksheet, at, column, cell.toDouble(), nullptr);
            else
                worksheet_write_string(worksheet, at, column, cell.toString().toUtf8().constData(),
                                       nullptr);
        }
    }
    m_sheets.insert(sheet, Sheet{worksheet, int(rows.size()), int(header.size()), header});
    return true;
}

bool XlsxReport::addChart(const QString &sheet, const QString &title, ChartKind kind,
                          int categoryColumn, const QVector<int> &valueColumns,
                          const QString &valueAxisTitle)
{
    const auto it = m_sheets.constFind(sheet);
    if (!m_workbook || it == m_sheets.constEnd() || it->rows == 0)
        return false;
    lxw_chart *chart = workbook_add_chart(
        m_workbook, kind == ChartKind::Column ? LXW_CHART_COLUMN : LXW_CHART_LINE);
    if (!chart)
        return false;
    const char *sheetName = keep(sheet);
    const auto last = lxw_row_t(it->rows);
    for (int column : valueColumns) {
        lxw_chart_series *series = chart_add_series(chart, nullptr, nullptr);
        chart_series_set_categories(series, sheetName, 1, lxw_col_t(categoryColumn), last,
                                    lxw_col_t(categoryColumn));
        chart_series_set_values(series, sheetName, 1, lxw_col_t(column), last,
                                lxw_col_t(column));
        chart_series_set_name(series, keep(it->header.value(column)));
    }
    chart_title_set_name(chart, keep(title));
    chart_axis_set_name(chart->x_axis, keep(it->header.value(categoryColumn)));
    chart_axis_set_name(chart->y_axis, keep(valueAxisTitle));
    return worksheet_insert_chart(it->worksheet, 1, lxw_col_t(it->columns + 1), chart)
           == LXW_NO_ERROR;
}

bool XlsxReport::close(QString *error)
{
    if (!m_workbook) {
        *error = QStringLiteral("cannot create %1").arg(m_path);
        return false;
    }
    // Writes and frees the workbook whatever the outcome: never twice.
    const lxw_error result = workbook_close(m_workbook);
    m_workbook = nullptr;
    m_sheets.clear();
    if (result != LXW_NO_ERROR) {
        *error = QStringLiteral("cannot write %1: %2")
                     .arg(m_path, QString::fromUtf8(lxw_strerror(result)));
        return false;
    }
    QFile written(asidePath());
    if (!written.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(written.fileName(), written.errorString());
        return false;
    }
    if (!QDir().mkpath(QFileInfo(m_path).absolutePath())) {
        *error = QStringLiteral("cannot make the folder of %1").arg(m_path);
        return false;
    }
    return WholeFile::replace(m_path, written.readAll(), error);
}

QString XlsxReport::asidePath() const
{
    return m_aside.filePath(QStringLiteral("report.xlsx"));
}

} // namespace sim
