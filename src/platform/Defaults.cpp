#include "platform/Defaults.h"

#include "platform/DispatchQueue.h"
#include "platform/Log.h"
#include "platform/Paths.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <memory>

namespace {
const QString kType = QStringLiteral("t");
const QString kValue = QStringLiteral("v");

// Brings every integer to qint64 and every float to double, so reads compare one type.
QVariant normalized(const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::ULongLong: return QVariant::fromValue(value.toLongLong());
    case QMetaType::Float: return QVariant::fromValue(value.toDouble());
    case QMetaType::QVariantList: {
        QVariantList list;
        for (const QVariant &item : value.toList())
            list.append(normalized(item));
        return list;
    }
    case QMetaType::QVariantMap: {
        QVariantMap map;
        const QVariantMap source = value.toMap();
        for (auto it = source.cbegin(); it != source.cend(); ++it)
            map.insert(it.key(), normalized(it.value()));
        return map;
    }
    default: return value;
    }
}

// Never destroyed: any object may read a setting while it stops; the program flushes the standard
// instance explicitly before it ends.
std::unique_ptr<Defaults> &standardInstance()
{
    static auto *instance = new std::unique_ptr<Defaults>;
    return *instance;
}
QMutex g_standardMutex;

// Never destroyed, like the writer: instances write through it until the process ends.
std::function<void()> &writeHook()
{
    static auto *hook = new std::function<void()>;
    return *hook;
}

// Writes the changes made on the GUI thread. Never destroyed: instances flush through it until
// the process ends.
SerialQueue &writerQueue()
{
    static auto *queue = new SerialQueue(QStringLiteral("com.tavi.defaultsWriter"));
    return *queue;
}
} // namespace

Defaults::Defaults(QString filePath) : m_path(std::move(filePath)) { load(); }

Defaults::~Defaults()
{
    if (m_usedWriter.load())
        writerQueue().drain(); // no queued write may outlive this
    flush();
}

Defaults &Defaults::standard()
{
    QMutexLocker lock(&g_standardMutex);
    auto &instance = standardInstance();
    if (!instance)
        instance = std::make_unique<Defaults>(Paths::configDirectory() + QStringLiteral("/defaults.json"));
    return *instance;
}

void Defaults::resetStandard(const QString &filePath)
{
    QMutexLocker lock(&g_standardMutex);
    const QString path = filePath.isEmpty() ? Paths::configDirectory() + QStringLiteral("/defaults.json") : filePath;
    // The old object is kept alive: AutoCache values and other threads may still point at it.
    static auto *retired = new std::vector<std::unique_ptr<Defaults>>;
    if (standardInstance()) {
        standardInstance()->flush();
        retired->push_back(std::move(standardInstance()));
    }
    standardInstance() = std::make_unique<Defaults>(path);
}

QJsonValue Defaults::encode(const QVariant &input)
{
    const QVariant value = normalized(input);
    QJsonObject tagged;
    switch (value.metaType().id()) {
    case QMetaType::Bool:
        tagged[kType] = QStringLiteral("bool");
        tagged[kValue] = value.toBool();
        break;
    case QMetaType::LongLong:
        tagged[kType] = QStringLiteral("int");
        tagged[kValue] = QString::number(value.toLongLong());
        break;
    case QMetaType::Double:
        tagged[kType] = QStringLiteral("double");
        tagged[kValue] = value.toDouble();
        break;
    case QMetaType::QString:
        tagged[kType] = QStringLiteral("string");
        tagged[kValue] = value.toString();
        break;
    case QMetaType::QStringList:
        tagged[kType] = QStringLiteral("stringList");
        tagged[kValue] = QJsonArray::fromStringList(value.toStringList());
        break;
    case QMetaType::QByteArray:
        tagged[kType] = QStringLiteral("data");
        tagged[kValue] = QString::fromLatin1(value.toByteArray().toBase64());
        break;
    case QMetaType::QDateTime:
        tagged[kType] = QStringLiteral("date");
        tagged[kValue] = QString::number(value.toDateTime().toMSecsSinceEpoch());
        break;
    case QMetaType::QVariantList: {
        QJsonArray array;
        for (const QVariant &item : value.toList())
            array.append(encode(item));
        tagged[kType] = QStringLiteral("list");
        tagged[kValue] = array;
        break;
    }
    case QMetaType::QVariantMap: {
        QJsonObject object;
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            object[it.key()] = encode(it.value());
        tagged[kType] = QStringLiteral("map");
        tagged[kValue] = object;
        break;
    }
    default: return QJsonValue(QJsonValue::Undefined);
    }
    return tagged;
}

