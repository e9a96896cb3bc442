#include "ReportTemplate.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QXmlStreamReader>

namespace lerk {

TemplateError::TemplateError(QString file, int line, QString message)
    : m_file(std::move(file)), m_line(line), m_message(std::move(message)), m_utf8(text().toUtf8())
{}

QString TemplateError::text() const
{
    const QString file = QDir::toNativeSeparators(m_file);
    if (m_line > 0)
        return QStringLiteral("Chyba v šabloně sestavy %1 na řádku %2: %3")
            .arg(file)
            .arg(m_line)
            .arg(m_message);
    return QStringLiteral("Chyba v šabloně sestavy %1: %2").arg(file, m_message);
}

QSizeF PageSetup::sizeMm() const
{
    const QSizeF s = QPageSize(size).size(QPageSize::Millimeter);
    return orientation == QPageLayout::Landscape ? s.transposed() : s;
}

namespace {

const QStringList LookAttributes = {
    QStringLiteral("font"),       QStringLiteral("size"),       QStringLiteral("bold"),
    QStringLiteral("italic"),     QStringLiteral("underline"),  QStringLiteral("align"),
    QStringLiteral("valign"),     QStringLiteral("wrap"),       QStringLiteral("frame"),
    QStringLiteral("frameWidth"), QStringLiteral("frameColor"), QStringLiteral("color"),
    QStringLiteral("fill"),       QStringLiteral("padding"),    QStringLiteral("lineWidth")};

class Parser
{
public:
    Parser(const QByteArray &xml, const QString &file) : m_xml(xml), m_file(file) {}

    ReportTemplate run()
    {
        ReportTemplate t;
        t.file = m_file;
        if (!nextElement())
            fail(QStringLiteral("soubor neobsahuje žádný prvek <report>"));
        if (name() != QLatin1String("report"))
            fail(QStringLiteral("kořenový prvek musí být <report>, ne <%1>").arg(name()));
        checkAttributes(QStringList{QStringLiteral("name"), QStringLiteral("version")} + LookAttributes);
        t.name = attr(QStringLiteral("name"));
        const QString version = attr(QStringLiteral("version"));
        if (!version.isEmpty() && version != QLatin1String("1"))
            fail(QStringLiteral("neznámá verze šablony \"%1\"").arg(version));
        m_defaultLook = readLook(ObjectLook());

        while (nextChild()) {
            const QString n = name();
            if (n == QLatin1String("page"))
                t.page = readPage();
            else if (n == QLatin1String("style"))
                readStyle();
            else if (n == QLatin1String("reportTitle"))
                once(t.reportTitle, Band::Type::ReportTitle);
            else if (n == QLatin1String("pageHeader"))
                once(t.pageHeader, Band::Type::PageHeader);
            else if (n == QLatin1String("pageFooter"))
                once(t.pageFooter, Band::Type::PageFooter);
            else if (n == QLatin1String("summary"))
                once(t.summary, Band::Type::Summary);
            else if (n == QLatin1String("data"))
                t.data << readData();
            else
                unknownElement();
        }
        if (m_reader.hasError())
            xmlFail();
        return t;
    }

private:
    [[noreturn]] void fail(const QString &message, int line = -1) const
    {
        throw TemplateError(m_file, line < 0 ? int(m_reader.lineNumber()) : line, message);
    }
    [[noreturn]] void xmlFail() const
    {
        fail(QStringLiteral("chybný zápis XML (%1)").arg(m_reader.errorString()));
    }
    [[noreturn]] void unknownElement() const { fail(QStringLiteral("neznámý prvek <%1>").arg(name())); }

    QString name() const { return m_reader.name().toString(); }
    int line() const { return int(m_reader.lineNumber()); }

    // The next start element anywhere; false at the end of the document.
    bool nextElement()
    {
        while (!m_reader.atEnd()) {
            m_reader.readNext();
            if (m_reader.isStartElement())
                return true;
        }
        if (m_reader.hasError())
            xmlFail();
        return false;
    }

    // The next child element of the current one; false at its end tag.
    bool nextChild()
    {
        if (!m_reader.readNextStartElement()) {
            if (m_reader.hasError())
                xmlFail();
            return false;
        }
        return true;
    }

    void checkAttributes(const QStringList &allowed) const
    {
        for (const QXmlStreamAttribute &a : m_reader.attributes())
            if (!allowed.contains(a.name().toString()))
                fail(QStringLiteral("prvek <%1> nezná atribut \"%2\"").arg(name(), a.name().toString()));
    }

