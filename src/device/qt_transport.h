#pragma once
// Common ground of the Qt transports: a QObject living on the user-interface
// thread. Calls that come from another thread (the picture transfer worker writes
// and changes the serial rate from its own thread) are posted to that thread in
// the order they were made.

#include "link_interfaces.h"

#include <QByteArray>
#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <string_view>
#include <utility>

namespace varnel {

class QtTransport : public QObject, public LinkTransport {
public:
    using QObject::QObject;

protected:
    bool onOwnThread() const { return QThread::currentThread() == thread(); }

    /// Runs `call` on the transport's thread, after the calls posted before it.
    template <class Call>
    void post(Call &&call)
    {
        QMetaObject::invokeMethod(this, std::forward<Call>(call), Qt::QueuedConnection);
    }

    static QByteArray bytes(std::string_view text) { return QByteArray(text.data(), qsizetype(text.size())); }

    /// Hands an arrival to the driver (which drops it if this transport is no longer selected).
    void deliver(std::string_view text)
    {
        if (LinkHost *h = host())
            h->linkReceived(*this, text);
    }
    /// LinkState := 0.
    void restarted()
    {
        if (LinkHost *h = host())
            h->linkRestarted(*this);
    }
    bool selected() const
    {
        const LinkHost *h = host();
        return h && h->linkSelected(*this);
    }
    void reopenLater()
    {
        if (LinkHost *h = host())
            h->linkReopenLater(*this);
    }
    /// Reports a failure from the event loop, outside the socket call that met it.
    void reportLater(const QString &message)
    {
        post([this, message] {
            if (LinkHost *h = host())
                h->linkFailed(*this, message.toStdString());
        });
    }

    /// Text up to the first zero byte (socket arrivals).
    static std::string_view textUpToZero(const QByteArray &data)
    {
        const qsizetype zero = data.indexOf('\0');
        return std::string_view(data.constData(), std::size_t(zero < 0 ? data.size() : zero));
    }
};

}  // namespace varnel
