#pragma once
// Helpers for widgets that follow driver notifications. The driver holds one
// handler per event; a binding that adds itself keeps the handler that was
// installed before and calls it first, so the window's own handler and any number
// of bindings can follow the same register.

#include "vrk_610_d.h"

#include <QObject>
#include <QPointer>

#include <functional>

namespace varnel::picture {

/// Adds `fn` after the handler currently installed for `event`. `fn` is skipped
/// once `owner` is destroyed (the previous handler still runs).
inline void chainHandler(TVRK_610_d &driver, EventId event, QObject *owner, std::function<void()> fn)
{
    auto previous = driver.handler(event);
    QPointer<QObject> guard(owner);
    driver.setHandler(event, [previous, guard, fn = std::move(fn)](TVRK_610_d &d, int tag) {
        if (previous)
            previous(d, tag);
        if (guard)
            fn();
    });
}

/// The message shown for an edit entry that is not a decimal integer.
QString notAnIntegerMessage(const QString &text);

/// Reads a decimal integer (optional sign, blanks around it allowed).
bool parseDecimalInteger(const QString &text, int &value);

/// Where entry errors are shown. The default opens a warning message box; tests
/// install a recorder.
using MessageSink = std::function<void(QWidget *parent, const QString &text)>;
MessageSink &messageSink();

}  // namespace varnel::picture
