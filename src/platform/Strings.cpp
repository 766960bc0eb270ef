#include "platform/Strings.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QTranslator>

namespace Strings {

void install()
{
    static bool installed = false;
    if (installed || !QCoreApplication::instance())
        return;
    installed = true;
    QDirIterator it(QStringLiteral(":/strings"), {QStringLiteral("*.qm")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        auto *translator = new QTranslator(QCoreApplication::instance());
        if (translator->load(it.next()))
            QCoreApplication::installTranslator(translator);
        else
            delete translator;
    }
}

QString text(const char *key) { return qtTrId(key); }

QString text(const QString &key)
{
    const QByteArray id = key.toUtf8();
    return qtTrId(id.constData());
}

} // namespace Strings
