#include "preferences/ShortcutRecorderView.h"

#include "platform/ShortcutMonitor.h"
#include "platform/Strings.h"
#include "preferences/SecondaryText.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QStyleOptionFrame>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The US layout's shifted symbols and the keys they are on.
int unshiftedKey(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Exclam: return Qt::Key_1;
    case Qt::Key_At: return Qt::Key_2;
    case Qt::Key_NumberSign: return Qt::Key_3;
    case Qt::Key_Dollar: return Qt::Key_4;
    case Qt::Key_Percent: return Qt::Key_5;
    case Qt::Key_AsciiCircum: return Qt::Key_6;
    case Qt::Key_Ampersand: return Qt::Key_7;
    case Qt::Key_Asterisk: return Qt::Key_8;
    case Qt::Key_ParenLeft: return Qt::Key_9;
    case Qt::Key_ParenRight: return Qt::Key_0;
    case Qt::Key_Underscore: return Qt::Key_Minus;
    case Qt::Key_Plus: return Qt::Key_Equal;
    case Qt::Key_BraceLeft: return Qt::Key_BracketLeft;
    case Qt::Key_BraceRight: return Qt::Key_BracketRight;
    case Qt::Key_Bar: return Qt::Key_Backslash;
    case Qt::Key_Colon: return Qt::Key_Semicolon;
    case Qt::Key_QuoteDbl: return Qt::Key_Apostrophe;
    case Qt::Key_Less: return Qt::Key_Comma;
    case Qt::Key_Greater: return Qt::Key_Period;
    case Qt::Key_Question: return Qt::Key_Slash;
    case Qt::Key_AsciiTilde: return Qt::Key_QuoteLeft;
    case Qt::Key_Backtab: return Qt::Key_Tab;
    default: return qtKey;
    }
}

bool isModifierKey(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_AltGr:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock: return true;
    default: return false;
    }
}

bool isFunctionKey(int qtKey) { return qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F35; }

} // namespace

ShortcutRecorderView::ShortcutRecorderView(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
    setCursor(Qt::PointingHandCursor);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(2);
    auto *box = new QWidget(this);
    box->setFixedHeight(26);
    box->setMinimumWidth(180);
    box->setMaximumWidth(280);
    auto *row = new QHBoxLayout(box);
    row->setContentsMargins(8, 0, 4, 0);
    m_text = new QLabel(box);
    m_text->setObjectName(QStringLiteral("shortcutText"));
    m_text->setAlignment(Qt::AlignCenter);
    m_clear = new QToolButton(box);
    m_clear->setObjectName(QStringLiteral("clearShortcutBtn"));
    m_clear->setText(QStringLiteral("\u2715"));
    m_clear->setAutoRaise(true);
    m_clear->setFocusPolicy(Qt::NoFocus);
    m_clear->setToolTip(L("Settings.Shortcut.Clear"));
    m_clear->setFixedSize(18, 18);
    row->addWidget(m_text, 1);
    row->addWidget(m_clear);
    m_reason = new QLabel(this);
    m_reason->setObjectName(QStringLiteral("refusalLabel"));
    SecondaryText::apply(m_reason, SecondaryText::Kind::Warning);
    m_reason->setWordWrap(true);
    m_reason->hide();
    outer->addWidget(box, 0, Qt::AlignLeft);
    outer->addWidget(m_reason);
    connect(m_clear, &QToolButton::clicked, this, [this] { commit(std::nullopt); });
    updateText();
}

ShortcutRecorderView::~ShortcutRecorderView()
{
    if (m_recording)
        ShortcutMonitor::shared().setSuspended(false);
}

void ShortcutRecorderView::setShortcutValue(const std::optional<Shortcut> &shortcut)
{
    m_value = shortcut;
    updateText();
}

