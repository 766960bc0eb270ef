#include "history/LinkContentViewController.h"

#include "core/LocalNetwork.h"
#include "core/PBLinkItemProvider.h"
#include "history/ImageLoader.h"
#include "history/ItemActions.h"
#include "history/LinkAddressGuard.h"
#include "history/LinkPreviewEngine.h"
#include "history/NamedImages.h"
#include "platform/LoadableModule.h"
#include "platform/Log.h"
#include "platform/Strings.h"
#include "platform/Workspace.h"

#include <QFontMetrics>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

namespace {
constexpr int kWidth = 480;
constexpr int kHeight = 360;
constexpr int kIconSize = 64;
constexpr int kCardMargin = 24;

constexpr int kRefusalsLogged = 20;

constexpr int kAddressLines = 3;

// An address broken anywhere into lines of the width (it has no blanks to break at), at most a
// few, the last one cut in the middle.
QString addressLines(const QString &address, const QFontMetrics &metrics, int width)
{
    QStringList lines;
    QString rest = address;
    while (!rest.isEmpty() && lines.size() < kAddressLines - 1) {
        qsizetype fits = 1;
        while (fits < rest.size() && metrics.horizontalAdvance(rest.left(fits + 1)) <= width)
            ++fits;
        lines.append(rest.left(fits));
        rest = rest.mid(fits);
    }
    if (!rest.isEmpty())
        lines.append(metrics.elidedText(rest, Qt::ElideMiddle, width));
    return lines.join(QLatin1Char('\n'));
}

QLabel *centredLabel(QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignCenter);
    return label;
}
} // namespace

LinkContentViewController::LinkContentViewController(QWidget *parent, EngineUse engineUse)
    : QWidget(parent),
      m_engineUse(engineUse)
{
    setObjectName(QStringLiteral("LinkContentViewController"));
    setFixedSize(kWidth, kHeight);
    m_guard = new LinkAddressGuard(this);
    progressIndicator = new QProgressBar(this);
    progressIndicator->setRange(0, 0);
    progressIndicator->setTextVisible(false);
    progressIndicator->setFixedWidth(120);
    progressIndicator->hide();

    auto *cardFrame = new QFrame(this);
    cardFrame->setObjectName(QStringLiteral("linkCard"));
    cardFrame->setFrameShape(QFrame::StyledPanel);
    cardFrame->setBackgroundRole(QPalette::Base);
    cardFrame->setAutoFillBackground(true);
    m_card = cardFrame;
    m_cardIcon = new QLabel(m_card);
    m_cardIcon->setAlignment(Qt::AlignCenter);
    m_cardTitle = centredLabel(m_card);
    QFont titleFont = m_cardTitle->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.15);
    m_cardTitle->setFont(titleFont);
    m_cardAddressLabel = centredLabel(m_card);
    m_cardDetail = centredLabel(m_card);
    m_cardDetail->setForegroundRole(QPalette::PlaceholderText);
    loadButton = new QPushButton(L("Category.Preview.LoadPage"), m_card);
    loadButton->setObjectName(QStringLiteral("loadButton"));
    reloadBtn = new QPushButton(L("Category.Preview.TryAgain"), m_card);
    reloadBtn->setObjectName(QStringLiteral("reloadBtn"));
    reloadBtn->setToolTip(L("Category.Preview.Reload"));
    openButton = new QPushButton(L("Category.List.Menu.OpenViaBrowser"), m_card);
    openButton->setObjectName(QStringLiteral("openButton"));
    for (QPushButton *button : {loadButton, reloadBtn, openButton})
        button->setFocusPolicy(Qt::NoFocus); // the list keeps the keyboard
    connect(loadButton, &QPushButton::clicked, this, &LinkContentViewController::loadThisPage);
    connect(reloadBtn, &QPushButton::clicked, this, &LinkContentViewController::reloadBtnAction);
    connect(openButton, &QPushButton::clicked, this, &LinkContentViewController::openInBrowser);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(loadButton);
    buttons->addWidget(reloadBtn);
    buttons->addWidget(openButton);
    buttons->addStretch();
    auto *card = new QVBoxLayout(m_card);
    card->setContentsMargins(kCardMargin, 12, kCardMargin, 12);
    card->setSpacing(8);
    card->addStretch();
    card->addWidget(m_cardIcon);
    card->addWidget(m_cardTitle);
    card->addWidget(m_cardAddressLabel);
    card->addWidget(m_cardDetail);
    card->addSpacing(4);
    card->addLayout(buttons);
    card->addStretch();
    m_card->hide();
    m_empty = centredLabel(this);
    m_empty->setText(L("Category.Preview.NoPage"));
    m_empty->setEnabled(false);

    m_timeout = new QTimer(this);
    m_timeout->setSingleShot(true);
    m_timeout->setInterval(kTimeoutSeconds * 1000);
    connect(m_timeout, &QTimer::timeout, this, [this] {
        LOG_INFO("LinkContentViewController", QStringLiteral("A page did not load within %1 s").arg(kTimeoutSeconds));
        const QUrl address = m_held ? m_held->target : url;
        m_held.reset();
        showCard(Showing::couldNotLoad, address);
    });

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    auto *bar = new QHBoxLayout;
    bar->addStretch();
    bar->addWidget(progressIndicator);
    bar->addStretch();
    layout->addLayout(bar);
    layout->addWidget(m_card, 1);
    layout->addWidget(m_empty, 1);
}