    QString attr(const QString &key) const { return m_reader.attributes().value(key).toString(); }
    bool has(const QString &key) const { return m_reader.attributes().hasAttribute(key); }

    double number(const QString &key, double fallback, bool required = false) const
    {
        if (!has(key)) {
            if (required)
                fail(QStringLiteral("prvek <%1> potřebuje atribut \"%2\"").arg(name(), key));
            return fallback;
        }
        bool ok = false;
        const double v = attr(key).trimmed().toDouble(&ok);
        if (!ok)
            fail(QStringLiteral("atribut \"%1\" má být číslo v milimetrech, ne \"%2\"").arg(key, attr(key)));
        return v;
    }

    bool boolean(const QString &key, bool fallback) const
    {
        if (!has(key))
            return fallback;
        const QString v = attr(key).trimmed().toLower();
        if (v == QLatin1String("true") || v == QLatin1String("1") || v == QLatin1String("yes"))
            return true;
        if (v == QLatin1String("false") || v == QLatin1String("0") || v == QLatin1String("no"))
            return false;
        fail(QStringLiteral("atribut \"%1\" má být true nebo false, ne \"%2\"").arg(key, attr(key)));
    }

    QColor color(const QString &key, const QColor &fallback) const
    {
        if (!has(key))
            return fallback;
        const QString v = attr(key).trimmed();
        if (v.isEmpty() || v == QLatin1String("none"))
            return QColor();
        const QColor c = QColor::fromString(v);
        if (!c.isValid())
            fail(QStringLiteral("atribut \"%1\": \"%2\" není barva").arg(key, v));
        return c;
    }

    PageSetup readPage()
    {
        checkAttributes({QStringLiteral("size"), QStringLiteral("orientation"), QStringLiteral("left"),
                         QStringLiteral("top"), QStringLiteral("right"), QStringLiteral("bottom")});
        PageSetup p;
        const QString size = attr(QStringLiteral("size")).trimmed().toUpper();
        if (size == QLatin1String("A3"))
            p.size = QPageSize::A3;
        else if (size.isEmpty() || size == QLatin1String("A4"))
            p.size = QPageSize::A4;
        else
            fail(QStringLiteral("neznámý formát papíru \"%1\" (A4 nebo A3)")
                     .arg(attr(QStringLiteral("size"))));
        const QString o = attr(QStringLiteral("orientation")).trimmed().toLower();
        if (o == QLatin1String("landscape"))
            p.orientation = QPageLayout::Landscape;
        else if (o.isEmpty() || o == QLatin1String("portrait"))
            p.orientation = QPageLayout::Portrait;
        else
            fail(QStringLiteral("orientace má být portrait nebo landscape, ne \"%1\"").arg(o));
        p.left = number(QStringLiteral("left"), p.left);
        p.top = number(QStringLiteral("top"), p.top);
        p.right = number(QStringLiteral("right"), p.right);
        p.bottom = number(QStringLiteral("bottom"), p.bottom);
        const QSizeF s = p.sizeMm();
        if (p.left < 0 || p.top < 0 || p.right < 0 || p.bottom < 0 || p.left + p.right >= s.width() ||
            p.top + p.bottom >= s.height())
            fail(QStringLiteral("okraje stránky se na papír nevejdou"));
        m_reader.skipCurrentElement();
        return p;
    }

    void readStyle()
    {
        checkAttributes(QStringList{QStringLiteral("name"), QStringLiteral("base")} + LookAttributes);
        const QString styleName = attr(QStringLiteral("name")).trimmed();
        if (styleName.isEmpty())
            fail(QStringLiteral("styl potřebuje jméno (atribut \"name\")"));
        ObjectLook base = m_defaultLook;
        if (has(QStringLiteral("base")))
            base = style(attr(QStringLiteral("base")));
        m_styles.insert(styleName, readLook(base));
        m_reader.skipCurrentElement();
    }

    ObjectLook style(const QString &styleName) const
    {
        const auto it = m_styles.constFind(styleName.trimmed());
        if (it == m_styles.constEnd())
            fail(QStringLiteral("neznámý styl \"%1\"").arg(styleName));
        return *it;
    }