std::optional<Shortcut> ShortcutRecorderView::chordOf(int qtKey, Qt::KeyboardModifiers modifiers)
{
    if (isModifierKey(qtKey) || qtKey == 0 || qtKey == Qt::Key_unknown)
        return std::nullopt;
    if (modifiers & Qt::ShiftModifier)
        qtKey = unshiftedKey(qtKey);
    return Shortcut::fromQtKeyEvent(
        qtKey, modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
}

QString ShortcutRecorderView::basicRefusal(const Shortcut &shortcut)
{
    if (!shortcut.isValid())
        return L("Settings.Shortcut.Refused.NoKey");
    const quint32 needed = Shortcut::kCommand | Shortcut::kControl | Shortcut::kOption;
    if (!(shortcut.modifierFlags & needed) && !isFunctionKey(Shortcut::qtKey(shortcut.keyCode)))
        return L("Settings.Shortcut.Refused.NeedsModifier");
    return QString();
}

QString ShortcutRecorderView::refusal() const { return m_reason->isHidden() ? QString() : m_reason->text(); }

QString ShortcutRecorderView::displayedText() const { return m_text->text(); }

void ShortcutRecorderView::showRefusal(const QString &reason)
{
    m_reason->setText(reason);
    m_reason->setVisible(!reason.isEmpty());
}

void ShortcutRecorderView::setRecording(bool recording)
{
    if (m_recording == recording)
        return;
    m_recording = recording;
    // Our own grabs would take the chord before this view sees it.
    ShortcutMonitor::shared().setSuspended(recording);
    updateText();
    update();
}

void ShortcutRecorderView::commit(const std::optional<Shortcut> &shortcut)
{
    if (shortcut) {
        QString reason = basicRefusal(*shortcut);
        if (reason.isEmpty() && shortcutValidator)
            reason = shortcutValidator(*shortcut);
        if (!reason.isEmpty()) {
            showRefusal(reason);
            updateText();
            return;
        }
    }
    showRefusal(QString());
    m_value = shortcut;
    setRecording(false);
    clearFocus();
    updateText();
    Q_EMIT shortcutValueChange(m_value);
}

void ShortcutRecorderView::updateText(Qt::KeyboardModifiers held)
{
    QString text;
    if (m_recording) {
        const QString modifiers =
            Shortcut::modifierText(Shortcut::fromQtKeyEvent(Qt::Key_A, held).value_or(Shortcut()).modifierFlags);
        text = modifiers.isEmpty() ? L("Settings.Shortcut.TypeShortcut") : modifiers + QStringLiteral("+…");
    } else {
        text = m_value ? m_value->displayText() : L("Settings.Shortcut.Record");
    }
    m_text->setText(text);
    QPalette palette = m_text->palette();
    // The box is painted in the field colour.
    palette.setColor(QPalette::WindowText, (m_value || m_recording)
                                               ? this->palette().color(QPalette::Text)
                                               : SecondaryText::color(this->palette(), SecondaryText::Kind::Help,
                                                                      QPalette::PlaceholderText, {QPalette::Base}));
    m_text->setPalette(palette);
    m_clear->setVisible(m_value.has_value() && !m_recording);
}

void ShortcutRecorderView::keyPressEvent(QKeyEvent *event)
{
    if (!m_recording) {
        if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return) {
            setRecording(true);
            return;
        }
        QWidget::keyPressEvent(event);
        return;
    }
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    if (modifiers == Qt::NoModifier && key == Qt::Key_Escape) {
        showRefusal(QString());
        setRecording(false);
        clearFocus();
        return;
    }
    if (modifiers == Qt::NoModifier && (key == Qt::Key_Backspace || key == Qt::Key_Delete)) {
        commit(std::nullopt);
        return;
    }
    if (isModifierKey(key)) {
        updateText(modifiers);
        return;
    }
    const std::optional<Shortcut> chord = chordOf(key, modifiers);
    if (!chord) {
        showRefusal(L("Settings.Shortcut.Refused.NoKey"));
        return;
    }
    commit(chord);
}

bool ShortcutRecorderView::event(QEvent *event)
{
    // Tab and the like are chords too while recording.
    if (event->type() == QEvent::ShortcutOverride && m_recording) {
        event->accept();
        return true;
    }
    if (event->type() == QEvent::KeyRelease && m_recording) {
        updateText(static_cast<QKeyEvent *>(event)->modifiers());
        return true;
    }
    return QWidget::event(event);
}

void ShortcutRecorderView::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    setRecording(true);
}

void ShortcutRecorderView::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    setRecording(false);
}

void ShortcutRecorderView::mousePressEvent(QMouseEvent *event)
{
    QWidget::mousePressEvent(event);
    setFocus(Qt::MouseFocusReason);
    setRecording(true);
}

void ShortcutRecorderView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(0.5, 0.5, m_text->parentWidget()->width() - 1, 25);
    const QPalette &palette = this->palette();
    painter.setPen(
        QPen(m_recording ? palette.color(QPalette::Highlight) : palette.color(QPalette::Mid), m_recording ? 2 : 1));
    painter.setBrush(palette.color(isEnabled() ? QPalette::Base : QPalette::Window));
    painter.drawRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
}
