#pragma once

#include <array>

#include <QStatusBar>

class QLabel;

namespace zendrow::ui {

/// The window's status bar: one simple text while idle, or three panels (80, 80 and the rest)
/// that a run fills with its counters.
class StatBar : public QStatusBar {
    Q_OBJECT
public:
    static constexpr int kPanelCount = 3;

    explicit StatBar(QWidget* parent = nullptr);

    bool simplePanel() const { return m_simple; }
    /// On: the simple text shows; off: the three panels show.
    void setSimplePanel(bool on);

    QString simpleText() const;
    void setSimpleText(const QString& text);

    QString panelText(int index) const;
    void setPanelText(int index, const QString& text);

private:
    void fitPanel(int index);

    bool m_simple = true;
    QLabel* m_simpleLabel;
    std::array<QLabel*, kPanelCount> m_panels{};
};

} // namespace zendrow::ui
