#include "skin/Look.h"

#include "artwork/SkinColours.h"

#include <QApplication>
#include <QStyleFactory>

namespace knetix {

namespace {

using skincolours::kAmber;
using skincolours::kGraphite;
using skincolours::kInk;
const QColor kFace(60, 62, 68);
const QColor kWell(30, 31, 34);
const QColor kInkDisabled(120, 122, 128);
const QColor kOnAmber(20, 20, 22);

} // namespace

QPalette programPalette()
{
    QPalette p;
    p.setColor(QPalette::Window, kGraphite);
    p.setColor(QPalette::WindowText, kInk);
    p.setColor(QPalette::Base, kWell);
    p.setColor(QPalette::AlternateBase, kGraphite.lighter(110));
    p.setColor(QPalette::Text, kInk);
    p.setColor(QPalette::PlaceholderText, kInkDisabled);
    p.setColor(QPalette::Button, kFace);
    p.setColor(QPalette::ButtonText, kInk);
    p.setColor(QPalette::BrightText, kAmber);
    p.setColor(QPalette::Highlight, kAmber);
    p.setColor(QPalette::HighlightedText, kOnAmber);
    p.setColor(QPalette::ToolTipBase, kWell);
    p.setColor(QPalette::ToolTipText, kInk);
    p.setColor(QPalette::Link, kAmber);
    p.setColor(QPalette::LinkVisited, kAmber.darker(120));
    p.setColor(QPalette::Light, kFace.lighter(140));
    p.setColor(QPalette::Midlight, kFace.lighter(120));
    p.setColor(QPalette::Mid, kGraphite.darker(130));
    p.setColor(QPalette::Dark, kWell);
    p.setColor(QPalette::Shadow, QColor(8, 8, 10));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, kInkDisabled);
    p.setColor(QPalette::Disabled, QPalette::Highlight, kFace);
    return p;
}

QString programStyleSheet()
{
    // Menus keep Fusion's own drawing (a style sheet on them would take the
    // check marks away).
    return QStringLiteral("QToolTip { border: 1px solid #ffb034; padding: 2px 4px; }");
}

void applyProgramLook(QApplication& app)
{
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        app.setStyle(fusion);
    app.setPalette(programPalette());
    app.setStyleSheet(programStyleSheet());
}

} // namespace knetix
