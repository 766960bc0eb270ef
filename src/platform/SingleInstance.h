#pragma once
// One TaviPaste per desktop session. The running one owns a well-known name on the D-Bus session
// bus and answers on it; where there is no bus it holds a lock file in the runtime folder instead.
// Anyone else (a second launch, the login helper) asks through the static functions below.

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

// Where an instance is looked for. The defaults are the session's; tests pass their own.
struct SingleInstanceAddress {
    QString serviceName = QStringLiteral("org.tavipaste.TaviPaste"); // SingleInstance::kServiceName
    QString busConnection; // the name of a QDBusConnection; empty: the session bus
    bool useBus = true;    // false: the lock file only, as where there is no bus
    QString lockFilePath;  // empty: TaviPaste.lock in $XDG_RUNTIME_DIR
};

class SingleInstance : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.tavipaste.TaviPaste")
public:
    static constexpr char kServiceName[] = "org.tavipaste.TaviPaste";
    static constexpr char kObjectPath[] = "/org/tavipaste/TaviPaste";
    static constexpr char kInterface[] = "org.tavipaste.TaviPaste";
    static constexpr char kShowQuickPastePanelMethod[] = "ShowQuickPastePanel";

    using Address = SingleInstanceAddress;

    // Claims the session for this process; null when another TaviPaste holds it (or the claim
    // cannot be made). The claim lasts as long as the returned object. Main thread, once the
    // QCoreApplication exists.
    static std::unique_ptr<SingleInstance> claim(const Address &address = {});
    // Whether a TaviPaste runs in this session. Any thread, once the QCoreApplication exists.
    static bool isRunning(const Address &address = {});
    // Asks the running TaviPaste to show its quick-paste panel; false when none answered in time
    // (there is no asking without a bus). Blocks; not on the thread of the instance asked.
    static bool showQuickPastePanel(const Address &address = {}, int timeoutMs = 5000);

    ~SingleInstance() override;

    // What a request to show the panel runs. Requests that came earlier run once it is set.
    void setQuickPastePanelHandler(std::function<void()> handler);

public Q_SLOTS:
    // The bus method; runs on the main thread.
    Q_SCRIPTABLE void ShowQuickPastePanel();

private:
    explicit SingleInstance(const Address &address);

    Address m_address;
    bool m_ownsBusName = false;
    int m_lockFile = -1;
    bool m_panelRequested = false;
    std::function<void()> m_panelHandler;
};