QVariant Defaults::decode(const QJsonValue &taggedValue, bool *ok)
{
    if (ok)
        *ok = false;
    const QJsonObject tagged = taggedValue.toObject();
    const QString type = tagged.value(kType).toString();
    const QJsonValue raw = tagged.value(kValue);
    auto success = [&](QVariant v) {
        if (ok)
            *ok = true;
        return v;
    };
    if (type == QLatin1String("bool") && raw.isBool())
        return success(raw.toBool());
    if (type == QLatin1String("int") && raw.isString()) {
        bool parsed = false;
        const qint64 n = raw.toString().toLongLong(&parsed);
        return parsed ? success(QVariant::fromValue(n)) : QVariant();
    }
    if (type == QLatin1String("double") && raw.isDouble())
        return success(raw.toDouble());
    if (type == QLatin1String("string") && raw.isString())
        return success(raw.toString());
    if (type == QLatin1String("stringList") && raw.isArray()) {
        QStringList list;
        for (const QJsonValue &item : raw.toArray()) {
            if (!item.isString())
                return {};
            list.append(item.toString());
        }
        return success(list);
    }
    if (type == QLatin1String("data") && raw.isString()) {
        auto result =
            QByteArray::fromBase64Encoding(raw.toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        return result ? success(*result) : QVariant();
    }
    if (type == QLatin1String("date") && raw.isString()) {
        bool parsed = false;
        const qint64 ms = raw.toString().toLongLong(&parsed);
        return parsed ? success(QDateTime::fromMSecsSinceEpoch(ms)) : QVariant();
    }
    if (type == QLatin1String("list") && raw.isArray()) {
        QVariantList list;
        for (const QJsonValue &item : raw.toArray()) {
            bool itemOk = false;
            QVariant decoded = decode(item, &itemOk);
            if (!itemOk)
                return {};
            list.append(decoded);
        }
        return success(list);
    }
    if (type == QLatin1String("map") && raw.isObject()) {
        QVariantMap map;
        const QJsonObject object = raw.toObject();
        for (auto it = object.begin(); it != object.end(); ++it) {
            bool itemOk = false;
            QVariant decoded = decode(it.value(), &itemOk);
            if (!itemOk)
                return {};
            map.insert(it.key(), decoded);
        }
        return success(map);
    }
    return {};
}

void Defaults::load()
{
    QMutexLocker lock(&m_mutex);
    m_values.clear();
    m_unreadable = {};
    QFile file(m_path);
    if (!file.exists())
        return;
    QString problem;
    if (!file.open(QIODevice::ReadOnly)) {
        problem = file.errorString();
    } else {
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
        file.close();
        if (error.error != QJsonParseError::NoError || !document.isObject()) {
            problem =
                error.error != QJsonParseError::NoError ? error.errorString() : QStringLiteral("not a JSON object");
        } else if (!document.object().value(QStringLiteral("values")).isObject()) {
            // Another file's shape: keep it rather than overwrite it with the next write.
            problem = QStringLiteral("no values object");
        } else {
            const QJsonObject values = document.object().value(QStringLiteral("values")).toObject();
            for (auto it = values.begin(); it != values.end(); ++it) {
                bool ok = false;
                QVariant decoded = decode(it.value(), &ok);
                if (ok) {
                    m_values.insert(it.key(), decoded);
                } else {
                    m_unreadable.insert(it.key(), it.value());
                    LOG_WARNING("Defaults::load()",
                                QStringLiteral("Ignoring unreadable value of \"%1\" in %2").arg(it.key(), m_path));
                }
            }
            return;
        }
    }
    const QString aside = Paths::moveAside(m_path, QStringLiteral("corrupt"));
    if (!aside.isEmpty())
        m_keptAsidePath = aside;
    LOG_ERROR("Defaults::load()",
              QStringLiteral("Settings file %1 is unreadable (%2); kept as %3, defaults apply")
                  .arg(m_path, problem, aside.isEmpty() ? QStringLiteral("(could not rename)") : aside));
}

bool Defaults::noteChange()
{
    ++m_changes;
    if (!MainQueue::isCurrent())
        return true;
    // The GUI thread never waits for the disk (a write syncs it): the writer takes the change,
    // with any made before it got to it.
    m_usedWriter.store(true);
    if (!m_writeQueued.exchange(true)) {
        writerQueue().async([this] {
            m_writeQueued.store(false);
            writeLatest();
        });
    }
    return false;
}

bool Defaults::writeLatest()
{
    QMutexLocker writing(&m_writeMutex);
    QVariantMap current;
    QJsonObject values;
    quint64 changes = 0;
    {
        QMutexLocker lock(&m_mutex);
        if (m_changes == m_written)
            return !m_lastWriteFailed;
        current = m_values;
        values = m_unreadable;
        changes = m_changes;
    }
    for (auto it = current.cbegin(); it != current.cend(); ++it) {
        const QJsonValue encoded = encode(it.value());
        if (!encoded.isUndefined())
            values[it.key()] = encoded;
    }
    QJsonObject root;
    root[QStringLiteral("format")] = QStringLiteral("TaviPaste.defaults");
    root[QStringLiteral("version")] = 1;
    root[QStringLiteral("values")] = values;

    Paths::makePrivateDirectory(QFileInfo(m_path).absolutePath());
    QSaveFile file(m_path);
    // The new file replaces the old one: it gets the user's permissions alone before anything is in it.
    const bool written = file.open(QIODevice::WriteOnly)
                         && file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)
                         && file.write(QJsonDocument(root).toJson(QJsonDocument::Indented)) >= 0;
    if (written && writeHook())
        writeHook()();
    if (!written || !file.commit()) {
        LOG_ERROR("Defaults::writeLatest()", QStringLiteral("Could not write %1: %2").arg(m_path, file.errorString()));
        m_lastWriteFailed = true;
        return false;
    }
    m_written = changes;
    m_lastWriteFailed = false;
    return true;
}

