// Building pages: field references, line breaking and placement of text boxes.
#include "toolkit/report_build.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace toolkit;

namespace {

const ReportFont kFont{QStringLiteral("Arial"), 10, false, false, false};

QString echo(const QString& table, const QString& field) { return table + QLatin1Char('.') + field; }

ReportLayout oneBox(const QStringList& lines, double width, bool autoWidth = false)
{
    ReportLayout layout;
    layout.texts.push_back({QStringLiteral("Memo1"), QRectF(10, 20, width, 100), kFont, lines, autoWidth});
    return layout;
}

QStringList texts(const BuiltReport& r)
{
    QStringList out;
    for (const TextRun& run : r.pages.at(0).texts)
        out << run.text;
    return out;
}

}  // namespace

TEST(ReportFields, ReferencesAreReplacedInPlace)
{
    EXPECT_EQ(expandFields(QStringLiteral("Имя: [tbResult.\"F\"] [tbResult.\"I\"]!"), echo),
              QStringLiteral("Имя: tbResult.F tbResult.I!"));
    EXPECT_EQ(expandFields(QStringLiteral("[ t.Поле ]"), echo), QStringLiteral("t.Поле"));
    EXPECT_EQ(expandFields(QStringLiteral("без ссылок"), echo), QStringLiteral("без ссылок"));
    // A value that itself looks like a reference is not expanded again.
    EXPECT_EQ(expandFields(QStringLiteral("[a.b]"), [](const QString&, const QString&) { return QStringLiteral("[x.y]"); }),
              QStringLiteral("[x.y]"));
}

TEST(ReportFields, MalformedReferencesFail)
{
    EXPECT_THROW(expandFields(QStringLiteral("[tbResult.\"F\""), echo), std::runtime_error);
    EXPECT_THROW(expandFields(QStringLiteral("[1+2]"), echo), std::runtime_error);
    EXPECT_THROW(expandFields(QStringLiteral("[]"), echo), std::runtime_error);
}

TEST(ReportBuild, AFailingResolverNamesTheObject)
{
    const auto failing = [](const QString&, const QString& field) -> QString {
        throw std::runtime_error("Поле " + field.toStdString() + " не найдено");
    };
    try {
        buildReport(oneBox({QStringLiteral("[t.\"Нет\"]")}, 100), failing);
        FAIL() << "no error";
    } catch (const ReportError& e) {
        EXPECT_EQ(e.object(), QStringLiteral("Memo1"));
        EXPECT_EQ(e.text(), QStringLiteral("Memo1: Поле Нет не найдено"));
    }
}

TEST(ReportWrap, BreaksAtTheLastSpaceThatFits)
{
    const UnitMetrics m(kFont);
    const QString line = QStringLiteral("один два три");
    const double upToTwo = m.width(QStringLiteral("один два"));
    EXPECT_EQ(wrapLine(line, upToTwo + 0.1, m), (QStringList{QStringLiteral("один два"), QStringLiteral("три")}));
    EXPECT_EQ(wrapLine(line, m.width(line), m), QStringList{line});
    // A word wider than the box stays whole on a line of its own.
    EXPECT_EQ(wrapLine(QStringLiteral("Невротичность - "), 10, m),
              (QStringList{QStringLiteral("Невротичность"), QStringLiteral("- ")}));
    EXPECT_EQ(wrapLine(QStringLiteral("Длинноеслово   "), 10, m), QStringList{QStringLiteral("Длинноеслово   ")});
    // Trailing spaces do not make a fitting line wrap.
    EXPECT_EQ(wrapLine(QStringLiteral("ab - "), m.width(QStringLiteral("ab -")), m), QStringList{QStringLiteral("ab - ")});
}

TEST(ReportBuild, LinesArePlacedInsideTheInsetsWithExtraSpacing)
{
    const BuiltReport r = *buildReport(oneBox({QStringLiteral("первая"), QString(), QStringLiteral("третья")}, 200),
                                       echo);
    ASSERT_EQ(r.pages.size(), 1u);
    const std::vector<TextRun>& runs = r.pages[0].texts;
    ASSERT_EQ(runs.size(), 2u);   // the empty line takes room but prints nothing
    const double pitch = UnitMetrics(kFont).linePitch();
    EXPECT_GT(pitch, UnitMetrics(kFont).lineHeight());   // lines never overlap
    EXPECT_DOUBLE_EQ(runs[0].position.x(), 12);
    EXPECT_DOUBLE_EQ(runs[0].position.y(), 21);
    EXPECT_DOUBLE_EQ(runs[1].position.y(), 21 + 2 * pitch);
    EXPECT_EQ(runs[1].font, kFont);
}

TEST(ReportBuild, ABoxHoldsTheLinesItsHeightWasMadeFor)
{
    // Eleven lines of 10 pt in a box of 174 units, of 12 pt in one of 206.
    const struct {
        double points, height;
        int lines;
    } cases[] = {{10, 174, 11}, {12, 206, 11}};
    for (const auto& c : cases) {
        const ReportFont font{QStringLiteral("Arial"), c.points, true, false, false};
        ReportLayout layout;
        QStringList lines;
        for (int i = 0; i < c.lines; ++i)
            lines << QStringLiteral("Строка %1").arg(i + 1);
        layout.texts.push_back({QStringLiteral("Memo1"), QRectF(10, 100, 300, c.height), font, lines, false});
        const BuiltReport r = *buildReport(layout, echo);
        ASSERT_EQ(r.pages[0].texts.size(), size_t(c.lines));
        const TextRun& last = r.pages[0].texts.back();
        EXPECT_LE(last.position.y() + UnitMetrics(font).lineHeight(), 100 + c.height - kTextInsetY)
            << c.points << " pt in " << c.height;
    }
}

TEST(ReportBuild, WrapUsesTheBoxWidthLessInsetsAndAutoWidthNeverWraps)
{
    const UnitMetrics m(kFont);
    const QString line = QStringLiteral("Эмоцианальная лабильность - ");
    const double exact = m.width(QStringLiteral("Эмоцианальная лабильность -"));
    EXPECT_EQ(texts(*buildReport(oneBox({line}, exact + 2 * kTextInsetX + 0.01), echo)), QStringList{line});
    EXPECT_EQ(texts(*buildReport(oneBox({line}, exact + 2 * kTextInsetX - 0.5), echo)).size(), 2);
    EXPECT_EQ(texts(*buildReport(oneBox({line}, 20, true), echo)), QStringList{line});
}

TEST(ReportBuild, PageSizeLinesAndCancel)
{
    ReportLayout layout = oneBox({QStringLiteral("x")}, 50);
    layout.pageSizeMm = QSizeF(210.1, 297.1);
    layout.lines.push_back({QStringLiteral("Line1"), QPointF(16, 280), QPointF(736, 280), 2});
    const BuiltReport r = *buildReport(layout, echo);
    EXPECT_NEAR(r.pageSize.width(), 758, 0.5);
    EXPECT_NEAR(r.pageSize.height(), 1072, 0.5);
    ASSERT_EQ(r.pages[0].lines.size(), 1u);
    EXPECT_EQ(r.pages[0].lines[0], (LineRun{QPointF(16, 280), QPointF(736, 280), 2}));

    int calls = 0;
    EXPECT_FALSE(buildReport(layout, echo, [&calls](int done, int total) {
        EXPECT_EQ(total, 2);
        ++calls;
        return done < 1;
    }));
    EXPECT_EQ(calls, 2);
}