LinkContentViewController::~LinkContentViewController() = default;

bool LinkContentViewController::mayStartEngine() const
{
    if (m_engineFailed)
        return false;
#ifdef TAVI_HAVE_WEBENGINE
    return m_engineUse == EngineUse::whereverItStarts
           || LinkPreviewEngine::obstacle() == LinkPreviewEngine::Obstacle::none;
#else
    return false;
#endif
}

QString LinkContentViewController::cardText() const
{
    if (m_card->isHidden())
        return {};
    return QStringList{m_cardTitle->text(), m_cardAddress.toString(QUrl::RemoveUserInfo), m_cardDetail->text()}.join(
        QLatin1Char('\n'));
}

void LinkContentViewController::configure(const QString &link)
{
    if (const std::optional<QUrl> web = ItemActions::browserUrl(link)) {
        url = *web;
    } else {
        // Never the previous item's page: a link that may not load leaves the preview empty.
        url = QUrl();
        // Its scheme is copied text too: only its length is told.
        LOG_INFO("LinkContentViewController.configure",
                 QStringLiteral("A link that is not an http or https address is not loaded "
                                "(a scheme of %1 characters)")
                     .arg(QUrl(link.trimmed()).scheme().size()));
    }
    if (isVisible())
        present();
}

void LinkContentViewController::present()
{
    ++m_attempt;
    m_held.reset();
    m_cardAddress = QUrl();
    m_timeout->stop();
    if (url.isEmpty()) {
        clearPage();
        m_card->hide();
        progressIndicator->hide();
        m_empty->show();
        m_showing = Showing::nothing;
        return;
    }
    if (LocalNetwork::isLocalHost(url.host()) && !m_guard->isAllowedOrigin(url)) {
        showCard(Showing::localAddress, url);
        return;
    }
    if (!mayStartEngine()) {
        showCard(Showing::noEngine, url);
        return;
    }
    if (m_guard->isAllowedOrigin(url)) {
        load(url);
        return;
    }
    // The name is looked up before anything is asked of it: it may lead to the local network.
    stopPage();
    showLoading();
    const quint64 attempt = m_attempt;
    const QUrl address = url;
    m_guard->lookUp(address.host(), this, [this, attempt, address](LinkAddressGuard::Reach reach) {
        if (attempt != m_attempt)
            return;
        if (reach == LinkAddressGuard::Reach::outside)
            load(address);
        else
            showCard(reach == LinkAddressGuard::Reach::local ? Showing::localAddress : Showing::couldNotLoad, address);
    });
}

void LinkContentViewController::load(const QUrl &address)
{
    if (!m_webView && !m_engineFailed) {
        // The first page: the module and the engine's libraries load on a worker meanwhile.
        showLoading();
        m_waitingPage = address;
        m_waitingAttempt = m_attempt;
        if (!m_moduleLoading) {
            m_moduleLoading = true;
            LoadableModule::entryLater(QString::fromLatin1(kLinkViewModule), kLinkWebViewEntry,
                                       [self = QPointer<LinkContentViewController>(this)](QFunctionPointer entry) {
                                           if (self)
                                               self->makeWebView(entry);
                                       });
        }
        return;
    }
    if (m_webView && !m_engineFailed) {
        showLoading();
        m_webView->load(address);
        m_timeout->start();
        return;
    }
    showCard(Showing::noEngine, address);
}

void LinkContentViewController::makeWebView(QFunctionPointer entry)
{
    m_moduleLoading = false;
    if (!entry) {
        m_engineFailed = true;
    } else {
        LinkWebView::Callbacks callbacks;
        callbacks.request = [this](const QUrl &target, LinkWebView::RequestKind kind, int resourceType) {
            return mayRequest(target, kind, resourceType);
        };
        callbacks.loadStarted = [this] { didStartProvisionalNavigation(); };
        callbacks.loadFinished = [this](bool ok) { didFinishNavigation(ok); };
        callbacks.rendererStopped = [this](int status) {
            m_engineFailed = true;
            LOG_INFO("LinkContentViewController",
                     QStringLiteral("The page's renderer stopped (status %1)").arg(status));
            showCard(Showing::noEngine, url);
        };
        m_webView.reset(reinterpret_cast<LinkWebViewEntry>(entry)(this, std::move(callbacks)));
        linkWebView = m_webView->widget();
        linkWebView->setFocusPolicy(Qt::NoFocus);
        linkWebView->hide();
        static_cast<QVBoxLayout *>(layout())->insertWidget(1, linkWebView, 1);
    }
    const std::optional<QUrl> waiting = std::exchange(m_waitingPage, std::nullopt);
    if (waiting && m_waitingAttempt == m_attempt && m_showing == Showing::loading)
        load(*waiting);
}

