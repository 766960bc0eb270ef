#pragma once
// A typed value persisted under a name with an initial value. Reads give the initial value when
// the key is absent or holds a value of another type. Any thread.

#include "platform/Defaults.h"

#include <QDateTime>
#include <QStringList>
#include <type_traits>
#include <utility>

namespace autocache_detail {

template <typename T> struct Codec {
    static std::optional<T> read(const QVariant &v)
    {
        if constexpr (std::is_enum_v<T>) {
            if (v.metaType().id() != QMetaType::LongLong)
                return std::nullopt;
            return static_cast<T>(v.toLongLong());
        } else if constexpr (std::is_same_v<T, bool>) {
            if (v.metaType().id() != QMetaType::Bool)
                return std::nullopt;
            return v.toBool();
        } else if constexpr (std::is_integral_v<T>) {
            if (v.metaType().id() != QMetaType::LongLong)
                return std::nullopt;
            const qint64 n = v.toLongLong();
            if (!std::in_range<T>(n))
                return std::nullopt;
            return static_cast<T>(n);
        } else if constexpr (std::is_floating_point_v<T>) {
            const int id = v.metaType().id();
            if (id == QMetaType::Double)
                return static_cast<T>(v.toDouble());
            if (id == QMetaType::LongLong)
                return static_cast<T>(v.toLongLong());
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

template <typename T> struct Codec<std::optional<T>> {
    static std::optional<std::optional<T>> read(const QVariant &v)
    {
        if (auto inner = Codec<T>::read(v))
            return std::optional<T>(*inner);
        return std::nullopt;
    }
    static QVariant write(const std::optional<T> &value) { return value ? Codec<T>::write(*value) : QVariant(); }
};

} // namespace autocache_detail

template <typename T> class AutoCache {
public:
    AutoCache(QString key, T initial, Defaults *store = nullptr)
        : m_key(std::move(key)), m_initial(std::move(initial)), m_store(store) {}

    const QString &key() const { return m_key; }
    const T &initialValue() const { return m_initial; }

    T get() const
    {
        if (auto value = autocache_detail::Codec<T>::read(store().value(m_key)))
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
    void reset() { store().remove(m_key); }

    operator T() const { return get(); }
    AutoCache &operator=(const T &value)
    {
        set(value);
        return *this;
    }

private:
    Defaults &store() const { return m_store ? *m_store : Defaults::standard(); }

    QString m_key;
    T m_initial;
    Defaults *m_store;
};
