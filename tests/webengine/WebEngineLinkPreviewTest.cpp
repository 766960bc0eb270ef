// The link preview's pages in the real web engine on the real X server: a link to this computer
// waits for the user, the page the user asked for reaches no other local address whatever it
// tries, a public page's script is stopped by the engine where a name leads to a local address,
// and a page that cannot be reached says so. The engine runs here wherever it starts (a test run
// as root turns its sandbox off for the test process; the program itself never starts it so).

#include "history/LinkContentViewController.h"
#include "support/LoopbackHttpServer.h"
#include "support/TestEnvironment.h"

#include <QMetaMethod>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <unistd.h>

#ifdef TAVI_HAVE_WEBENGINE

#if defined(__SANITIZE_ADDRESS__)
// The web engine's own code deletes some of its objects through a pointer to a smaller type; it is
// not ours to mend, and the sanitizer would end every test that starts the engine. The sanitizer
// cannot suppress this report by library, so the check is off in this executable alone, which
// holds only the tests that start the engine.
extern "C" const char *__asan_default_options() { return "new_delete_type_mismatch=0"; }
#endif

namespace {

using Showing = LinkContentViewController::Showing;

// The engine reads its switches once, when it first starts in a process.
bool g_engineStarted = false;

// Why the engine cannot start in this test process, if it cannot.
QString engineUnavailable()
{
    if (::geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        return QStringLiteral(
            "as root the web engine starts only with QTWEBENGINE_DISABLE_SANDBOX (scripts/test sets it)");
    return {};
}

enum class Shown { now, later };

std::unique_ptr<LinkContentViewController> preview(Shown shown = Shown::now)
{
    g_engineStarted = true;
    auto view =
        std::make_unique<LinkContentViewController>(nullptr, LinkContentViewController::EngineUse::whereverItStarts);
    if (shown == Shown::now)
        view->show();
    return view;
}

bool asked(const LoopbackHttpServer &server, const QByteArray &path)
{
    for (const LoopbackHttpServer::Request &request : server.requests()) {
        if (request.path == path)
            return true;
    }
    return false;
}

QString pathsOf(const LoopbackHttpServer &server)
{
    QStringList paths;
    for (const LoopbackHttpServer::Request &request : server.requests())
        paths.append(QString::fromLatin1(request.method + ' ' + request.path));
    return paths.join(QStringLiteral(", "));
}

const QMap<QByteArray, QByteArray> kHtml = {{"Content-Type", "text/html"}};

} // namespace

#define SKIP_WITHOUT_ENGINE()                                          \
    if (const QString reason = engineUnavailable(); !reason.isEmpty()) \
    GTEST_SKIP() << reason.toStdString()

TEST(X11LinkPreview, ALinkToThisComputerLoadsOnlyWhenTheUserAsks)
{
    SKIP_WITHOUT_ENGINE();
    LoopbackHttpServer server;
    server.respondTo("/reboot", 200, "<html><head><title>Rebooting</title></head><body>rebooting</body></html>", kHtml);
    const auto view = preview();
    const QUrl link(server.baseURL() + QStringLiteral("/reboot"));
    view->configure(link.toString());
    EXPECT_EQ(view->showing(), Showing::localAddress);
    EXPECT_EQ(view->shownAddress(), link);
    EXPECT_FALSE(view->loadButton->isHidden());
    EXPECT_FALSE(view->openButton->isHidden());
    // Loaded, it would be asked within moments.
    EXPECT_FALSE(waitUntil([&] { return server.connectionCount() > 0; }, 1500)) << pathsOf(server).toStdString();

    QTest::mouseClick(view->loadButton, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return view->showing() == Showing::page; }, 30000)) << int(view->showing());
    EXPECT_TRUE(asked(server, "/reboot"));
    // Shown again, the page the user asked for loads at once.
    view->hide();
    view->show();
    EXPECT_NE(view->showing(), Showing::localAddress);
}

TEST(X11LinkPreview, APageTheUserAskedForReachesNoOtherLocalAddress)
{
    SKIP_WITHOUT_ENGINE();
    LoopbackHttpServer other;
    LoopbackHttpServer site;
    const QByteArray port = QByteArray::number(QUrl(other.baseURL()).port());
    // Every way a script, an element or a navigation reaches another port of this computer; the
    // page reports to its own server first when the tries are over, then sends itself away.
    const QByteArray page = R"(<html><head><title>Page</title></head><body><script>
const port = 'PORT';
const tries = ['http://127.0.0.1:' + port + '/fetch', 'http://localhost:' + port + '/fetch', 'http://2130706433:' + port + '/fetch',
               'http://127.1:' + port + '/fetch', 'http://[::ffff:127.0.0.1]:' + port + '/fetch', 'http://0.0.0.0:' + port + '/fetch']
    .map(address => fetch(address, {mode: 'no-cors'}).catch(() => null));
tries.push(new Promise(done => { const image = new Image(); image.onload = image.onerror = done; image.src = 'http://127.0.0.1:' + port + '/image'; }));
tries.push(new Promise(done => { const socket = new WebSocket('ws://127.0.0.1:' + port + '/socket'); socket.onerror = socket.onclose = done; }));
tries.push(new Promise(done => { const frame = document.createElement('iframe'); frame.onload = done; frame.src = 'http://127.0.0.1:' + port + '/frame'; document.body.appendChild(frame); }));
tries.push(new Promise(done => { const beacon = navigator.sendBeacon('http://127.0.0.1:' + port + '/beacon', 'x'); done(); }));
tries.push(fetch('/own').catch(() => null));
Promise.all(tries).then(() => fetch('/done')).then(() => { location.href = 'http://127.0.0.1:' + port + '/reboot'; });
</script></body></html>)";
    site.respondTo("/page", 200, QByteArray(page).replace("PORT", port), kHtml);
    const auto view = preview();
    view->configure(site.baseURL() + QStringLiteral("/page"));
    view->loadThisPage();

    ASSERT_TRUE(waitUntil([&] { return asked(site, "/done"); }, 30000))
        << "the page's script did not run: " << pathsOf(site).toStdString();
    EXPECT_TRUE(asked(site, "/own")) << "the page reaches its own server";
    // Sent away to another local address, the preview stops and says where it was sent.
    ASSERT_TRUE(waitUntil([&] { return view->showing() == Showing::localAddress; }, 10000)) << int(view->showing());
    EXPECT_EQ(view->shownAddress(), QUrl(other.baseURL() + QStringLiteral("/reboot")));
    EXPECT_EQ(other.connectionCount(), 0) << pathsOf(other).toStdString();
}