// Every request of the preview's pages passes the guard; a page whose name must be looked up
// first is stopped and handed to the preview, which loads it again once the name is known.
bool LinkContentViewController::mayRequest(const QUrl &target, LinkWebView::RequestKind requestKind, int resourceType)
{
    const auto kind = requestKind == LinkWebView::RequestKind::page    ? LinkAddressGuard::RequestKind::page
                      : requestKind == LinkWebView::RequestKind::frame ? LinkAddressGuard::RequestKind::frame
                                                                       : LinkAddressGuard::RequestKind::resource;
    switch (m_guard->verdict(target, kind)) {
    case LinkAddressGuard::Verdict::allow: return true;
    case LinkAddressGuard::Verdict::block:
        // A page may try many times: the first few are told, so the log is never flooded.
        if (++m_refused <= kRefusalsLogged)
            LOG_INFO("LinkRequestInterceptor",
                     QStringLiteral("A request of type %1 to this computer or the local network is refused%2")
                         .arg(resourceType)
                         .arg(m_refused == kRefusalsLogged ? QStringLiteral("; further refusals are not logged")
                                                           : QString()));
        if (kind == LinkAddressGuard::RequestKind::page)
            pageHeld(target);
        return false;
    case LinkAddressGuard::Verdict::lookUpFirst:
        if (kind == LinkAddressGuard::RequestKind::page)
            pageHeld(target);
        else // a frame loads when the preview shows again
            m_guard->lookUp(target.host(), this, [](LinkAddressGuard::Reach) {});
        return false;
    }
    return false;
}

void LinkContentViewController::stopPage()
{
    if (m_webView) {
        m_webView->stop();
        linkWebView->hide();
    }
}

void LinkContentViewController::clearPage()
{
    // No script of the last page runs on behind a card.
    if (m_webView) {
        stopPage();
        m_webView->load(QUrl(QStringLiteral("about:blank")));
    }
}

void LinkContentViewController::showLoading()
{
    if (linkWebView)
        linkWebView->hide();
    m_card->hide();
    m_empty->hide();
    progressIndicator->show();
    m_showing = Showing::loading;
}