    ObjectLook readLook(ObjectLook look) const
    {
        if (has(QStringLiteral("font")))
            look.fontFamily = attr(QStringLiteral("font"));
        look.fontSize = number(QStringLiteral("size"), look.fontSize);
        if (look.fontSize <= 0 || look.fontSize > 200)
            fail(QStringLiteral("velikost písma musí být mezi 0 a 200 body"));
        look.bold = boolean(QStringLiteral("bold"), look.bold);
        look.italic = boolean(QStringLiteral("italic"), look.italic);
        look.underline = boolean(QStringLiteral("underline"), look.underline);
        look.wrap = boolean(QStringLiteral("wrap"), look.wrap);
        if (has(QStringLiteral("align"))) {
            const QString a = attr(QStringLiteral("align")).trimmed().toLower();
            Qt::Alignment h;
            if (a == QLatin1String("left"))
                h = Qt::AlignLeft;
            else if (a == QLatin1String("center"))
                h = Qt::AlignHCenter;
            else if (a == QLatin1String("right"))
                h = Qt::AlignRight;
            else if (a == QLatin1String("justify"))
                h = Qt::AlignJustify;
            else
                fail(QStringLiteral("zarovnání má být left, center, right nebo justify, ne \"%1\"").arg(a));
            look.align = (look.align & Qt::AlignVertical_Mask) | h;
        }
        if (has(QStringLiteral("valign"))) {
            const QString a = attr(QStringLiteral("valign")).trimmed().toLower();
            Qt::Alignment v;
            if (a == QLatin1String("top"))
                v = Qt::AlignTop;
            else if (a == QLatin1String("center"))
                v = Qt::AlignVCenter;
            else if (a == QLatin1String("bottom"))
                v = Qt::AlignBottom;
            else
                fail(QStringLiteral("svislé zarovnání má být top, center nebo bottom, ne \"%1\"").arg(a));
            look.align = (look.align & Qt::AlignHorizontal_Mask) | v;
        }
        if (has(QStringLiteral("frame"))) {
            int sides = 0;
            const QStringList words =
                attr(QStringLiteral("frame")).split(QLatin1Char(' '), Qt::SkipEmptyParts);
            for (const QString &w : words) {
                const QString s = w.toLower();
                if (s == QLatin1String("all"))
                    sides |= ObjectLook::AllSides;
                else if (s == QLatin1String("none"))
                    sides = 0;
                else if (s == QLatin1String("left"))
                    sides |= ObjectLook::Left;
                else if (s == QLatin1String("top"))
                    sides |= ObjectLook::Top;
                else if (s == QLatin1String("right"))
                    sides |= ObjectLook::Right;
                else if (s == QLatin1String("bottom"))
                    sides |= ObjectLook::Bottom;
                else
                    fail(
                        QStringLiteral("rámeček: neznámá strana \"%1\" (all, none, left, top, right, bottom)")
                            .arg(w));
            }
            look.frame = sides;
        }
        look.frameWidth = number(QStringLiteral("frameWidth"), look.frameWidth);
        look.lineWidth = number(QStringLiteral("lineWidth"), look.lineWidth);
        look.frameColor = color(QStringLiteral("frameColor"), look.frameColor);
        look.color = color(QStringLiteral("color"), look.color);
        look.fill = color(QStringLiteral("fill"), look.fill);
        if (has(QStringLiteral("padding"))) {
            const QStringList parts =
                attr(QStringLiteral("padding")).split(QLatin1Char(' '), Qt::SkipEmptyParts);
            bool ok1 = !parts.isEmpty() && parts.size() <= 2, ok2 = true;
            const double h = ok1 ? parts[0].toDouble(&ok1) : 0;
            const double v = parts.size() == 2 ? parts[1].toDouble(&ok2) : look.padV;
            if (!ok1 || !ok2)
                fail(QStringLiteral("odsazení má být jedno nebo dvě čísla v milimetrech"));
            look.padH = h;
            look.padV = v;
        }
        return look;
    }

    void once(std::optional<Band> &slot, Band::Type type)
    {
        if (slot)
            fail(QStringLiteral("prvek <%1> smí být v šabloně jen jednou").arg(name()));
        slot = readBand(type);
    }

