#pragma once

#include <QString>

// Every built-in text of the grid and its dialogs, in Czech. The first block is the fixed replacement
// table of the original program's grid control, character for character (trailing blanks are part of
// the texts); the second block holds the remaining texts, whose wording is ours.
namespace lerk::GridTexts {

// Grid, column-header menu, summaries and export.
inline const QString GroupByPrompt =
    QStringLiteral("Přetáhněte sem záhlaví sloupce pro seskupení podle tohoto sloupce");
inline const QString DeleteRecordQuestion = QStringLiteral("Smazat záznam ?");
inline const QString DeleteSelectedQuestion = QStringLiteral("Smazat všechny vybrané záznamy ?");
inline const QString NewItemRowInfo = QStringLiteral("Klikněte sem pro přidání nového záznamu ");
inline const QString FilterEmpty = QStringLiteral("<Filtr je prázdný>");
inline const QString Customization = QStringLiteral("Upravit");
inline const QString Columns = QStringLiteral("Sloupce");
inline const QString Bands = QStringLiteral("Skupiny");
inline const QString CannotCreateExportFile = QStringLiteral("Nelze vytvořit výstupní exportní soubor ");
inline const QString Customize = QStringLiteral("Upravit ... ");
inline const QString SortAscending = QStringLiteral("Seřadit vzestupně ");
inline const QString SortDescending = QStringLiteral("Seřadit sestupně ");
inline const QString ClearSorting = QStringLiteral("Zrušit seřazení ");
inline const QString GroupByThisField = QStringLiteral("Seskupit podle tohoto sloupce ");
inline const QString RemoveFromGrouping = QStringLiteral("Odstranit ze skupiny ");
inline const QString GroupByBox = QStringLiteral("Skrýt/zobrazit slučovací panel ");
inline const QString Alignment = QStringLiteral("Zarovnání");
inline const QString AlignLeft = QStringLiteral("Zarovnat doleva");
inline const QString AlignRight = QStringLiteral("Zarovnat doprava");
inline const QString AlignCenter = QStringLiteral("Zarovnat na střed");
inline const QString RemoveThisColumn = QStringLiteral("Skrýt tento sloupec");
inline const QString FieldChooser = QStringLiteral("Zobrazit sloupec");
inline const QString BestFit = QStringLiteral("Best Fit - sloupec");
inline const QString BestFitAll = QStringLiteral("Best Fit - všechny sloupce");
inline const QString Footer = QStringLiteral("Zápatí");
inline const QString GroupFooters = QStringLiteral("Zápatí skupin");
inline const QString SummaryCount = QStringLiteral("Count - počet");
inline const QString SummaryAverage = QStringLiteral("Average - průměr");
inline const QString SummaryNone = QStringLiteral("None - žádný");

// Filter operators.
inline const QString OpEqual = QStringLiteral("rovná se =");
inline const QString OpNotEqual = QStringLiteral("nerovná se <>");
inline const QString OpLess = QStringLiteral("menší než < ");
inline const QString OpLessEqual = QStringLiteral("menší než nebo rovno <= ");
inline const QString OpGreater = QStringLiteral("větší než > ");
inline const QString OpGreaterEqual = QStringLiteral("větší než nebo rovno >= ");
inline const QString OpLike = QStringLiteral("jako");
inline const QString OpNotLike = QStringLiteral("ne jako");
inline const QString OpBetween = QStringLiteral("mezi");
inline const QString OpNotBetween = QStringLiteral("ne mezi");
inline const QString OpIn = QStringLiteral("v");
inline const QString OpNotIn = QStringLiteral("ne v");

// Date filters.
inline const QString DateYesterday = QStringLiteral("je včera");
inline const QString DateToday = QStringLiteral("je dnes");
inline const QString DateTomorrow = QStringLiteral("je zítra");
inline const QString DateThisWeek = QStringLiteral("je tento týden");
inline const QString DateThisMonth = QStringLiteral("je tento měsíc");
inline const QString DateThisYear = QStringLiteral("je tento rok");
inline const QString DateLast7Days = QStringLiteral("je posledních 7 dnů");
inline const QString DateLastWeek = QStringLiteral("je poslední týden");
inline const QString DateLast14Days = QStringLiteral("je posledníchch 14 dnů");
inline const QString DateLastTwoWeeks = QStringLiteral("je poslední dva týdny");
inline const QString DateLast30Days = QStringLiteral("je posledních 30 dní");
inline const QString DateLastMonth = QStringLiteral("je poslední měsíc");
inline const QString DateLastYear = QStringLiteral("je posledních rok ");
inline const QString DatePast = QStringLiteral("je minulost");
inline const QString DateNext7Days = QStringLiteral("je příštích 7 dnů");
inline const QString DateNextWeek = QStringLiteral("je příští týden");
inline const QString DateNext14Days = QStringLiteral("je příštích 14 dnů");
inline const QString DateNextTwoWeeks = QStringLiteral("je další dva týdny");
inline const QString DateNext30Days = QStringLiteral("je příštích 30 dní");
inline const QString DateNextMonth = QStringLiteral("je příští měsíc");
inline const QString DateNextYear = QStringLiteral("je příští rok ");
inline const QString DateFuture = QStringLiteral("je budoucnoct");

// Logical connectives.
inline const QString And = QStringLiteral("a");
inline const QString Or = QStringLiteral("nebo");
inline const QString Not = QStringLiteral("ne");

// Blank tests and text operators.
inline const QString Blank = QStringLiteral("je prázdné");
inline const QString IsBlank = QStringLiteral("je prázdné");
inline const QString IsNotBlank = QStringLiteral("není prázdné");
inline const QString BeginsWith = QStringLiteral("začíná");
inline const QString NotBeginsWith = QStringLiteral("nezačíná");
inline const QString EndsWith = QStringLiteral("končí");
inline const QString NotEndsWith = QStringLiteral("nekončí");
inline const QString Contains = QStringLiteral("obsahuje");
inline const QString NotContains = QStringLiteral("neobsahuje");

// --- Texts of our own.
inline const QString SummarySum = QStringLiteral("Sum - součet");
inline const QString SummaryMin = QStringLiteral("Min - minimum");
inline const QString SummaryMax = QStringLiteral("Max - maximum");
inline const QString FilterAll = QStringLiteral("(Vše)");
inline const QString FilterDialogTitle = QStringLiteral("Vlastní filtr");
inline const QString FilterDialogPrompt = QStringLiteral("Zobrazit řádky, kde sloupec „%1“:");
inline const QString FilterInHint = QStringLiteral("hodnoty oddělte středníkem");
inline const QString FilterSwitch = QStringLiteral("Filtr zapnut");
inline const QString FilterClear = QStringLiteral("Zrušit filtr");
inline const QString ExpandAll = QStringLiteral("Rozbalit vše");
inline const QString CollapseAll = QStringLiteral("Sbalit vše");
inline const QString GroupCount = QStringLiteral("počet %1");
inline const QString Yes = QStringLiteral("ano");
inline const QString No = QStringLiteral("ne");
inline const QString Ok = QStringLiteral("OK");
inline const QString Cancel = QStringLiteral("Zrušit");
inline const QString ExportSheet = QStringLiteral("Export");
inline const QString InvalidFilterValue = QStringLiteral("Hodnota „%1“ není platná pro sloupec „%2“.");
inline const QString SearchPrefix = QStringLiteral("Hledat: %1");

} // namespace lerk::GridTexts
