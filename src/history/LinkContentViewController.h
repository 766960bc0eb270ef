#pragma once
// The preview of a link: the page in a web view of its own off-the-record profile (no cookies or
// cache kept on disk), loaded each time the preview shows, stopped (and its videos paused) when
// it hides, with a reload button after a failed load and a 60 s time-out. Only http and https
// addresses load; any other link shows an empty preview. Where the web engine cannot run, the
// preview is a card with the address and the site's icon. GUI thread.

#include <QUrl>
#include <QWidget>

class QLabel;
class QProgressBar;
class QTimer;
class QToolButton;
class QWebEngineProfile;
class QWebEngineView;

class LinkContentViewController : public QWidget {
    Q_OBJECT
public:
    static constexpr int kTimeoutSeconds = 60;
    static inline const QString kPauseVideosScript = QStringLiteral(
        "var vids = document.getElementsByTagName('video'); for( var i = 0; i < vids.length; i++ ){vids.item(i).pause()}");

    explicit LinkContentViewController(QWidget *parent = nullptr);
    ~LinkContentViewController() override;

    // The link text; an address that is not http or https leaves the preview empty.
    void configure(const QString &link);
    void reloadBtnAction();

    // The page to show; empty when the last link was not one to load.
    QUrl url;
    QProgressBar *progressIndicator = nullptr;
    QToolButton *reloadBtn = nullptr;
    // Null until the first page loads, and where the web engine cannot run.
    QWebEngineView *linkWebView = nullptr;
    bool isShowingFallback() const;

    // Whether the web engine may be started in this process (not under the offscreen platform,
    // and built in).
    static bool webEngineUsable();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void ensureWebView();
    void showFallback(const QString &reason);
    void didStartProvisionalNavigation();
    void didFinishNavigation(bool ok);

    QWidget *m_fallback = nullptr;
    QLabel *m_fallbackIcon = nullptr;
    QLabel *m_fallbackAddress = nullptr;
    QLabel *m_empty = nullptr;
    QTimer *m_timeout = nullptr;
    QWebEngineProfile *m_profile = nullptr;
    bool m_engineFailed = false;
};
