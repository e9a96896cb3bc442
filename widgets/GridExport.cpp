// Export of a whole grid: every row in the grid's order, every group expanded, the visible columns in
// their on-screen order with their captions.

#include "DataGrid.h"
#include "DataSet.h"
#include "GridHeader.h"
#include "GridTexts.h"
#include "GridView.h"
#include "Ui.h"

#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QSaveFile>
#include <QTextStream>
#include <QUuid>
#include <cstdio>
#include <xlsxwriter.h>

namespace lerk {

namespace {

// One exported line: a group row (text and level) or a dataset row.
struct Line
{
    int datasetRow = -1;
    int level = 0;
    QString groupText;
};

template <typename Fn> void forEachLine(DataSetModel &model, DataSet &ds, Fn fn)
{
    const GroupLayout &layout = model.layout();
    if (!layout.isGrouped()) {
        for (int r = 0; r < ds.recordCount(); ++r)
            fn(Line{r, 0, {}});
        return;
    }
    std::function<void(int)> walk = [&](int node) {
        const GroupLayout::Node &n = layout.node(node);
        fn(Line{-1, n.level, model.groupText(node)});
        if (n.children.isEmpty()) {
            for (qint64 r = 0; r < n.rows; ++r)
                fn(Line{int(n.firstRow + r), n.level + 1, {}});
        }
        for (int child : n.children)
            walk(child);
    };
    for (int top : layout.topNodes())
        walk(top);
}

QString csvField(const QString &text)
{
    if (!text.contains(QLatin1Char(';')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')))
        return text;
    QString q = text;
    q.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

} // namespace

bool DataGrid::exportTo(const QString &path, ExportFormat format)
{
    DataSet *ds = m_dataSet;
    if (!ds || !ds->isActive())
        return false;
    if (!postEdits())
        return false;
    QList<int> columns;
    for (int v = 0; v < m_header->count(); ++v) {
        const int c = m_header->logicalIndex(v);
        if (!m_view->isColumnHidden(c) && m_model->fieldOf(c))
            columns << c;
    }
    auto fail = [&] {
        ui().error(GridTexts::CannotCreateExportFile + path);
        return false;
    };
    BusyScope busy(ui());

    if (format == ExportFormat::Xlsx) {
        // libxlsxwriter writes the file as a whole at close; it goes to a temporary name first and is
        // renamed into place only when complete.
        const QFileInfo info(path);
        const QString temp = info.absoluteDir().filePath(
            QStringLiteral(".%1.%2.tmp").arg(info.fileName(), QUuid::createUuid().toString(QUuid::Id128)));
        const QByteArray tempName = QFile::encodeName(temp);
        lxw_workbook *wb = workbook_new(tempName.constData());
        if (!wb)
            return fail();
        const QByteArray sheetName = GridTexts::ExportSheet.toUtf8();
        lxw_worksheet *ws = workbook_add_worksheet(wb, sheetName.constData());
        lxw_format *bold = workbook_add_format(wb);
        format_set_bold(bold);
        lxw_format *dateFormat = workbook_add_format(wb);
        format_set_num_format(dateFormat, "d.m.yyyy");
        for (int i = 0; i < columns.size(); ++i) {
            worksheet_write_string(ws, 0, lxw_col_t(i), captionOf(columns[i]).toUtf8().constData(), bold);
            worksheet_set_column(ws, lxw_col_t(i), lxw_col_t(i),
                                 std::max(6.0, m_view->columnWidth(columns[i]) / 7.0), nullptr);
        }
        lxw_row_t row = 1;
        forEachLine(*m_model, *ds, [&](const Line &line) {
            if (line.datasetRow < 0) {
                const QString text = QString(line.level * 2, QLatin1Char(' ')) + line.groupText;
                worksheet_write_string(ws, row++, 0, text.toUtf8().constData(), bold);
                return;
            }
            for (int i = 0; i < columns.size(); ++i) {
                const QVariant v = m_model->valueAt(line.datasetRow, columns[i]);
                if (v.isNull())
                    continue;
                Field *f = m_model->fieldOf(columns[i]);
                const lxw_col_t col = lxw_col_t(i);
                if (isNumericType(f->type())) {
                    worksheet_write_number(ws, row, col, v.toDouble(), nullptr);
                } else if (f->type() == FieldType::Date) {
                    const QDate d = v.toDate();
                    lxw_datetime dt = {d.year(), d.month(), d.day(), 0, 0, 0};
                    worksheet_write_datetime(ws, row, col, &dt, dateFormat);
                } else if (f->type() == FieldType::Logical) {
                    worksheet_write_string(ws, row, col,
                                           (v.toBool() ? GridTexts::Yes : GridTexts::No).toUtf8().constData(),
                                           nullptr);
                } else {
                    worksheet_write_string(ws, row, col, m_model->textOf(v, columns[i]).toUtf8().constData(),
                                           nullptr);
                }
            }
            ++row;
        });
        if (workbook_close(wb) != LXW_NO_ERROR) {
            QFile::remove(temp);
            return fail();
        }
        if (std::rename(tempName.constData(), QFile::encodeName(path).constData()) != 0) {
            QFile::remove(temp);
            return fail();
        }
        return true;
    }

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail();
    QTextStream out(&file);
    out.setEncoding(QStringConverter::Utf8);
    auto cell = [&](int row, int c) { return m_model->textOf(m_model->valueAt(row, c), c); };
    auto escapeXml = [](const QString &s) { return s.toHtmlEscaped(); };
    switch (format) {
    case ExportFormat::Csv: {
        out << QChar(0xFEFF); // lets spreadsheet programs see UTF-8
        QStringList header;
        for (int c : std::as_const(columns))
            header << csvField(captionOf(c));
        out << header.join(QLatin1Char(';')) << "\r\n";
        forEachLine(*m_model, *ds, [&](const Line &line) {
            if (line.datasetRow < 0)
                return;
            QStringList fields;
            for (int c : std::as_const(columns))
                fields << csvField(cell(line.datasetRow, c));
            out << fields.join(QLatin1Char(';')) << "\r\n";
        });
        break;
    }
    case ExportFormat::Html: {
        out << "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" << escapeXml(windowTitle())
            << "</title></head><body>\n<table border=\"1\" cellspacing=\"0\" cellpadding=\"2\">\n<tr>";
        for (int c : std::as_const(columns))
            out << "<th>" << escapeXml(captionOf(c)) << "</th>";
        out << "</tr>\n";
        forEachLine(*m_model, *ds, [&](const Line &line) {
            if (line.datasetRow < 0) {
                out << "<tr><td colspan=\"" << columns.size() << "\" style=\"padding-left:" << line.level * 16
                    << "px\"><b>" << escapeXml(line.groupText) << "</b></td></tr>\n";
                return;
            }
            out << "<tr>";
            for (int c : std::as_const(columns))
                out << "<td>" << escapeXml(cell(line.datasetRow, c)) << "</td>";
            out << "</tr>\n";
        });
        out << "</table>\n</body></html>\n";
        break;
    }
    case ExportFormat::Xml: {
        out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<grid>\n";
        forEachLine(*m_model, *ds, [&](const Line &line) {
            if (line.datasetRow < 0)
                return;
            out << "  <row>";
            for (int c : std::as_const(columns)) {
                const QString name = column(c).field;
                out << '<' << name << '>' << escapeXml(cell(line.datasetRow, c)) << "</" << name << '>';
            }
            out << "</row>\n";
        });
        out << "</grid>\n";
        break;
    }
    default: {
        QStringList header;
        for (int c : std::as_const(columns))
            header << captionOf(c);
        out << header.join(QLatin1Char('\t')) << '\n';
        forEachLine(*m_model, *ds, [&](const Line &line) {
            if (line.datasetRow < 0) {
                out << QString(line.level * 2, QLatin1Char(' ')) << line.groupText << '\n';
                return;
            }
            QStringList fields;
            for (int c : std::as_const(columns))
                fields << cell(line.datasetRow, c);
            out << fields.join(QLatin1Char('\t')) << '\n';
        });
        break;
    }
    }
    out.flush();
    if (out.status() != QTextStream::Ok || !file.commit())
        return fail();
    return true;
}

} // namespace lerk
