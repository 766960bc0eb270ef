#pragma once
// The preview of a link: the page in a web view of its own off-the-record profile (no cookies or
// cache kept on disk), loaded each time the preview shows, stopped (and its videos paused) when
// it hides, with a 60 s time-out. Only http and https addresses load. The web engine runs pages
// only inside its sandbox; where it cannot (see LinkPreviewEngine) the preview is a card with the
// address, the site's icon when the list has it and "Open in Browser", and the engine is never
// started. Nothing reaches this computer or the local network unless the user asks for that page
// (see LinkAddressGuard): such a link shows a card with "Load This Page". A page that cannot be
// loaded says so, with "Try Again". GUI thread.

#include "history/LinkAddressGuard.h"
#include "history/LinkWebView.h"

#include <QUrl>
#include <QWidget>

#include <memory>
#include <optional>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

class LinkContentViewController : public QWidget {
    Q_OBJECT
public:
    static constexpr int kTimeoutSeconds = 60;
    static inline const QString kPauseVideosScript =
        QStringLiteral("var vids = document.getElementsByTagName('video'); for( var i = 0; i < vids.length; i++ "
                       "){vids.item(i).pause()}");

    // Where the web engine may start: only sandboxed, or, for tests of the pages themselves,
    // wherever Qt lets it start (a test run as root turns the sandbox off for its own process).
    enum class EngineUse { sandboxedOnly, whereverItStarts };
    // What the preview shows.
    enum class Showing { nothing, loading, page, noEngine, localAddress, couldNotLoad };

    explicit LinkContentViewController(QWidget *parent = nullptr, EngineUse engineUse = EngineUse::sandboxedOnly);
    ~LinkContentViewController() override;

    // The link text; an address that is not http or https leaves the preview empty. Shown at
    // once when the preview is visible.
    void configure(const QString &link);
    // Loads the address the card shows (else the link) although it may be on this computer or the
    // local network: the user asked for it.
    void loadThisPage();
    void reloadBtnAction();
    void openInBrowser();

    Showing showing() const { return m_showing; }
    // The address the card speaks of: the link, or the page the preview was sent on to.
    QUrl shownAddress() const { return m_cardAddress; }
    QString cardText() const;

    // The page to show; empty when the last link was not one to load.
    QUrl url;
    QProgressBar *progressIndicator = nullptr;
    QPushButton *loadButton = nullptr;
    QPushButton *reloadBtn = nullptr;
    QPushButton *openButton = nullptr;
    // The web view's widget: null until the first page loads, and where the web engine may not start.
    QWidget *linkWebView = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    // A page the preview was sent on to whose name is being looked up; it loads once the lookup
    // has answered and the engine has reported the held request as failed.
    struct HeldPage {
        QUrl target;
        bool answered = false;
        bool failureReported = false;
        LinkAddressGuard::Reach reach = LinkAddressGuard::Reach::unknown;
    };

    bool mayStartEngine() const;
    void present();
    void load(const QUrl &address);
    void makeWebView(QFunctionPointer entry);
    bool mayRequest(const QUrl &target, LinkWebView::RequestKind kind, int resourceType);
    void stopPage();
    void clearPage();
    void showLoading();
    void showCard(Showing kind, const QUrl &address);
    void pageHeld(const QUrl &target);
    void resumeHeldPage();
    void didStartProvisionalNavigation();
    void didFinishNavigation(bool ok);

    EngineUse m_engineUse;
    Showing m_showing = Showing::nothing;
    LinkAddressGuard *m_guard = nullptr;
    QWidget *m_card = nullptr;
    QLabel *m_cardIcon = nullptr;
    QLabel *m_cardTitle = nullptr;
    QLabel *m_cardAddressLabel = nullptr;
    QLabel *m_cardDetail = nullptr;
    QUrl m_cardAddress;
    QLabel *m_empty = nullptr;
    QTimer *m_timeout = nullptr;
    std::unique_ptr<LinkWebView> m_webView;
    // The page to load once the link view module has loaded, and the showing it was asked for.
    std::optional<QUrl> m_waitingPage;
    quint64 m_waitingAttempt = 0;
    bool m_moduleLoading = false;
    int m_refused = 0;
    std::optional<HeldPage> m_held;
    quint64 m_attempt = 0; // answers for an earlier showing are dropped
    bool m_engineFailed = false;
};