TEST(X11LinkPreview, APublicPagesScriptNeverReachesANameThatLeadsToThisComputer)
{
    SKIP_WITHOUT_ENGINE();
    if (g_engineStarted)
        GTEST_SKIP() << "the engine already started in this process without this test's switches; run the test alone";
    LoopbackHttpServer local;
    LoopbackHttpServer site;
    // The engine takes the site's address for a public one, and resolves a public-looking name
    // to this computer: a public page whose script asks for a name that leads to the local network.
    const QByteArray previous = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS",
            previous
                + " --host-resolver-rules=\"MAP site.example 127.0.0.1,MAP inside.example 127.0.0.1\""
                  " --ip-address-space-overrides=127.0.0.1:"
                + QByteArray::number(QUrl(site.baseURL()).port()) + "=public");
    const QByteArray target = "http://inside.example:" + QByteArray::number(QUrl(local.baseURL()).port());
    site.respondTo("/page", 200,
                   QByteArray(R"(<html><body><script>
Promise.all([fetch('TARGET/fetch', {mode: 'no-cors'}).catch(() => null),
             new Promise(done => { const image = new Image(); image.onload = image.onerror = done; image.src = 'TARGET/image'; })])
    .then(() => fetch('/done'));
</script></body></html>)")
                       .replace("TARGET", target),
                   kHtml);
    // A site by name: an address of this computer would make the page a secure one, which the
    // engine's check lets through, and a name is what a public site has.
    const auto view = preview(Shown::later);
    view->configure(QStringLiteral("http://site.example:%1/page").arg(QUrl(site.baseURL()).port()));
    view->loadThisPage(); // before it shows: the name is for the engine alone, never looked up here
    view->show();
    const bool ran = waitUntil([&] { return asked(site, "/done"); }, 30000);
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", previous);
    ASSERT_TRUE(ran) << "the page's script did not run: " << pathsOf(site).toStdString();
    // The engine connects to learn where the name leads, and then sends nothing.
    EXPECT_TRUE(local.requests().isEmpty()) << pathsOf(local).toStdString();
}

TEST(X11LinkPreview, APageThatCannotBeReachedSaysSo)
{
    SKIP_WITHOUT_ENGINE();
    QString address;
    {
        LoopbackHttpServer gone;
        address = gone.baseURL() + QStringLiteral("/page");
    } // its port is closed now
    const auto view = preview();
    view->configure(address);
    view->loadThisPage();
    ASSERT_TRUE(waitUntil([&] { return view->showing() == Showing::couldNotLoad; }, 30000)) << int(view->showing());
    EXPECT_TRUE(view->cardText().contains(QStringLiteral("Could not load this page")));
    EXPECT_TRUE(view->cardText().contains(address));
    EXPECT_FALSE(view->reloadBtn->isHidden());
    EXPECT_FALSE(view->openButton->isHidden());
    EXPECT_TRUE(view->linkWebView->isHidden());
}

// The engine reports some ends of a renderer with a status its enum does not name (-1): the
// preview falls back to the link's card, and nothing reads the value as the enum.
TEST(X11LinkPreview, ARendererEndingWithAnUnnamedStatusFallsBackToTheCard)
{
    SKIP_WITHOUT_ENGINE();
    LoopbackHttpServer server;
    server.respondTo("/page", 200, "<html><head><title>A page</title></head><body>a page</body></html>", kHtml);
    const auto view = preview();
    view->configure(server.baseURL() + QStringLiteral("/page"));
    view->loadThisPage();
    ASSERT_TRUE(waitUntil([&] { return view->showing() == Showing::page; }, 30000)) << int(view->showing());

    QObject *page = nullptr;
    for (QObject *child : view->linkWebView->findChildren<QObject *>()) {
        if (qstrcmp(child->metaObject()->className(), "QWebEnginePage") == 0)
            page = child;
    }
    ASSERT_NE(page, nullptr);
    const QMetaObject *meta = page->metaObject();
    const QMetaMethod terminated =
        meta->method(meta->indexOfSignal("renderProcessTerminated(RenderProcessTerminationStatus,int)"));
    ASSERT_TRUE(terminated.isValid());
    // Emitted as the engine does, with the raw value in the enum's place.
    int status = -1;
    int exitCode = 0;
    ASSERT_TRUE(terminated.invoke(page, Qt::DirectConnection,
                                  QGenericArgument(terminated.parameterTypes().at(0).constData(), &status),
                                  QGenericArgument("int", &exitCode)));
    EXPECT_EQ(view->showing(), Showing::noEngine);
    EXPECT_FALSE(view->openButton->isHidden());
}

#endif
