#include "history/LinkContentViewController.h"

#include "history/ImageLoader.h"
#include "history/NamedImages.h"
#include "platform/Log.h"
#include "platform/Strings.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#ifdef TAVI_HAVE_WEBENGINE
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>
#endif

namespace {
constexpr int kWidth = 480;
constexpr int kHeight = 360;

bool isLoadable(const QUrl &url)
{
    return url.isValid() && !url.host().isEmpty() && (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
}
} // namespace

LinkContentViewController::LinkContentViewController(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("LinkContentViewController"));
    setFixedSize(kWidth, kHeight);
    progressIndicator = new QProgressBar(this);
    progressIndicator->setRange(0, 0);
    progressIndicator->setTextVisible(false);
    progressIndicator->setFixedWidth(120);
    progressIndicator->hide();
    reloadBtn = new QToolButton(this);
    reloadBtn->setObjectName(QStringLiteral("reloadBtn"));
    reloadBtn->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    reloadBtn->setToolTip(L("Category.Preview.Reload"));
    reloadBtn->setAutoRaise(true);
    reloadBtn->setFocusPolicy(Qt::NoFocus);
    reloadBtn->hide();
    connect(reloadBtn, &QToolButton::clicked, this, &LinkContentViewController::reloadBtnAction);

    m_fallback = new QWidget(this);
    m_fallbackIcon = new QLabel(m_fallback);
    m_fallbackIcon->setAlignment(Qt::AlignCenter);
    m_fallbackAddress = new QLabel(m_fallback);
    m_fallbackAddress->setTextFormat(Qt::PlainText);
    m_fallbackAddress->setWordWrap(true);
    m_fallbackAddress->setAlignment(Qt::AlignCenter);
    m_fallbackAddress->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *card = new QVBoxLayout(m_fallback);
    card->addStretch();
    card->addWidget(m_fallbackIcon);
    card->addWidget(m_fallbackAddress);
    card->addStretch();
    m_fallback->hide();
    m_empty = new QLabel(L("Category.Preview.NoPage"), this);
    m_empty->setAlignment(Qt::AlignCenter);
    m_empty->setEnabled(false);

    m_timeout = new QTimer(this);
    m_timeout->setSingleShot(true);
    m_timeout->setInterval(kTimeoutSeconds * 1000);
    connect(m_timeout, &QTimer::timeout, this, [this] {
        LOG_INFO("LinkContentViewController", QStringLiteral("A page did not load within %1 s").arg(kTimeoutSeconds));
#ifdef TAVI_HAVE_WEBENGINE
        if (linkWebView)
            linkWebView->stop();
#endif
        didFinishNavigation(false);
    });

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    auto *bar = new QHBoxLayout;
    bar->addStretch();
    bar->addWidget(progressIndicator);
    bar->addWidget(reloadBtn);
    bar->addStretch();
    layout->addLayout(bar);
    layout->addWidget(m_fallback, 1);
    layout->addWidget(m_empty, 1);
}

LinkContentViewController::~LinkContentViewController()
{
#ifdef TAVI_HAVE_WEBENGINE
    // The page goes before the profile it was made with.
    delete linkWebView;
    linkWebView = nullptr;
#endif
}

bool LinkContentViewController::webEngineUsable()
{
#ifdef TAVI_HAVE_WEBENGINE
    return QGuiApplication::platformName() != QLatin1String("offscreen") && qEnvironmentVariableIsEmpty("TAVI_NO_WEB_ENGINE");
#else
    return false;
#endif
}

bool LinkContentViewController::isShowingFallback() const
{
    return !m_fallback->isHidden();
}

void LinkContentViewController::configure(const QString &link)
{
    const QUrl parsed(link.trimmed(), QUrl::StrictMode);
    if (isLoadable(parsed)) {
        url = parsed;
    } else {
        // Never the previous item's page: a link that may not load leaves the preview empty.
        url = QUrl();
        LOG_INFO("LinkContentViewController.configure", QStringLiteral("A link with scheme \"%1\" is not loaded").arg(parsed.scheme().left(16)));
    }
}