    Band readBand(Band::Type type)
    {
        QStringList allowed = {QStringLiteral("height"), QStringLiteral("visible")};
        if (type == Band::Type::Header)
            allowed << QStringLiteral("repeat");
        if (type == Band::Type::PageHeader)
            allowed << QStringLiteral("firstPage");
        checkAttributes(allowed);
        Band b;
        b.type = type;
        b.line = line();
        b.height = number(QStringLiteral("height"), 0, true);
        if (b.height < 0)
            fail(QStringLiteral("výška pásu nesmí být záporná"));
        b.repeat = boolean(QStringLiteral("repeat"), false);
        b.firstPage = boolean(QStringLiteral("firstPage"), true);
        b.visible = attr(QStringLiteral("visible"));
        while (nextChild())
            b.objects << readObject();
        return b;
    }

    ReportObject readObject()
    {
        ReportObject o;
        const QString n = name();
        QStringList allowed = {QStringLiteral("x"),       QStringLiteral("y"),     QStringLiteral("w"),
                               QStringLiteral("h"),       QStringLiteral("style"), QStringLiteral("visible"),
                               QStringLiteral("stretch"), QStringLiteral("format")};
        allowed += LookAttributes;
        if (n == QLatin1String("text")) {
            o.type = ReportObject::Type::Text;
        } else if (n == QLatin1String("field")) {
            o.type = ReportObject::Type::Text;
            allowed << QStringLiteral("expr");
        } else if (n == QLatin1String("checkbox")) {
            o.type = ReportObject::Type::CheckBox;
            allowed << QStringLiteral("expr");
        } else if (n == QLatin1String("line")) {
            o.type = ReportObject::Type::Line;
        } else if (n == QLatin1String("rect")) {
            o.type = ReportObject::Type::Rect;
        } else {
            unknownElement();
        }
        checkAttributes(allowed);
        o.line = line();
        o.x = number(QStringLiteral("x"), 0, true);
        o.y = number(QStringLiteral("y"), 0, true);
        const bool isLine = o.type == ReportObject::Type::Line;
        o.w = number(QStringLiteral("w"), 0, !isLine);
        o.h = number(QStringLiteral("h"), 0, !isLine);
        if (!isLine && (o.w < 0 || o.h < 0))
            fail(QStringLiteral("šířka a výška objektu nesmí být záporné"));
        ObjectLook base = m_defaultLook;
        if (has(QStringLiteral("style")))
            base = style(attr(QStringLiteral("style")));
        o.look = readLook(base);
        o.format = attr(QStringLiteral("format"));
        o.visible = attr(QStringLiteral("visible"));
        const QString stretch = attr(QStringLiteral("stretch")).trimmed().toLower();
        if (stretch == QLatin1String("grow"))
            o.stretch = ReportObject::Stretch::Grow;
        else if (stretch == QLatin1String("band"))
            o.stretch = ReportObject::Stretch::Band;
        else if (!stretch.isEmpty() && stretch != QLatin1String("none"))
            fail(QStringLiteral("roztažení má být none, grow nebo band, ne \"%1\"").arg(stretch));
        if (o.stretch == ReportObject::Stretch::Grow)
            o.look.wrap = true;

        if (n == QLatin1String("text")) {
            o.text = elementText();
            return o;
        }
        if (n == QLatin1String("field") || n == QLatin1String("checkbox")) {
            QString expr = attr(QStringLiteral("expr")).trimmed();
            if (expr.isEmpty())
                fail(QStringLiteral("prvek <%1> potřebuje výraz (atribut \"expr\")").arg(n));
            if (expr.startsWith(QLatin1Char('[')) && expr.endsWith(QLatin1Char(']')))
                expr = expr.mid(1, expr.size() - 2);
            o.text = n == QLatin1String("field") ? QStringLiteral("[") + expr + QStringLiteral("]") : expr;
        }
        if (!m_reader.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement).trimmed().isEmpty())
            fail(QStringLiteral("prvek <%1> nemá mít text").arg(n));
        if (m_reader.hasError())
            xmlFail();
        return o;
    }

