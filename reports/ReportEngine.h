#pragma once

#include "ReportExpression.h"
#include "ReportPages.h"
#include "ReportSources.h"
#include "ReportTemplate.h"

#include <QFontMetricsF>
#include <QHash>
#include <QPointer>
#include <QSet>
#include <memory>
#include <optional>
#include <vector>

namespace lerk {

// Lays a template out over its datasets into display lists. Binding (in the constructor) resolves every
// dataset, field and function the template names, so that a mistake is reported with its line before
// anything is printed. The layout then runs in steps, a data row at a time, so that the first page can be
// shown while the rest is still being laid out.
class ReportEngine : private ExprEnvironment
{
public:
    // Throws TemplateError; opens the datasets the template reads that are closed.
    ReportEngine(const ReportTemplate &tmpl, const ReportSources &sources, ReportPages &pages);
    ~ReportEngine() override;

    const PageSetup &pageSetup() const { return m_setup; }
    void setPageSetup(const PageSetup &setup); // starts the layout again

    void restart();
    // Lays out until at least this many pages are complete, or to the end when negative.
    void run(int completePages = -1);
    bool isDone() const { return m_phase == Phase::Done; }
    int completePages() const { return m_complete; }

private:
    enum class Phase { NotStarted, Sections, Summary, Done };

    struct Slot
    {
        QString name;
        QPointer<DataSet> dataSet;
        bool currentOnly = false;
        int row = -1; // the row expressions read; -1: the cursor's record
        int iteratedBy = -1;
    };
    struct Accumulator
    {
        QString function;
        ExprPtr arg;
        int band = -1; // -1: over all rows of directSlot, computed once
        int directSlot = -1;
        bool pageScope = false;
        double sum = 0;
        qint64 count = 0;
        QVariant min, max;
        bool directDone = false;
        QVariant directValue;

        void add(const QVariant &value); // empty values take no part
    };
    struct BoundPart
    {
        QString literal;
        ExprPtr expr;
        QString format;
        bool pageCount = false;
    };
    struct BoundObject
    {
        const ReportObject *def = nullptr;
        int style = -1;
        std::vector<BoundPart> parts;
        ExprPtr check;
        ExprPtr visible;
        bool pageDependent = false;
    };
    struct BoundBand
    {
        const Band *def = nullptr;
        std::vector<BoundObject> objects;
        ExprPtr visible;
        bool pageDependent = false;
    };
    // A band that runs over the rows of a dataset: the master of a data list, or a detail.
    struct Iteration
    {
        int slot = -1;
        std::vector<int> accumulators;
        int line = 0;
    };
    struct GroupState
    {
        const GroupDef *def = nullptr;
        ExprPtr condition;
        std::optional<BoundBand> header, footer;
        int scope = -1;
        bool open = false;
        QString key;
    };
    struct DetailState
    {
        const DetailDef *def = nullptr;
        int iteration = -1;
        int scope = -1;
        ExprPtr key, masterKey, filter;
        std::optional<BoundBand> header, footer, empty;
        BoundBand data;
        bool indexed = false;
        QHash<QString, std::vector<int>> byKey;
        std::vector<int> all;
    };
    struct Section
    {
        const DataDef *def = nullptr;
        int iteration = -1;
        int scope = -1;
        ExprPtr filter;
        std::optional<BoundBand> header, footer, empty;
        BoundBand data;
        std::vector<GroupState> groups;
        std::vector<DetailState> details;
    };
    // Where an expression stands: which accumulators reset with it and which rows COUNT() and LINE mean.
    struct Scope
    {
        int id = -1;
        int iteration = -1;
    };
    struct Evaluated
    {
        bool shown = false;
        QString text;
        bool checked = false;
        double height = 0;
    };
    struct PrintOptions
    {
        int iteration = -1; // a data row of this iteration
        bool fixed = false; // page header and footer: no page break
        bool repeated = false;
    };

    // binding
    [[noreturn]] void fail(int line, const QString &message) const;
    int slotFor(const QString &name, int line);
    ExprPtr bindExpression(const QString &text, int line, const Scope &scope);
    void bindNode(const ExprPtr &root, int line, const Scope &scope);
    BoundBand bindBand(const Band &band, const Scope &scope);
    std::optional<BoundBand> bindBand(const std::optional<Band> &band, const Scope &scope);
    int newScope();
    int iterationFor(int slot) const;
    QSet<int> slotsOf(const ExprPtr &e) const;
    ItemStyle::Origin originOf(Band::Type type) const;

    // ExprEnvironment
    QVariant nameValue(const ExprNode &node) override;
    QVariant aggregateValue(const ExprNode &node) override;
    QVariant eval(const ExprPtr &e) { return e ? evaluate(*e, *this) : QVariant(); }
    QVariant slotValue(int slot, int field);

    // layout
    void beginPage();
    void finishPage();
    void newPage();
    double bodyBottom() const;
    void printBand(const BoundBand &band, const PrintOptions &options);
    void printBand(const std::optional<BoundBand> &band);
    Evaluated evaluateObject(const BoundObject &object);
    double nominalHeight(const std::optional<BoundBand> &band) const { return band ? band->def->height : 0; }
    void startSection();
    void processRow(int row);
    void endSection();
    void closeGroups(int from);
    void openGroups(int from);
    void runDetails();
    const std::vector<int> &detailRows(DetailState &detail);
    void resetScope(int scope);
    void accumulate(int iteration, bool pagePhase);

    const ReportTemplate &m_tmpl;
    const ReportSources &m_sources;
    ReportPages &m_pages;
    PageSetup m_setup;
    QString m_pageCountText;

    std::vector<Slot> m_slots;
    std::vector<Iteration> m_iterations;
    std::vector<Accumulator> m_accumulators;
    std::vector<std::vector<int>> m_scopeAccumulators; // by scope
    std::vector<QFontMetricsF> m_metrics;              // by style
    int m_pageScope = -1;
    int m_reportScope = -1;

    std::optional<BoundBand> m_reportTitle, m_pageHeader, m_pageFooter, m_summary;
    std::vector<Section> m_sections;

    // layout state
    Phase m_phase = Phase::NotStarted;
    int m_page = 0;
    int m_complete = 0;
    double m_y = 0;
    bool m_contentOnPage = false;
    int m_section = -1;
    int m_row = 0;
    int m_rowCount = 0;
    int m_lastRow = -1;
    int m_rowsPrinted = 0;
    bool m_headerActive = false;
};

} // namespace lerk