void LinkContentViewController::ensureWebView()
{
#ifdef TAVI_HAVE_WEBENGINE
    if (linkWebView || m_engineFailed)
        return;
    m_profile = new QWebEngineProfile(this); // off the record: nothing is kept on disk
    m_profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    m_profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    linkWebView = new QWebEngineView(this);
    auto *page = new QWebEnginePage(m_profile, linkWebView);
    QWebEngineSettings *settings = page->settings();
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    settings->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, true);
    linkWebView->setPage(page);
    linkWebView->setFocusPolicy(Qt::NoFocus);
    linkWebView->hide();
    static_cast<QVBoxLayout *>(layout())->insertWidget(1, linkWebView, 1);
    connect(linkWebView, &QWebEngineView::loadStarted, this, &LinkContentViewController::didStartProvisionalNavigation);
    connect(linkWebView, &QWebEngineView::loadFinished, this, &LinkContentViewController::didFinishNavigation);
    connect(page, &QWebEnginePage::renderProcessTerminated, this, [this](QWebEnginePage::RenderProcessTerminationStatus status, int) {
        if (status == QWebEnginePage::NormalTerminationStatus)
            return;
        m_engineFailed = true;
        showFallback(QStringLiteral("the page's renderer stopped (status %1)").arg(int(status)));
    });
#endif
}

void LinkContentViewController::showFallback(const QString &reason)
{
    LOG_INFO("LinkContentViewController", QStringLiteral("Link preview falls back to a card: %1").arg(reason));
    m_timeout->stop();
#ifdef TAVI_HAVE_WEBENGINE
    if (linkWebView)
        linkWebView->hide();
#endif
    progressIndicator->hide();
    reloadBtn->hide();
    m_empty->hide();
    m_fallbackAddress->setText(url.toString());
    m_fallbackIcon->setPixmap(namedImage(QStringLiteral("website_default"), 64));
    const QUrl favicon = url.resolved(QUrl(QStringLiteral("/favicon.ico")));
    ImageLoader::shared().load(favicon, this, [this](const QPixmap &icon) {
        m_fallbackIcon->setPixmap(icon.scaled(64, 64, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    });
    m_fallback->show();
}

void LinkContentViewController::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_fallback->hide();
    reloadBtn->hide();
    progressIndicator->hide();
    if (url.isEmpty()) {
#ifdef TAVI_HAVE_WEBENGINE
        if (linkWebView) {
            linkWebView->hide();
            linkWebView->setUrl(QUrl(QStringLiteral("about:blank")));
        }
#endif
        m_empty->show();
        return;
    }
    m_empty->hide();
    if (!webEngineUsable() || m_engineFailed) {
        showFallback(m_engineFailed ? QStringLiteral("the web engine stopped earlier") : QStringLiteral("the web engine is not available here"));
        return;
    }
    ensureWebView();
#ifdef TAVI_HAVE_WEBENGINE
    if (linkWebView) {
        linkWebView->load(url);
        m_timeout->start();
    }
#endif
}

void LinkContentViewController::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_timeout->stop();
#ifdef TAVI_HAVE_WEBENGINE
    if (linkWebView) {
        linkWebView->stop();
        linkWebView->page()->runJavaScript(kPauseVideosScript);
    }
#endif
}

void LinkContentViewController::reloadBtnAction()
{
#ifdef TAVI_HAVE_WEBENGINE
    if (linkWebView) {
        linkWebView->reload();
        m_timeout->start();
    }
#endif
}

void LinkContentViewController::didStartProvisionalNavigation()
{
#ifdef TAVI_HAVE_WEBENGINE
    if (linkWebView)
        linkWebView->hide();
#endif
    progressIndicator->show();
    reloadBtn->hide();
}

void LinkContentViewController::didFinishNavigation(bool ok)
{
    m_timeout->stop();
    progressIndicator->hide();
    if (!ok) {
        reloadBtn->show();
        return;
    }
#ifdef TAVI_HAVE_WEBENGINE
    if (linkWebView)
        linkWebView->show();
#endif
}
