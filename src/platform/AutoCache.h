#pragma once
// A typed value persisted under a name with an initial value and, for a number, the range of values
// it may hold. A stored number of another numeric type, or a number written as text, is read when it
// converts exactly (500.0 or "500" for an integer); a number outside the range cannot be read, like
// a value of another type. Reads give the initial value when the key is absent or its value cannot
// be read, and hasUnreadableValue() tells the two apart. Any thread.

#include "platform/Defaults.h"

#include <QDateTime>
#include <QStringList>

#include <cmath>
#include <optional>
#include <type_traits>
#include <utility>

namespace autocache_detail {

// The stored value as a number when it is one, or text that spells one exactly.
inline std::optional<qint64> exactInteger(const QVariant &v)
{
    switch (v.metaType().id()) {
    case QMetaType::LongLong: return v.toLongLong();
    case QMetaType::Double: {
        const double d = v.toDouble();
        // 2^63 itself is out of range; every double below it in magnitude fits.
        if (!std::isfinite(d) || std::trunc(d) != d || std::fabs(d) >= 9223372036854775808.0)
            return std::nullopt;
        return qint64(d);
    }
    case QMetaType::QString: {
        const QString text = v.toString().trimmed();
        bool ok = false;
        const qint64 n = text.toLongLong(&ok, 10);
        if (ok)
            return n;
        const double d = text.toDouble(&ok); // "500.0"
        return ok ? exactInteger(QVariant(d)) : std::nullopt;
    }
    default: return std::nullopt;
    }
}

inline std::optional<double> number(const QVariant &v)
{
    switch (v.metaType().id()) {
    case QMetaType::Double: return v.toDouble();
    case QMetaType::LongLong: return double(v.toLongLong());
    case QMetaType::QString: {
        bool ok = false;
        const double d = v.toString().trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(d))
            return std::nullopt;
        return d;
    }
    default: return std::nullopt;
    }
}

template <typename T>
struct Codec {
    static std::optional<T> read(const QVariant &v)
    {
        if constexpr (std::is_enum_v<T>) {
            const std::optional<qint64> n = exactInteger(v);
            if (!n || !std::in_range<std::underlying_type_t<T>>(*n))
                return std::nullopt;
            return static_cast<T>(*n);
        } else if constexpr (std::is_same_v<T, bool>) {
            if (v.metaType().id() != QMetaType::Bool)
                return std::nullopt;
            return v.toBool();
        } else if constexpr (std::is_integral_v<T>) {
            const std::optional<qint64> n = exactInteger(v);
            if (!n || !std::in_range<T>(*n))
                return std::nullopt;
            return static_cast<T>(*n);
        } else if constexpr (std::is_floating_point_v<T>) {
            if (const std::optional<double> d = number(v))
                return static_cast<T>(*d);
            return std::nullopt;
        } else {
            if (v.metaType() != QMetaType::fromType<T>())
                return std::nullopt;
            return v.value<T>();
        }
    }
    static QVariant write(const T &value)
    {
        if constexpr (std::is_enum_v<T>)
            return QVariant::fromValue(qint64(value));
        else if constexpr (std::is_same_v<T, bool>)
            return QVariant(value);
        else if constexpr (std::is_integral_v<T>)
            return QVariant::fromValue(qint64(value));
        else if constexpr (std::is_floating_point_v<T>)
            return QVariant::fromValue(double(value));
        else
            return QVariant::fromValue(value);
    }
};

template <typename T>
struct Codec<std::optional<T>> {
    static std::optional<std::optional<T>> read(const QVariant &v)
    {
        if (auto inner = Codec<T>::read(v))
            return std::optional<T>(*inner);
        return std::nullopt;
    }
    static QVariant write(const std::optional<T> &value) { return value ? Codec<T>::write(*value) : QVariant(); }
};

} // namespace autocache_detail

// The values a numeric setting may hold, both ends included.
template <typename T>
struct ValidRange {
    T lowest;
    T highest;
    constexpr bool contains(T value) const { return value >= lowest && value <= highest; } // false for NaN
};

template <typename T>
class AutoCache {
public:
    AutoCache(QString key, T initial, Defaults *store = nullptr)
        : m_key(std::move(key)),
          m_initial(std::move(initial)),
          m_store(store)
    {
    }
    AutoCache(QString key, T initial, ValidRange<T> range, Defaults *store = nullptr) requires std::is_arithmetic_v<T>
        : m_key(std::move(key)), m_initial(std::move(initial)), m_range(range), m_store(store)
    {
    }

    const QString &key() const { return m_key; }
    const T &initialValue() const { return m_initial; }

    T get() const
    {
        if (auto value = read(store().value(m_key)))
            return *value;
        return m_initial;
    }
    void set(const T &value)
    {
        const QVariant encoded = autocache_detail::Codec<T>::write(value);
        if (encoded.isValid())
            store().setValue(m_key, encoded);
        else
            store().remove(m_key);
    }
    bool hasStoredValue() const { return store().contains(m_key); }
    // Whether a value is stored under the key that cannot be read as T (reads then give the
    // initial value): a caller must not act on the initial value as if the user had chosen it.
    bool hasUnreadableValue() const
    {
        const Defaults &defaults = store();
        if (defaults.hasUnreadableEntry(m_key))
            return true;
        const QVariant value = defaults.value(m_key);
        return value.isValid() && !read(value);
    }
    // Whether the stored value is a T outside the valid range (one kind of unreadable value).
    bool hasValueOutOfRange() const
    {
        const std::optional<T> value = autocache_detail::Codec<T>::read(store().value(m_key));
        return value && !inRange(*value);
    }
    void reset() { store().remove(m_key); }

    operator T() const { return get(); }
    AutoCache &operator=(const T &value)
    {
        set(value);
        return *this;
    }

private:
    Defaults &store() const { return m_store ? *m_store : Defaults::standard(); }
    bool inRange(const T &value) const
    {
        if constexpr (std::is_arithmetic_v<T>)
            return !m_range || m_range->contains(value);
        else
            return true;
    }
    std::optional<T> read(const QVariant &stored) const
    {
        std::optional<T> value = autocache_detail::Codec<T>::read(stored);
        if (value && !inRange(*value))
            return std::nullopt;
        return value;
    }

    QString m_key;
    T m_initial;
    std::optional<ValidRange<T>> m_range;
    Defaults *m_store;
};
