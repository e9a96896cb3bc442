#include "StyleRepository.h"

namespace lerk {

const QString StyleRepository::Ciselniky = QStringLiteral("Číselníky");
const QString StyleRepository::ZelenoCerna = QStringLiteral("ZelenoCerna");
const QString StyleRepository::LimeBlack = QStringLiteral("LimeBlack");
const QString StyleRepository::CxStyle61 = QStringLiteral("cxStyle61");
const QString StyleRepository::Bila = QStringLiteral("Bila");
const QString StyleRepository::Aqua = QStringLiteral("Aqua");

StyleRepository::StyleRepository()
{
    const QColor black(Qt::black);
    setStyle(ZelenoCerna, {QColor(0xE4, 0xF2, 0xE0), black, false});
    setStyle(LimeBlack, {QColor(0xCC, 0xF5, 0x8A), black, false});
    setStyle(CxStyle61, {QColor(0xBF, 0xFF, 0x00), black, true});
    setStyle(Bila, {QColor(Qt::white), black, false});
    setStyle(Aqua, {QColor(0xC8, 0xF4, 0xF4), black, false});

    Sheet ciselniky;
    ciselniky.content = {QColor(0xFB, 0xFC, 0xF8), black, false};
    ciselniky.header = {QColor(0xD9, 0xE4, 0xD2), black, true};
    ciselniky.group = {QColor(0xE9, 0xEE, 0xE4), black, true};
    ciselniky.footer = {QColor(0xE9, 0xEE, 0xE4), black, true};
    ciselniky.selection = {QColor(0x3D, 0x7A, 0x4A), QColor(Qt::white), false};
    ciselniky.inactiveSelection = {QColor(0xA9, 0xC9, 0xAE), black, false};
    setSheet(Ciselniky, ciselniky);
    setSheet(QStringLiteral("Ciselniky"), ciselniky);
}

} // namespace lerk
