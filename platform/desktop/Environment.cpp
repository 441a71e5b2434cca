#include "platform/desktop/Environment.h"

#include <QtGlobal>

namespace kovi {

QString ExpandEnvironmentStrings(const QString& text) {
    QString result;
    qsizetype position = 0;
    while (position < text.size()) {
        const qsizetype open = text.indexOf(u'%', position);
        const qsizetype close = open < 0 ? -1 : text.indexOf(u'%', open + 1);
        if (close < 0) {
            result += text.mid(position);
            break;
        }
        result += text.mid(position, open - position);
        const QString name = text.mid(open + 1, close - open - 1);
        if (!name.isEmpty() && qEnvironmentVariableIsSet(name.toLocal8Bit().constData())) {
            result += qEnvironmentVariable(name.toLocal8Bit().constData());
            position = close + 1;
        } else {
            // An unknown name stays, and its closing % may open the next one.
            result += text.mid(open, close - open);
            position = close;
        }
    }
    return result;
}

} // namespace kovi