void Defaults::setWriteHookForTesting(std::function<void()> hook) { writeHook() = std::move(hook); }

bool Defaults::flush()
{
    // Changes of the GUI thread still queued are written here, or already were.
    return writeLatest();
}

QVariant Defaults::value(const QString &key) const
{
    QMutexLocker lock(&m_mutex);
    return m_values.value(key);
}

bool Defaults::contains(const QString &key) const
{
    QMutexLocker lock(&m_mutex);
    return m_values.contains(key);
}

void Defaults::setValue(const QString &key, const QVariant &value) { setValues({{key, value}}); }

void Defaults::setValues(const QVariantMap &values)
{
    QMutexLocker lock(&m_mutex);
    bool changed = false;
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        const QVariant value = normalized(it.value());
        if (encode(value).isUndefined()) {
            LOG_ERROR("Defaults::setValues()",
                      QStringLiteral("Value of \"%1\" has a type that cannot be stored").arg(it.key()));
            continue;
        }
        auto existing = m_values.constFind(it.key());
        if (existing != m_values.cend() && existing->metaType() == value.metaType() && *existing == value)
            continue;
        m_values.insert(it.key(), value);
        m_unreadable.remove(it.key());
        changed = true;
    }
    if (!changed || !noteChange())
        return;
    lock.unlock();
    writeLatest();
}

void Defaults::remove(const QString &key)
{
    QMutexLocker lock(&m_mutex);
    const bool removed = m_values.remove(key) > 0;
    const bool unreadable = m_unreadable.contains(key);
    m_unreadable.remove(key);
    if ((!removed && !unreadable) || !noteChange())
        return;
    lock.unlock();
    writeLatest();
}

bool Defaults::hasUnreadableEntry(const QString &key) const
{
    QMutexLocker lock(&m_mutex);
    return m_unreadable.contains(key);
}

QString Defaults::keptAsidePath() const
{
    QMutexLocker lock(&m_mutex);
    return m_keptAsidePath;
}

QStringList Defaults::keys() const
{
    QMutexLocker lock(&m_mutex);
    return m_values.keys();
}

QVariantMap Defaults::snapshot() const
{
    QMutexLocker lock(&m_mutex);
    return m_values;
}

void Defaults::reload() { load(); }
