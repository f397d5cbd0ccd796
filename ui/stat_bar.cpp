#include "ui/stat_bar.h"

#include <algorithm>

#include <QLabel>

namespace zendrow::ui {

namespace {

// The first two panels are 80 pixels wide, or wider where the font needs it for a counter of
// a few digits, so that "Converted: 1234" is never cut off.
constexpr int kNarrowPanelWidth = 80;

} // namespace

StatBar::StatBar(QWidget* parent) : QStatusBar(parent) {
    m_simpleLabel = new QLabel(this);
    m_simpleLabel->setObjectName(QStringLiteral("StatBarSimpleText"));
    addWidget(m_simpleLabel, 1);
    for (int i = 0; i < kPanelCount; ++i) {
        auto* panel = new QLabel(this);
        panel->setObjectName(QStringLiteral("StatBarPanel%1").arg(i));
        m_panels[i] = panel;
        addWidget(panel, i == kPanelCount - 1 ? 1 : 0);
        if (i < kPanelCount - 1)
            fitPanel(i);
        panel->hide();
    }
}

void StatBar::setSimplePanel(bool on) {
    if (on == m_simple)
        return;
    m_simple = on;
    m_simpleLabel->setVisible(on);
    for (QLabel* panel : m_panels)
        panel->setVisible(!on);
}

QString StatBar::simpleText() const {
    return m_simpleLabel->text();
}

void StatBar::setSimpleText(const QString& text) {
    if (text != m_simpleLabel->text())
        m_simpleLabel->setText(text);
}

QString StatBar::panelText(int index) const {
    return m_panels.at(index)->text();
}

void StatBar::setPanelText(int index, const QString& text) {
    m_panels.at(index)->setText(text);
    if (index < kPanelCount - 1)
        fitPanel(index);
}

void StatBar::fitPanel(int index) {
    QLabel* panel = m_panels[index];
    const QFontMetrics metrics(panel->font());
    const int margins = panel->contentsMargins().left() + panel->contentsMargins().right() + 2 * panel->margin();
    const int needed = std::max(metrics.horizontalAdvance(QStringLiteral("Converted: 0000")),
                                metrics.horizontalAdvance(panel->text())) +
                       margins + 4;
    panel->setFixedWidth(std::max(kNarrowPanelWidth, needed));
}

} // namespace zendrow::ui