void LinkContentViewController::showCard(Showing kind, const QUrl &address)
{
    m_timeout->stop();
    clearPage();
    progressIndicator->hide();
    m_empty->hide();
    m_showing = kind;
    m_cardAddress = address;
    if (kind == Showing::noEngine) {
        LOG_INFO("LinkContentViewController",
                 QStringLiteral("Link preview falls back to a card: %1")
                     .arg(m_engineFailed ? QStringLiteral("the web engine stopped earlier")
                                         : LinkPreviewEngine::describe(LinkPreviewEngine::obstacle())));
    } else {
        LOG_INFO("LinkContentViewController",
                 kind == Showing::localAddress
                     ? QStringLiteral("A page on this computer or the local network waits for the user to ask")
                     : QStringLiteral("A page could not be loaded"));
    }

    QPixmap site = namedImage(QStringLiteral("website_default"), kIconSize);
    if (site.width() < kIconSize / 2)
        site = site.scaled(kIconSize / 2, kIconSize / 2, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    m_cardIcon->setPixmap(site);
    m_cardTitle->setText(address.host());
    const int lineWidth = width() - 2 * kCardMargin - 16;
    m_cardAddressLabel->setText(
        addressLines(address.toString(QUrl::RemoveUserInfo), m_cardAddressLabel->fontMetrics(), lineWidth));
    switch (kind) {
    case Showing::noEngine: {
        const LinkPreviewEngine::Obstacle obstacle = LinkPreviewEngine::obstacle();
        m_cardDetail->setText(obstacle == LinkPreviewEngine::Obstacle::root ? L("Category.Preview.NoEngine.Root")
                              : obstacle == LinkPreviewEngine::Obstacle::sandboxTurnedOff
                                      || obstacle == LinkPreviewEngine::Obstacle::noUserNamespaces
                                  ? L("Category.Preview.NoEngine.Sandbox")
                                  : L("Category.Preview.NoEngine"));
        // The icon the list's row shows, when it has one by now: the card itself asks nothing.
        const QPixmap favicon =
            ImageLoader::shared().cached(PBLinkItemProvider(address.toString()).accosicatedData().toUrl());
        if (!favicon.isNull())
            m_cardIcon->setPixmap(favicon.scaled(kIconSize, kIconSize, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        break;
    }
    case Showing::localAddress:
        m_cardTitle->setText(L("Category.Preview.LocalAddress.title"));
        m_cardDetail->setText(L("Category.Preview.LocalAddress.detail"));
        break;
    case Showing::couldNotLoad:
        m_cardIcon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(kIconSize / 2, kIconSize / 2));
        m_cardTitle->setText(L("Category.Preview.CouldNotLoad.title"));
        m_cardDetail->setText(L("Category.Preview.CouldNotLoad.detail"));
        break;
    case Showing::nothing:
    case Showing::loading:
    case Showing::page: break;
    }
    loadButton->setVisible(kind == Showing::localAddress && mayStartEngine());
    reloadBtn->setVisible(kind == Showing::couldNotLoad);
    openButton->setVisible(true);
    m_card->show();
}

void LinkContentViewController::loadThisPage()
{
    const QUrl address = m_cardAddress.isEmpty() ? url : m_cardAddress;
    if (address.isEmpty() || !mayStartEngine())
        return;
    LOG_INFO("LinkContentViewController",
             QStringLiteral("The user asked to load a page on this computer or the local network"));
    m_guard->allowOrigin(address);
    ++m_attempt;
    m_held.reset();
    load(address);
}

void LinkContentViewController::reloadBtnAction()
{
    const QUrl address = m_cardAddress.isEmpty() ? url : m_cardAddress;
    if (address == url) {
        present();
        return;
    }
    // A page the preview was sent on to: asked again the way it was first asked.
    ++m_attempt;
    if (m_guard->isAllowedOrigin(address)) {
        load(address);
        return;
    }
    pageHeld(address);
    m_held->failureReported = true;
    resumeHeldPage();
}

void LinkContentViewController::openInBrowser()
{
    const QUrl address = m_cardAddress.isEmpty() ? url : m_cardAddress;
    if (!address.isEmpty() && !Workspace::shared().openUrl(address))
        LOG_INFO("LinkContentViewController", QStringLiteral("The desktop did not open a link in a browser"));
}

void LinkContentViewController::pageHeld(const QUrl &target)
{
    m_held = HeldPage{target};
    showLoading();
    m_timeout->start();
    if (m_guard->verdict(target, LinkAddressGuard::RequestKind::page) == LinkAddressGuard::Verdict::block) {
        m_held->answered = true;
        m_held->reach = LinkAddressGuard::Reach::local;
        return;
    }
    const quint64 attempt = m_attempt;
    m_guard->lookUp(target.host(), this, [this, attempt, target](LinkAddressGuard::Reach reach) {
        if (attempt != m_attempt || !m_held || m_held->target != target)
            return;
        m_held->answered = true;
        m_held->reach = reach;
        resumeHeldPage();
    });
}

void LinkContentViewController::resumeHeldPage()
{
    if (!m_held || !m_held->answered || !m_held->failureReported)
        return;
    const HeldPage held = *m_held;
    m_held.reset();
    switch (held.reach) {
    case LinkAddressGuard::Reach::outside: load(held.target); return;
    case LinkAddressGuard::Reach::local: showCard(Showing::localAddress, held.target); return;
    case LinkAddressGuard::Reach::unknown:
    case LinkAddressGuard::Reach::unresolved: showCard(Showing::couldNotLoad, held.target); return;
    }
}

void LinkContentViewController::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    present();
}

void LinkContentViewController::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    ++m_attempt;
    m_held.reset();
    m_timeout->stop();
    m_showing = Showing::nothing; // what the stopped page reports now is not shown
    if (m_webView) {
        m_webView->stop();
        m_webView->runJavaScript(kPauseVideosScript);
    }
}

void LinkContentViewController::didStartProvisionalNavigation()
{
    if (m_showing == Showing::page)
        showLoading();
}

void LinkContentViewController::didFinishNavigation(bool ok)
{
    if (m_held) {
        // The request the guard stopped; the page loads again once its name is known.
        m_held->failureReported = true;
        resumeHeldPage();
        return;
    }
    if (m_showing != Showing::loading && m_showing != Showing::page)
        return; // a card stands for what was stopped
    m_timeout->stop();
    progressIndicator->hide();
    if (!ok) {
        QUrl failed;
        if (m_webView)
            failed = m_webView->url(); // where the preview was sent on to, if it was
        showCard(Showing::couldNotLoad, ItemActions::browserUrl(failed.toString()).value_or(url));
        return;
    }
    if (linkWebView)
        linkWebView->show();
    m_showing = Showing::page;
}
