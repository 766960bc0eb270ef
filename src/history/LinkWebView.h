#pragma once
// The link preview's web view: made by the link view module (the only code linking Qt WebEngine),
// loaded when the first page is to show. Its pages use a profile of their own, off the record
// (no cookies or cache on disk), and every request they make is put to `request` first. GUI thread.

#include <QString>
#include <QUrl>

#include <functional>

class QWidget;

class LinkWebView {
public:
    enum class RequestKind { page, frame, resource };

    struct Callbacks {
        // Whether a request of the pages may go (false blocks it); `resourceType` is the engine's code.
        std::function<bool(const QUrl &target, RequestKind kind, int resourceType)> request;
        std::function<void()> loadStarted;
        std::function<void(bool ok)> loadFinished;
        // The page's renderer ended other than normally.
        std::function<void(int status)> rendererStopped;
    };

    // The view goes before the profile it was made with.
    virtual ~LinkWebView() = default;
    // The view's widget, a child of the parent it was made with.
    virtual QWidget *widget() = 0;
    virtual void load(const QUrl &address) = 0;
    virtual void stop() = 0;
    virtual QUrl url() const = 0;
    virtual void runJavaScript(const QString &script) = 0;
};

using LinkWebViewEntry = LinkWebView *(*)(QWidget *parent, LinkWebView::Callbacks callbacks);
inline constexpr char kLinkViewModule[] = "linkview";
inline constexpr char kLinkWebViewEntry[] = "taviMakeLinkWebView";