    // The text of a <text> element: each line trimmed, so that the template can be indented freely.
    QString elementText()
    {
        const QString raw = m_reader.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
        if (m_reader.hasError())
            xmlFail();
        QStringList lines = raw.split(QLatin1Char('\n'));
        for (QString &l : lines)
            l = l.trimmed();
        while (!lines.isEmpty() && lines.first().isEmpty())
            lines.removeFirst();
        while (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines.join(QLatin1Char('\n'));
    }

    DataDef readData()
    {
        checkAttributes({QStringLiteral("dataset"), QStringLiteral("filter")});
        DataDef d;
        d.line = line();
        d.dataset = attr(QStringLiteral("dataset")).trimmed();
        if (d.dataset.isEmpty())
            fail(QStringLiteral("prvek <data> potřebuje datovou sadu (atribut \"dataset\")"));
        d.filter = attr(QStringLiteral("filter"));
        bool haveData = false;
        while (nextChild()) {
            const QString n = name();
            if (n == QLatin1String("header"))
                once(d.header, Band::Type::Header);
            else if (n == QLatin1String("footer"))
                once(d.footer, Band::Type::Footer);
            else if (n == QLatin1String("empty"))
                once(d.empty, Band::Type::Empty);
            else if (n == QLatin1String("group")) {
                if (haveData)
                    fail(QStringLiteral("skupiny patří před pás <masterData>"));
                d.groups << readGroup();
            } else if (n == QLatin1String("masterData")) {
                if (haveData)
                    fail(QStringLiteral("prvek <data> smí mít jen jeden pás <masterData>"));
                d.data = readBand(Band::Type::MasterData);
                haveData = true;
            } else if (n == QLatin1String("detail")) {
                d.details << readDetail();
            } else {
                unknownElement();
            }
        }
        if (!haveData)
            fail(QStringLiteral("prvek <data> potřebuje pás <masterData>"), d.line);
        return d;
    }

    GroupDef readGroup()
    {
        checkAttributes(
            {QStringLiteral("condition"), QStringLiteral("newPage"), QStringLiteral("repeatHeader")});
        GroupDef g;
        g.line = line();
        g.condition = attr(QStringLiteral("condition"));
        if (g.condition.trimmed().isEmpty())
            fail(QStringLiteral("skupina potřebuje podmínku (atribut \"condition\")"));
        g.newPage = boolean(QStringLiteral("newPage"), false);
        g.repeatHeader = boolean(QStringLiteral("repeatHeader"), false);
        while (nextChild()) {
            const QString n = name();
            if (n == QLatin1String("groupHeader"))
                once(g.header, Band::Type::GroupHeader);
            else if (n == QLatin1String("groupFooter"))
                once(g.footer, Band::Type::GroupFooter);
            else
                unknownElement();
        }
        return g;
    }

    DetailDef readDetail()
    {
        checkAttributes({QStringLiteral("dataset"), QStringLiteral("key"), QStringLiteral("masterKey"),
                         QStringLiteral("filter")});
        DetailDef d;
        d.line = line();
        d.dataset = attr(QStringLiteral("dataset")).trimmed();
        if (d.dataset.isEmpty())
            fail(QStringLiteral("prvek <detail> potřebuje datovou sadu (atribut \"dataset\")"));
        d.key = attr(QStringLiteral("key"));
        d.masterKey = attr(QStringLiteral("masterKey"));
        if (d.key.trimmed().isEmpty() != d.masterKey.trimmed().isEmpty())
            fail(QStringLiteral("atributy \"key\" a \"masterKey\" se zadávají spolu"));
        d.filter = attr(QStringLiteral("filter"));
        bool haveData = false;
        while (nextChild()) {
            const QString n = name();
            if (n == QLatin1String("header"))
                once(d.header, Band::Type::Header);
            else if (n == QLatin1String("footer"))
                once(d.footer, Band::Type::Footer);
            else if (n == QLatin1String("empty"))
                once(d.empty, Band::Type::Empty);
            else if (n == QLatin1String("detailData")) {
                if (haveData)
                    fail(QStringLiteral("prvek <detail> smí mít jen jeden pás <detailData>"));
                d.data = readBand(Band::Type::DetailData);
                haveData = true;
            } else {
                unknownElement();
            }
        }
        if (!haveData)
            fail(QStringLiteral("prvek <detail> potřebuje pás <detailData>"), d.line);
        return d;
    }

    const QByteArray &m_xml;
    QString m_file;
    QXmlStreamReader m_reader{m_xml};
    ObjectLook m_defaultLook;
    QHash<QString, ObjectLook> m_styles;
};

} // namespace

ReportTemplate ReportTemplate::load(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw TemplateError(path, 0, QStringLiteral("soubor nelze otevřít (%1)").arg(f.errorString()));
    return parse(f.readAll(), path);
}

ReportTemplate ReportTemplate::parse(const QByteArray &xml, const QString &file)
{
    return Parser(xml, file).run();
}

} // namespace lerk
