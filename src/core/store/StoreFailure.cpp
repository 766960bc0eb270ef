#include "core/store/StoreFailure.h"

#include "core/store/FetchRequest.h"
#include "platform/FailureKind.h"

#include <SQLiteCpp/Exception.h>

#include <sqlite3.h>

QString storeFailureKind(const std::exception &error)
{
    if (const auto *sqlite = dynamic_cast<const SQLite::Exception *>(&error)) {
        // sqlite3_errstr: one fixed text per code.
        return QStringLiteral("SQLite error %1 (%2)")
            .arg(sqlite->getExtendedErrorCode())
            .arg(QString::fromUtf8(sqlite->getErrorStr()));
    }
    return exceptionKind(error);
}

StoreError::Kind StoreError::kind() const
{
    const QVariant code = userInfo.value(QStringLiteral("code"));
    if (!code.isValid())
        return Kind::other;
    switch (code.toInt() & 0xff) {
    case SQLITE_FULL: return Kind::diskFull;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_CANTOPEN:
    case SQLITE_AUTH: return Kind::readOnly;
    case SQLITE_IOERR:
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB: return Kind::ioError;
    default: return Kind::other;
    }
}
