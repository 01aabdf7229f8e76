#pragma once
// TGestionSlide: presents the pages of a QTabWidget as a column of page buttons
// with sliding panels. Clicking a page button slides the shown panel out and the
// page's panel in; clicks made while a slide runs are queued and played in order.
// The buttons are reachable with Tab, moved between with Up/Down and pressed with
// Space or Enter.

#include <QFrame>
#include <QPointer>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

#include <deque>
#include <stdexcept>
#include <vector>

class QVBoxLayout;

namespace varnel::picture {

/// Raised when ItemIndex is used before a page control is given.
class EGestionSlide : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

class TGestionSlide : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int ItemIndex READ ItemIndex WRITE setItemIndex NOTIFY changed)
public:
    static constexpr int kQueueCapacity = 253;

    explicit TGestionSlide(QWidget *parent = nullptr);
    ~TGestionSlide() override;

    /// Takes the pages of `pages` (which is hidden); the previous page control gets
    /// its pages back and is shown again. nullptr gives the pages back only.
    void setPageControl(QTabWidget *pages);
    QTabWidget *PageControl() const { return m_pageControl; }

    int ItemIndex() const { return m_itemIndex; }
    /// Clicks button i; -1 closes the shown page. Throws EGestionSlide without a page control.
    void setItemIndex(int i);

    int SlideTop() const { return m_slideTop; }
    void setSlideTop(int v);
    int SlideLeft() const { return m_slideLeft; }
    void setSlideLeft(int v);
    int Speed() const { return m_speed; }
    void setSpeed(int v) { m_speed = std::uint8_t(std::clamp(v, 0, 255)); }
    int Space() const { return m_space; }
    void setSpace(int v);
    Qt::ToolButtonStyle Layouts() const { return m_layouts; }
    void setLayouts(Qt::ToolButtonStyle style);
    bool WithClose() const { return m_withClose; }
    void setWithClose(bool on);
    bool WithSensThereforeNotWithClose() const { return m_withSens; }
    void setWithSensThereforeNotWithClose(bool on);
    bool Enlarge() const { return m_enlarge; }
    void setEnlarge(bool on) { m_enlarge = on; }
    bool ISlide() const { return m_iSlide; }
    void setISlide(bool on) { m_iSlide = on; }
    int Layer() const { return m_layer; }
    void setLayer(int layer) { m_layer = layer; }
    int Position() const { return m_position; }
    void setPosition(int position) { m_position = position; }

    /// Milliseconds between two animation steps.
    int tickInterval() const { return m_timer.interval(); }
    void setTickInterval(int ms) { m_timer.setInterval(ms); }

    bool isSliding() const { return m_sliding; }
    int pendingClicks() const { return int(m_queue.size()); }
    int pageCount() const { return int(m_pages.size()); }
    QToolButton *button(int i) const;
    QFrame *panel(int i) const;
    /// One animation step (the timer calls it; tests may too).
    void tick();

    /// The arrangement of the "Settings" window: buttons 155 pixels wide at the
    /// left, panels beside them from the top, glyphs above captions, a gap of one
    /// pixel, sliding on, no closing by a second click, and page 0 shown.
    void setupAsSettingsPages(QTabWidget *pages);

    /// The signed move of one step toward a target `remaining` pixels away:
    /// round(|remaining| / speed + 0.5), at least one pixel, never past the target.
    static int slideStep(int remaining, int speed);

signals:
    void changed();
    void mouseDown(int index);
    void finishSlide();

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Page {
        QPointer<QWidget> widget;
        QString caption;
        QIcon icon;
        bool visible = true;
        QToolButton *button = nullptr;
        QFrame *panel = nullptr;
    };
    void returnPages();
    void buildPanels();
    void click(int index);
    void startSlide(int index);
    void finish();
    void layoutChildren();
    QRect stageRect() const;
    QSize panelSize(const Page &page) const;
    void markButtons();
    void moveFocus(int from, int direction);

    QPointer<QTabWidget> m_pageControl;
    std::vector<Page> m_pages;
    bool m_panelsBuilt = false;
    QWidget *m_column;
    QVBoxLayout *m_columnLayout;
    QWidget *m_stage;
    QTimer m_timer;

    int m_itemIndex = -1;
    int m_previous = -1;
    bool m_sliding = false;
    QPointer<QFrame> m_in;
    QPointer<QFrame> m_out;
    int m_inTarget = 0;
    int m_outTarget = 0;
    std::deque<int> m_queue;

    int m_slideTop = 0;
    int m_slideLeft = 155;
    std::uint8_t m_speed = 4;
    int m_space = 0;
    Qt::ToolButtonStyle m_layouts = Qt::ToolButtonTextUnderIcon;
    bool m_withClose = false;
    bool m_withSens = false;
    bool m_enlarge = true;
    bool m_iSlide = false;
    int m_layer = 1;
    int m_position = 1;
};

}  // namespace varnel::picture
