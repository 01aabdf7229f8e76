#include "driver_hooks.h"

#include <QMessageBox>
#include <QApplication>
#include <QRegularExpression>

namespace varnel::picture {

QString notAnIntegerMessage(const QString &text)
{
    return QStringLiteral("'%1' is not a valid integer value").arg(text);
}

bool parseDecimalInteger(const QString &text, int &value)
{
    static const QRegularExpression decimal(QStringLiteral("^\\s*[+-]?[0-9]+\\s*$"));
    if (!decimal.match(text).hasMatch())
        return false;
    bool ok = false;
    const int v = text.trimmed().toInt(&ok, 10);
    if (ok)
        value = v;
    return ok;
}

MessageSink &messageSink()
{
    static MessageSink sink = [](QWidget *parent, const QString &text) {
        QMessageBox::warning(parent, QApplication::applicationName(), text);
    };
    return sink;
}

}  // namespace varnel::picture
