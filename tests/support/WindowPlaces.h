#pragma once
// Where the X server has put top-level windows, told by the server's own structure events on a
// connection of its own: the place each window was mapped at, then every move and resize while it
// stays mapped. A window manager's frame stands for the window it holds (the rectangle is the
// frame's). Made before the windows it is to see are mapped.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QRect>

#include <memory>

struct xcb_connection_t;

class WindowPlaces {
public:
    WindowPlaces();
    ~WindowPlaces();

    bool isConnected() const { return m_connection != nullptr; }
    // The places of the latest window mapped with this title, oldest first; empty before one is.
    QList<QRect> placesOf(const QByteArray &title);
    // The places as "x,y wxh; ..." for a failure message.
    static std::string describe(const QList<QRect> &places);

private:
    struct Window {
        QRect geometry;
        quint32 client = 0; // the window it holds when it is a window manager's frame
        bool mapped = false;
    };
    void read();
    QByteArray titleOf(quint32 window) const;
    void recordPlace(quint32 topLevel);

    xcb_connection_t *m_connection = nullptr;
    quint32 m_root = 0;
    quint32 m_netWmName = 0;
    QHash<quint32, Window> m_topLevels;    // children of the root
    QHash<quint32, QList<QRect>> m_places; // by the window that was mapped (the client)
    QHash<QByteArray, quint32> m_latestByTitle;
};
