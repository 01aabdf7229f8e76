#pragma once
// Shared pieces of the widget tests.
// ConnectedDriver: a driver with the real register ranges and a recording TCP
// transport, marked connected; `sent()` lists the commands written since the last
// `clearSent()`, `report("BR10")` feeds one line from the device.
// Thumb helpers find the scrollbar's handle and drag it with real mouse events.

#include "driver_hooks.h"
#include "vrk_610_d.h"

#include <QApplication>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStringList>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QWheelEvent>

#include <memory>
#include <string>

namespace varnel::picture::test {

class RecordingTransport : public LinkTransport {
public:
    void write(std::string_view text) override { writes << QString::fromLatin1(text.data(), qsizetype(text.size())); }
    QStringList writes;
};

struct ConnectedDriver {
    ConnectedDriver()
    {
        auto t = std::make_unique<RecordingTransport>();
        tcp = t.get();
        driver.SetRanges(&VarRanges, false);
        driver.setTransport(tConnectionType::CON_TCP, std::move(t));
        driver.setConType(tConnectionType::CON_TCP);
        driver.setConMode(tConnectionMode::MODE_VAR);  // connected
        tcp->writes.clear();
    }
    QStringList sent() const { return tcp->writes; }
    void clearSent() { tcp->writes.clear(); }
    void report(const std::string &line) { driver.ReceiveText(line + "\r\n"); }
    /// Loses the device: the supervision declares the link down (OnConnected fires).
    void loseDevice()
    {
        driver.setLinkState(LS_WAIT);
        driver.TimerTick();
        driver.TimerTick();
    }

    TVRK_610_d driver;
    RecordingTransport *tcp = nullptr;
};

/// Records the entry error messages instead of opening message boxes.
struct MessageRecorder {
    MessageRecorder()
    {
        saved = messageSink();
        messageSink() = [this](QWidget *, const QString &text) { messages << text; };
    }
    ~MessageRecorder() { messageSink() = saved; }
    QStringList messages;
    MessageSink saved;
};

inline QRect handleRect(QScrollBar *bar)
{
    QStyleOptionSlider opt;
    opt.initFrom(bar);
    opt.subControls = QStyle::SC_All;
    opt.orientation = bar->orientation();
    if (bar->orientation() == Qt::Horizontal)
        opt.state |= QStyle::State_Horizontal;
    opt.minimum = bar->minimum();
    opt.maximum = bar->maximum();
    opt.sliderPosition = bar->sliderPosition();
    opt.sliderValue = bar->value();
    opt.singleStep = bar->singleStep();
    opt.pageStep = bar->pageStep();
    opt.upsideDown = bar->invertedAppearance();
    return bar->style()->subControlRect(QStyle::CC_ScrollBar, &opt, QStyle::SC_ScrollBarSlider, bar);
}

inline void sendMouse(QWidget *w, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent e(type, QPointF(pos), QPointF(w->mapToGlobal(pos)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

inline void wheel(QWidget *w, int angle)
{
    const QPointF pos(w->width() / 2.0, w->height() / 2.0);
    QWheelEvent e(pos, w->mapToGlobal(pos), QPoint(), QPoint(0, angle), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                  false);
    QApplication::sendEvent(w, &e);
}

}  // namespace varnel::picture::test
