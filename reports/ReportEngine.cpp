#include "ReportEngine.h"

#include "ValueFormat.h"

#include <QSet>
#include <QStringList>
#include <algorithm>
#include <cmath>

namespace lerk {

namespace {

constexpr double Epsilon = 0.01; // mm

bool lessThan(const QVariant &a, const QVariant &b)
{
    if (a.typeId() == QMetaType::QDate && b.typeId() == QMetaType::QDate)
        return a.toDate() < b.toDate();
    if (a.typeId() == QMetaType::QString || b.typeId() == QMetaType::QString)
        return a.toString() < b.toString();
    return a.toDouble() < b.toDouble();
}

QString stripBrackets(QString text)
{
    text = text.trimmed();
    if (text.startsWith(QLatin1Char('[')) && text.endsWith(QLatin1Char(']')) &&
        text.count(QLatin1Char('[')) == 1)
        text = text.mid(1, text.size() - 2);
    return text;
}

const QStringList KnownFunctions = {QStringLiteral("COUNT"), QStringLiteral("SUM"),   QStringLiteral("AVG"),
                                    QStringLiteral("MIN"),   QStringLiteral("MAX"),   QStringLiteral("IF"),
                                    QStringLiteral("YEAR"),  QStringLiteral("MONTH"), QStringLiteral("DAY"),
                                    QStringLiteral("DATE"),  QStringLiteral("TRIM")};
const QStringList Builtins = {QStringLiteral("PAGE"), QStringLiteral("PAGES"), QStringLiteral("DATE"),
                              QStringLiteral("TIME"), QStringLiteral("LINE")};

QFont fontFor(const ObjectLook &look)
{
    QFont f(look.fontFamily);
    // Hundredths of a millimetre per pixel: the same font measures and paints alike at every scale.
    f.setPixelSize(std::max(1, int(std::lround(look.fontSize * 25.4 / 72.0 * 100.0))));
    f.setBold(look.bold);
    f.setItalic(look.italic);
    f.setUnderline(look.underline);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

} // namespace

ReportEngine::ReportEngine(const ReportTemplate &tmpl, const ReportSources &sources, ReportPages &pages)
    : m_tmpl(tmpl), m_sources(sources), m_pages(pages), m_setup(tmpl.page),
      m_pageCountText(QString(ReportPages::PageCountMark))
{
    m_pageScope = newScope();
    m_reportScope = newScope();

    // Iterations first, so that aggregates anywhere can find the band that runs over their rows.
    for (const DataDef &d : m_tmpl.data) {
        Section s;
        s.def = &d;
        const int slot = slotFor(d.dataset, d.line);
        s.iteration = int(m_iterations.size());
        m_iterations.push_back(Iteration{slot, {}, 0});
        if (m_slots[size_t(slot)].iteratedBy < 0)
            m_slots[size_t(slot)].iteratedBy = s.iteration;
        s.scope = newScope();
        for (const DetailDef &dd : d.details) {
            DetailState ds;
            ds.def = &dd;
            const int dslot = slotFor(dd.dataset, dd.line);
            ds.iteration = int(m_iterations.size());
            m_iterations.push_back(Iteration{dslot, {}, 0});
            if (m_slots[size_t(dslot)].iteratedBy < 0)
                m_slots[size_t(dslot)].iteratedBy = ds.iteration;
            ds.scope = newScope();
            s.details.push_back(std::move(ds));
        }
        for (const GroupDef &g : d.groups) {
            GroupState gs;
            gs.def = &g;
            gs.scope = newScope();
            s.groups.push_back(std::move(gs));
        }
        m_sections.push_back(std::move(s));
    }

    const int firstIteration = m_sections.empty() ? -1 : m_sections.front().iteration;
    m_reportTitle = bindBand(m_tmpl.reportTitle, Scope{m_reportScope, firstIteration});
    m_summary = bindBand(m_tmpl.summary, Scope{m_reportScope, firstIteration});
    m_pageHeader = bindBand(m_tmpl.pageHeader, Scope{m_pageScope, firstIteration});
    m_pageFooter = bindBand(m_tmpl.pageFooter, Scope{m_pageScope, firstIteration});

    for (Section &s : m_sections) {
        const DataDef &d = *s.def;
        const Scope own{s.scope, s.iteration};
        if (!d.filter.trimmed().isEmpty())
            s.filter = bindExpression(d.filter, d.line, own);
        s.header = bindBand(d.header, own);
        s.footer = bindBand(d.footer, own);
        s.empty = bindBand(d.empty, own);
        s.data = bindBand(d.data, own);
        for (GroupState &g : s.groups) {
            const Scope gs{g.scope, s.iteration};
            g.condition = bindExpression(g.def->condition, g.def->line, gs);
            g.header = bindBand(g.def->header, gs);
            g.footer = bindBand(g.def->footer, gs);
        }
        for (DetailState &ds : s.details) {
            const DetailDef &dd = *ds.def;
            const Scope dscope{ds.scope, ds.iteration};
            const int dslot = m_iterations[size_t(ds.iteration)].slot;
            // The index of a detail is built once, so its key and filter may read only the detail's rows.
            auto onlyDetail = [&](const ExprPtr &e, const char *what) {
                for (int slot : slotsOf(e))
                    if (slot != dslot && !m_slots[size_t(slot)].currentOnly)
                        fail(dd.line, QStringLiteral("%1 podrobností smí číst jen datovou sadu %2; vazbu na "
                                                     "hlavní řádek zapište atributy key a masterKey")
                                          .arg(QString::fromUtf8(what), dd.dataset));
            };
            if (!dd.filter.trimmed().isEmpty()) {
                ds.filter = bindExpression(dd.filter, dd.line, dscope);
                onlyDetail(ds.filter, "filtr");
            }
            if (!dd.key.trimmed().isEmpty()) {
                ds.key = bindExpression(dd.key, dd.line, dscope);
                onlyDetail(ds.key, "klíč");
                ds.masterKey = bindExpression(dd.masterKey, dd.line, own);
            }
            ds.header = bindBand(dd.header, dscope);
            ds.footer = bindBand(dd.footer, dscope);
            ds.empty = bindBand(dd.empty, dscope);
            ds.data = bindBand(dd.data, dscope);
        }
    }
    restart();
}

ReportEngine::~ReportEngine() = default;

// ---------------------------------------------------------------------------------------------------
// binding

void ReportEngine::fail(int line, const QString &message) const
{
    throw TemplateError(m_tmpl.file, line, message);
}

int ReportEngine::newScope()
{
    m_scopeAccumulators.emplace_back();
    return int(m_scopeAccumulators.size()) - 1;
}

int ReportEngine::slotFor(const QString &name, int line)
{
    for (size_t i = 0; i < m_slots.size(); ++i)
        if (m_slots[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    const ReportSources::Source *src = m_sources.find(name);
    if (!src || !src->dataSet) {
        QStringList known;
        for (const ReportSources::Source &s : m_sources.sources())
            known << s.name;
        fail(line, QStringLiteral("neznámá datová sada \"%1\" (sestava zná: %2)")
                       .arg(name, known.join(QStringLiteral(", "))));
    }
    if (!src->dataSet->isActive())
        src->dataSet->open();
    m_slots.push_back(Slot{src->name, src->dataSet, src->currentRecordOnly, -1, -1});
    return int(m_slots.size()) - 1;
}

int ReportEngine::iterationFor(int slot) const
{
    return m_slots[size_t(slot)].iteratedBy;
}

QSet<int> ReportEngine::slotsOf(const ExprPtr &e) const
{
    QSet<int> out;
    if (e)
        e->walk([&](ExprNode &n) {
            if (n.kind == ExprNode::Kind::Name && !n.field.isEmpty() && n.slot >= 0)
                out.insert(n.slot);
        });
    return out;
}

ExprPtr ReportEngine::bindExpression(const QString &text, int line, const Scope &scope)
{
    ExprPtr e;
    const QString source = stripBrackets(text);
    try {
        e = parseExpression(source);
    } catch (const ExprError &err) {
        fail(line, QStringLiteral("výraz \"%1\": %2").arg(source, err.message()));
    }
    bindNode(e, line, scope);
    return e;
}

void ReportEngine::bindNode(const ExprPtr &n, int line, const Scope &scope)
{
    switch (n->kind) {
    case ExprNode::Kind::Name: {
        if (!n->field.isEmpty()) {
            n->slot = slotFor(n->name, line);
            const Slot &s = m_slots[size_t(n->slot)];
            Field *f = s.dataSet->findField(n->field);
            if (!f)
                fail(line, QStringLiteral("datová sada %1 nemá pole \"%2\"").arg(s.name, n->field));
            n->index = f->index();
            return;
        }
        const QString upper = n->name.toUpper();
        if (!Builtins.contains(upper))
            fail(line, QStringLiteral("neznámé jméno \"%1\" (pole se píše jako Sada.POLE)").arg(n->name));
        if (upper == QLatin1String("PAGES"))
            fail(line, QStringLiteral(
                           "[PAGES] smí stát jen samostatně v textu, například Strana [PAGE] / [PAGES]"));
        n->name = upper;
        if (upper == QLatin1String("LINE"))
            n->slot = scope.iteration;
        return;
    }
    case ExprNode::Kind::Call: {
        if (!KnownFunctions.contains(n->name))
            fail(line, QStringLiteral("neznámá funkce %1").arg(n->name));
        if (!isAggregate(n->name)) {
            for (const ExprPtr &a : n->args)
                bindNode(a, line, scope);
            return;
        }
        Accumulator acc;
        acc.function = n->name;
        acc.pageScope = scope.id == m_pageScope;
        if (n->name == QLatin1String("COUNT")) {
            if (n->args.empty()) {
                acc.band = scope.iteration;
            } else if (n->args.size() == 1 && n->args[0]->kind == ExprNode::Kind::Name &&
                       n->args[0]->field.isEmpty()) {
                const int slot = slotFor(n->args[0]->name, line);
                acc.band = iterationFor(slot);
                if (acc.band < 0)
                    acc.directSlot = slot;
            } else {
                fail(line,
                     QStringLiteral("COUNT má být bez argumentu, nebo s názvem datové sady: COUNT(ZavadyQ)"));
            }
        } else {
            if (n->args.size() != 1)
                fail(line, QStringLiteral("funkce %1 má jeden argument").arg(n->name));
            acc.arg = n->args[0];
            bindNode(acc.arg, line, scope);
            const QSet<int> used = slotsOf(acc.arg);
            if (scope.iteration >= 0 && used.contains(m_iterations[size_t(scope.iteration)].slot)) {
                acc.band = scope.iteration;
            } else {
                for (int slot : used)
                    if (iterationFor(slot) >= 0)
                        acc.band = iterationFor(slot);
                if (acc.band < 0 && used.size() == 1)
                    acc.directSlot = *used.begin();
                else if (acc.band < 0 && used.isEmpty())
                    acc.band = scope.iteration;
                else if (acc.band < 0)
                    fail(line,
                         QStringLiteral("u funkce %1 nelze určit, přes které řádky počítat").arg(n->name));
            }
        }
        const int index = int(m_accumulators.size());
        m_accumulators.push_back(acc);
        if (acc.band >= 0)
            m_iterations[size_t(acc.band)].accumulators.push_back(index);
        m_scopeAccumulators[size_t(scope.id)].push_back(index);
        n->slot = index;
        return;
    }
    default:
        for (const ExprPtr &a : n->args)
            bindNode(a, line, scope);
    }
}

ItemStyle::Origin ReportEngine::originOf(Band::Type type) const
{
    switch (type) {
    case Band::Type::PageHeader:
    case Band::Type::PageFooter:
        return ItemStyle::Origin::Page;
    case Band::Type::ReportTitle:
        return ItemStyle::Origin::Title;
    case Band::Type::Header:
    case Band::Type::GroupHeader:
        return ItemStyle::Origin::Header;
    case Band::Type::MasterData:
    case Band::Type::DetailData:
        return ItemStyle::Origin::Data;
    default:
        return ItemStyle::Origin::Other;
    }
}

std::optional<ReportEngine::BoundBand> ReportEngine::bindBand(const std::optional<Band> &band,
                                                              const Scope &scope)
{
    if (!band)
        return std::nullopt;
    return bindBand(*band, scope);
}

ReportEngine::BoundBand ReportEngine::bindBand(const Band &band, const Scope &scope)
{
    BoundBand b;
    b.def = &band;
    if (!band.visible.trimmed().isEmpty())
        b.visible = bindExpression(band.visible, band.line, scope);
    for (const ReportObject &o : band.objects) {
        BoundObject bo;
        bo.def = &o;
        if (!o.visible.trimmed().isEmpty())
            bo.visible = bindExpression(o.visible, o.line, scope);
        ItemStyle style;
        style.look = o.look;
        style.origin = originOf(band.type);
        style.font = fontFor(o.look);
        switch (o.type) {
        case ReportObject::Type::Text: {
            style.kind = ItemStyle::Kind::Text;
            QList<TextPart> parts;
            try {
                parts = parseText(o.text);
            } catch (const ExprError &err) {
                fail(o.line, err.message());
            }
            for (const TextPart &p : parts) {
                BoundPart bp;
                bp.literal = p.literal;
                bp.format = p.format.isEmpty() ? o.format : p.format;
                if (p.expr && p.expr->isName("PAGES")) {
                    bp.pageCount = true;
                    style.hasPageCount = true;
                } else if (p.expr) {
                    bp.expr = p.expr;
                    bindNode(bp.expr, o.line, scope);
                    if (bp.format.isEmpty() && bp.expr->kind == ExprNode::Kind::Name &&
                        !bp.expr->field.isEmpty())
                        bp.format =
                            m_slots[size_t(bp.expr->slot)].dataSet->field(bp.expr->index).displayFormat();
                }
                bo.parts.push_back(bp);
            }
            break;
        }
        case ReportObject::Type::CheckBox:
            style.kind = ItemStyle::Kind::CheckBox;
            bo.check = bindExpression(o.text, o.line, scope);
            break;
        case ReportObject::Type::Line:
            style.kind = ItemStyle::Kind::Line;
            break;
        case ReportObject::Type::Rect:
            style.kind = ItemStyle::Kind::Rect;
            break;
        }
        auto pageDependent = [&](const ExprPtr &e) {
            bool dep = false;
            if (e)
                e->walk([&](ExprNode &n) {
                    if (n.isName("PAGE") || (n.kind == ExprNode::Kind::Call && isAggregate(n.name) &&
                                             n.slot >= 0 && m_accumulators[size_t(n.slot)].pageScope))
                        dep = true;
                });
            return dep;
        };
        for (const BoundPart &p : bo.parts)
            bo.pageDependent = bo.pageDependent || pageDependent(p.expr);
        bo.pageDependent = bo.pageDependent || pageDependent(bo.check) || pageDependent(bo.visible);
        b.pageDependent = b.pageDependent || bo.pageDependent;
        bo.style = m_pages.addStyle(style);
        m_metrics.resize(size_t(bo.style) + 1, QFontMetricsF(style.font));
        m_metrics[size_t(bo.style)] = QFontMetricsF(style.font);
        b.objects.push_back(std::move(bo));
    }
    return b;
}

// ---------------------------------------------------------------------------------------------------
// values

QVariant ReportEngine::slotValue(int slot, int field)
{
    Slot &s = m_slots[size_t(slot)];
    DataSet *ds = s.dataSet;
    if (!ds || !ds->isActive())
        return {};
    if (!s.currentOnly && s.row >= 0)
        return s.row < ds->recordCount() ? ds->rowAt(s.row).value(field) : QVariant();
    if (ds->recordCount() == 0 && ds->state() != DataSetState::Insert)
        return {};
    return ds->field(field).value();
}

QVariant ReportEngine::nameValue(const ExprNode &n)
{
    if (!n.field.isEmpty())
        return slotValue(n.slot, n.index);
    if (n.name == QLatin1String("PAGE"))
        return qlonglong(m_page);
    if (n.name == QLatin1String("DATE"))
        return m_sources.now().date();
    if (n.name == QLatin1String("TIME"))
        return m_sources.now().time();
    if (n.name == QLatin1String("LINE"))
        return n.slot >= 0 ? QVariant(qlonglong(m_iterations[size_t(n.slot)].line)) : QVariant();
    return {};
}

QVariant ReportEngine::aggregateValue(const ExprNode &n)
{
    Accumulator &acc = m_accumulators[size_t(n.slot)];
    auto result = [&acc]() -> QVariant {
        if (acc.function == QLatin1String("COUNT"))
            return acc.count;
        if (acc.function == QLatin1String("SUM"))
            return acc.sum;
        if (acc.function == QLatin1String("AVG"))
            return acc.count > 0 ? QVariant(acc.sum / double(acc.count)) : QVariant();
        return acc.function == QLatin1String("MIN") ? acc.min : acc.max;
    };
    if (acc.band >= 0)
        return result();
    if (!acc.directDone) {
        acc.count = 0;
        acc.sum = 0;
        acc.min = acc.max = QVariant();
        if (acc.directSlot >= 0) {
            Slot &s = m_slots[size_t(acc.directSlot)];
            const int rows = s.dataSet ? s.dataSet->recordCount() : 0;
            const int n = s.currentOnly ? std::min(rows, 1) : rows;
            const int saved = s.row;
            for (int r = 0; r < n; ++r) {
                if (!s.currentOnly)
                    s.row = r;
                if (!acc.arg) {
                    ++acc.count;
                    continue;
                }
                acc.add(eval(acc.arg));
            }
            s.row = saved;
        }
        acc.directValue = result();
        acc.directDone = true;
    }
    return acc.directValue;
}

void ReportEngine::Accumulator::add(const QVariant &v)
{
    if (v.isNull())
        return;
    ++count;
    sum += v.toDouble();
    if (min.isNull() || lessThan(v, min))
        min = v;
    if (max.isNull() || lessThan(max, v))
        max = v;
}

void ReportEngine::resetScope(int scope)
{
    for (int i : m_scopeAccumulators[size_t(scope)]) {
        Accumulator &acc = m_accumulators[size_t(i)];
        acc.count = 0;
        acc.sum = 0;
        acc.min = acc.max = QVariant();
    }
}

void ReportEngine::accumulate(int iteration, bool pagePhase)
{
    for (int i : m_iterations[size_t(iteration)].accumulators) {
        Accumulator &acc = m_accumulators[size_t(i)];
        if (acc.pageScope != pagePhase)
            continue;
        if (!acc.arg) {
            ++acc.count;
            continue;
        }
        acc.add(eval(acc.arg));
    }
}

// ---------------------------------------------------------------------------------------------------
// layout

void ReportEngine::setPageSetup(const PageSetup &setup)
{
    m_setup = setup;
    restart();
}

void ReportEngine::restart()
{
    m_pages.clear();
    for (size_t s = 0; s < m_scopeAccumulators.size(); ++s)
        resetScope(int(s));
    for (Accumulator &acc : m_accumulators)
        acc.directDone = false;
    for (Slot &s : m_slots)
        s.row = s.iteratedBy >= 0 && !s.currentOnly && s.dataSet && s.dataSet->recordCount() > 0 ? 0 : -1;
    for (Section &s : m_sections) {
        for (GroupState &g : s.groups) {
            g.open = false;
            g.key.clear();
        }
        for (DetailState &d : s.details) {
            d.indexed = false;
            d.byKey.clear();
            d.all.clear();
        }
    }
    m_phase = Phase::NotStarted;
    m_page = 0;
    m_complete = 0;
    m_y = 0;
    m_contentOnPage = false;
    m_section = -1;
    m_row = m_rowCount = m_rowsPrinted = 0;
    m_lastRow = -1;
    m_headerActive = false;
}

void ReportEngine::run(int completePages)
{
    if (m_phase == Phase::NotStarted) {
        beginPage();
        printBand(m_reportTitle);
        m_phase = Phase::Sections;
        m_section = 0;
        if (m_sections.empty())
            m_phase = Phase::Summary;
        else
            startSection();
    }
    while (m_phase != Phase::Done && (completePages < 0 || m_complete < completePages)) {
        if (m_phase == Phase::Sections) {
            if (m_row < m_rowCount) {
                processRow(m_row++);
                continue;
            }
            endSection();
            if (++m_section < int(m_sections.size()))
                startSection();
            else
                m_phase = Phase::Summary;
        } else {
            printBand(m_summary);
            finishPage();
            m_phase = Phase::Done;
        }
    }
}

double ReportEngine::bodyBottom() const
{
    return m_setup.sizeMm().height() - m_setup.bottom - nominalHeight(m_pageFooter);
}

void ReportEngine::beginPage()
{
    m_pages.beginPage();
    ++m_page;
    m_y = m_setup.top;
    m_contentOnPage = false;
    resetScope(m_pageScope);
    if (m_pageHeader && (m_pageHeader->def->firstPage || m_page > 1))
        printBand(*m_pageHeader, PrintOptions{-1, true, false});
    if (m_phase != Phase::Sections || m_section < 0 || m_section >= int(m_sections.size()))
        return;
    Section &s = m_sections[size_t(m_section)];
    if (m_headerActive && s.header && s.header->def->repeat)
        printBand(*s.header, PrintOptions{-1, true, true});
    for (GroupState &g : s.groups)
        if (g.open && g.def->repeatHeader && g.header)
            printBand(*g.header, PrintOptions{-1, true, true});
}

void ReportEngine::finishPage()
{
    if (m_pageFooter) {
        m_y = m_setup.sizeMm().height() - m_setup.bottom - m_pageFooter->def->height;
        printBand(*m_pageFooter, PrintOptions{-1, true, false});
    }
    m_pages.endPage();
    ++m_complete;
}

void ReportEngine::newPage()
{
    finishPage();
    beginPage();
}

ReportEngine::Evaluated ReportEngine::evaluateObject(const BoundObject &o)
{
    Evaluated ev;
    if (o.visible && !isTrue(eval(o.visible)))
        return ev;
    ev.shown = true;
    const ReportObject &def = *o.def;
    if (def.type == ReportObject::Type::CheckBox) {
        ev.checked = isTrue(eval(o.check));
    } else if (def.type == ReportObject::Type::Text) {
        for (const BoundPart &p : o.parts) {
            if (p.pageCount)
                ev.text += m_pageCountText;
            else if (p.expr)
                ev.text += formatValue(eval(p.expr), p.format, m_sources.formats());
            else
                ev.text += p.literal;
        }
        if (def.stretch == ReportObject::Stretch::Grow && !ev.text.isEmpty()) {
            const ObjectLook &look = def.look;
            const double inner = std::max(0.1, def.w - 2 * look.padH) * 100.0;
            const QRectF r = m_metrics[size_t(o.style)].boundingRect(
                QRectF(0, 0, inner, 1e7), int(look.align) | Qt::TextWordWrap, ev.text);
            ev.height = r.height() / 100.0 + 2 * look.padV;
        }
    }
    return ev;
}

void ReportEngine::printBand(const std::optional<BoundBand> &band)
{
    if (band)
        printBand(*band, PrintOptions{});
}

void ReportEngine::printBand(const BoundBand &band, const PrintOptions &options)
{
    if (band.visible && !isTrue(eval(band.visible)))
        return;
    std::vector<Evaluated> evs;
    evs.reserve(band.objects.size());
    double height = band.def->height;
    for (const BoundObject &o : band.objects) {
        evs.push_back(evaluateObject(o));
        const Evaluated &ev = evs.back();
        if (ev.shown && o.def->stretch == ReportObject::Stretch::Grow)
            height = std::max(height, o.def->y + std::max(o.def->h, ev.height));
    }
    if (!options.fixed) {
        if (m_contentOnPage && m_y + height > bodyBottom() + Epsilon)
            newPage();
        if (options.iteration >= 0)
            accumulate(options.iteration, true);
        if (band.pageDependent)
            for (size_t i = 0; i < band.objects.size(); ++i)
                if (band.objects[i].pageDependent)
                    evs[i] = evaluateObject(band.objects[i]);
    }

    for (size_t i = 0; i < band.objects.size(); ++i) {
        const Evaluated &ev = evs[i];
        if (!ev.shown)
            continue;
        const BoundObject &o = band.objects[i];
        const ReportObject &def = *o.def;
        double h = def.h;
        if (def.stretch == ReportObject::Stretch::Band)
            h = std::max(def.h, height - def.y);
        else if (def.stretch == ReportObject::Stretch::Grow)
            h = std::max(def.h, ev.height);
        const QRectF rect(m_setup.left + def.x, m_y + def.y, def.w, h);
        switch (def.type) {
        case ReportObject::Type::Text:
            if (!ev.text.isEmpty() || def.look.frame != 0 || def.look.fill.isValid())
                m_pages.addText(o.style, rect, ev.text, options.repeated);
            break;
        case ReportObject::Type::CheckBox:
            m_pages.addCheckBox(o.style, rect, ev.checked, options.repeated);
            break;
        case ReportObject::Type::Line:
        case ReportObject::Type::Rect:
            m_pages.addShape(o.style, rect, options.repeated);
            break;
        }
    }
    m_y += height;
    if (!options.fixed)
        m_contentOnPage = true;
}

void ReportEngine::startSection()
{
    Section &s = m_sections[size_t(m_section)];
    resetScope(s.scope);
    for (GroupState &g : s.groups) {
        g.open = false;
        g.key.clear();
    }
    Iteration &it = m_iterations[size_t(s.iteration)];
    it.line = 0;
    Slot &slot = m_slots[size_t(it.slot)];
    const int rows = slot.dataSet ? slot.dataSet->recordCount() : 0;
    m_rowCount = slot.currentOnly ? std::min(rows, 1) : rows;
    m_row = 0;
    m_rowsPrinted = 0;
    m_lastRow = -1;
    m_headerActive = false;
    printBand(s.header);
    m_headerActive = true;
}

void ReportEngine::processRow(int row)
{
    Section &s = m_sections[size_t(m_section)];
    Slot &slot = m_slots[size_t(m_iterations[size_t(s.iteration)].slot)];
    if (!slot.currentOnly)
        slot.row = row;
    if (s.filter && !isTrue(eval(s.filter))) {
        if (!slot.currentOnly && m_lastRow >= 0)
            slot.row = m_lastRow;
        return;
    }
    QStringList keys;
    for (GroupState &g : s.groups)
        keys << keyText(eval(g.condition));
    int changed = 0;
    if (m_rowsPrinted > 0) {
        changed = int(s.groups.size());
        for (size_t g = 0; g < s.groups.size(); ++g) {
            if (s.groups[g].key != keys[qsizetype(g)]) {
                changed = int(g);
                break;
            }
        }
        if (changed < int(s.groups.size())) {
            // Footers show the last row of the group that ends.
            if (!slot.currentOnly)
                slot.row = m_lastRow;
            closeGroups(changed);
            if (!slot.currentOnly)
                slot.row = row;
        }
    }
    for (size_t g = size_t(changed); g < s.groups.size(); ++g)
        s.groups[g].key = keys[qsizetype(g)];
    if (changed < int(s.groups.size()))
        openGroups(changed);

    Iteration &it = m_iterations[size_t(s.iteration)];
    accumulate(s.iteration, false);
    ++it.line;
    printBand(s.data, PrintOptions{s.iteration, false, false});
    runDetails();
    m_lastRow = row;
    ++m_rowsPrinted;
}

void ReportEngine::closeGroups(int from)
{
    Section &s = m_sections[size_t(m_section)];
    for (int g = int(s.groups.size()) - 1; g >= from; --g) {
        printBand(s.groups[size_t(g)].footer);
        s.groups[size_t(g)].open = false;
    }
}

void ReportEngine::openGroups(int from)
{
    Section &s = m_sections[size_t(m_section)];
    double needed = s.data.def->height;
    for (size_t g = size_t(from); g < s.groups.size(); ++g)
        needed += nominalHeight(s.groups[g].header);
    for (size_t g = size_t(from); g < s.groups.size(); ++g) {
        GroupState &gs = s.groups[g];
        const bool breakForGroup = gs.def->newPage && m_rowsPrinted > 0;
        if (m_contentOnPage && (breakForGroup || m_y + needed > bodyBottom() + Epsilon))
            newPage();
        needed -= nominalHeight(gs.header);
        resetScope(gs.scope);
        printBand(gs.header);
        gs.open = true;
    }
}

const std::vector<int> &ReportEngine::detailRows(DetailState &d)
{
    static const std::vector<int> none;
    Slot &slot = m_slots[size_t(m_iterations[size_t(d.iteration)].slot)];
    if (!d.indexed) {
        const int saved = slot.row;
        const int rows = slot.dataSet ? slot.dataSet->recordCount() : 0;
        const int n = slot.currentOnly ? std::min(rows, 1) : rows;
        for (int r = 0; r < n; ++r) {
            if (!slot.currentOnly)
                slot.row = r;
            if (d.filter && !isTrue(eval(d.filter)))
                continue;
            if (d.key)
                d.byKey[keyText(eval(d.key))].push_back(r);
            else
                d.all.push_back(r);
        }
        slot.row = saved;
        d.indexed = true;
    }
    if (!d.key)
        return d.all;
    const auto it = d.byKey.constFind(keyText(eval(d.masterKey)));
    return it == d.byKey.constEnd() ? none : *it;
}

void ReportEngine::runDetails()
{
    Section &s = m_sections[size_t(m_section)];
    for (DetailState &d : s.details) {
        const std::vector<int> rows = detailRows(d);
        Iteration &it = m_iterations[size_t(d.iteration)];
        Slot &slot = m_slots[size_t(it.slot)];
        resetScope(d.scope);
        it.line = 0;
        if (rows.empty()) {
            printBand(d.empty);
            continue;
        }
        if (!slot.currentOnly)
            slot.row = rows.front();
        printBand(d.header);
        for (int r : rows) {
            if (!slot.currentOnly)
                slot.row = r;
            accumulate(d.iteration, false);
            ++it.line;
            printBand(d.data, PrintOptions{d.iteration, false, false});
        }
        printBand(d.footer);
    }
}

void ReportEngine::endSection()
{
    Section &s = m_sections[size_t(m_section)];
    Slot &slot = m_slots[size_t(m_iterations[size_t(s.iteration)].slot)];
    if (m_rowsPrinted > 0) {
        if (!slot.currentOnly)
            slot.row = m_lastRow;
        closeGroups(0);
    } else {
        printBand(s.empty);
    }
    printBand(s.footer);
    m_headerActive = false;
}

} // namespace lerk
