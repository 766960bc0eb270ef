// The link view module: the preview's pages in a QWebEngineView of an off-the-record profile.

#include "history/LinkWebView.h"

#include <QCoreApplication>
#include <QOpenGLContext>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>

#include <cstring>
#include <type_traits>

// The context every GL context of the process shares with, which the web engine needs.
Q_GUI_EXPORT QOpenGLContext *qt_gl_global_share_context();
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext *context);

namespace {

// Made with the module rather than at start: the program itself draws without GL. The module is
// loaded off the GUI thread, so the context is made there and handed to the GUI thread.
bool makeShareContext()
{
    if (qt_gl_global_share_context())
        return true;
    if (!QCoreApplication::instance())
        return false;
    auto *context = new QOpenGLContext;
    if (!context->create()) {
        delete context; // the engine draws without the GPU then
        return false;
    }
    // Kept for the life of the process, as the web engine needs.
    context->moveToThread(QCoreApplication::instance()->thread());
    qt_gl_set_global_share_context(context);
    return true;
}

const bool g_shareContextOnLoad = makeShareContext();

// Every request of the preview's pages is put to the preview, which may block it.
class LinkRequestInterceptor : public QWebEngineUrlRequestInterceptor {
public:
    LinkRequestInterceptor(std::function<bool(const QUrl &, LinkWebView::RequestKind, int)> request, QObject *parent)
        : QWebEngineUrlRequestInterceptor(parent),
          m_request(std::move(request))
    {
    }

    void interceptRequest(QWebEngineUrlRequestInfo &info) override
    {
        const auto kind = info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeMainFrame
                              ? LinkWebView::RequestKind::page
                          : info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeSubFrame
                              ? LinkWebView::RequestKind::frame
                              : LinkWebView::RequestKind::resource;
        if (!m_request(info.requestUrl(), kind, int(info.resourceType())))
            info.block(true);
    }

private:
    std::function<bool(const QUrl &, LinkWebView::RequestKind, int)> m_request;
};

int rawStatus(const QWebEnginePage::RenderProcessTerminationStatus &status)
{
    std::underlying_type_t<QWebEnginePage::RenderProcessTerminationStatus> raw;
    std::memcpy(&raw, &status, sizeof raw);
    return int(raw);
}

class LinkWebEngineView final : public LinkWebView {
public:
    LinkWebEngineView(QWidget *parent, Callbacks callbacks)
    {
        if (!g_shareContextOnLoad)
            makeShareContext();
        if (!QCoreApplication::testAttribute(Qt::AA_ShareOpenGLContexts))
            QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
        m_profile = new QWebEngineProfile; // off the record: nothing is kept on disk
        m_profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
        m_profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
        m_profile->setUrlRequestInterceptor(new LinkRequestInterceptor(std::move(callbacks.request), m_profile));
        m_view = new QWebEngineView(parent);
        auto *page = new QWebEnginePage(m_profile, m_view);
        QWebEngineSettings *settings = page->settings();
        settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
        settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
        settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
        settings->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, true);
        settings->setAttribute(QWebEngineSettings::WebRTCPublicInterfacesOnly, true);
        m_view->setPage(page);
        QObject::connect(m_view, &QWebEngineView::loadStarted, m_view, std::move(callbacks.loadStarted));
        QObject::connect(m_view, &QWebEngineView::loadFinished, m_view, std::move(callbacks.loadFinished));
        // The engine may report a status outside the enum (-1): taken by reference and read as
        // its raw value, never loaded as the enum.
        QObject::connect(page, &QWebEnginePage::renderProcessTerminated, m_view,
                         [stopped = std::move(callbacks.rendererStopped)](
                             const QWebEnginePage::RenderProcessTerminationStatus &status, int) {
                             if (const int raw = rawStatus(status); raw != QWebEnginePage::NormalTerminationStatus)
                                 stopped(raw);
                         });
    }

    ~LinkWebEngineView() override
    {
        delete m_view;
        delete m_profile;
    }

    QWidget *widget() override { return m_view; }
    void load(const QUrl &address) override { m_view->load(address); }
    void stop() override { m_view->stop(); }
    QUrl url() const override { return m_view->url(); }
    void runJavaScript(const QString &script) override { m_view->page()->runJavaScript(script); }

private:
    QWebEngineProfile *m_profile = nullptr;
    QWebEngineView *m_view = nullptr;
};

} // namespace

extern "C" Q_DECL_EXPORT LinkWebView *taviMakeLinkWebView(QWidget *parent, LinkWebView::Callbacks callbacks)
{
    return new LinkWebEngineView(parent, std::move(callbacks));
}
