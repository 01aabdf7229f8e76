#include "input_selection.h"

#include "inputs_settings_page.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTimer>

namespace varnel::app {

namespace {

constexpr int kSources = 12;

bool isSource(std::uint32_t v)
{
    return v >= 1 && v <= std::uint32_t(kSources);
}

QIcon monitorGlyph(bool selected)
{
    QPixmap pm(28, 22);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(60, 60, 60), 1.5));
    p.setBrush(selected ? QColor(255, 210, 60) : QColor(90, 96, 110));
    p.drawRoundedRect(QRectF(2, 1.5, 24, 15), 2, 2);
    if (selected) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 250, 220));
        p.drawEllipse(QRectF(10, 5, 8, 8));
    }
    p.setPen(QPen(QColor(60, 60, 60), 2));
    p.drawLine(QPointF(14, 17), QPointF(14, 20));
    p.drawLine(QPointF(9, 20.5), QPointF(19, 20.5));
    return QIcon(pm);
}

}  // namespace

QSize TSourceButton::sizeHint() const
{
    const QFontMetrics fm(font());
    const QSize icon = iconSize();
    QFont bold = font();
    bold.setBold(true);
    const int text = QFontMetrics(bold).horizontalAdvance(this->text());
    return {std::max(icon.width(), text) + 8, icon.height() + fm.height() + 12};
}

QSize TSourceButton::minimumSizeHint() const
{
    return sizeHint();
}

void TSourceButton::paintEvent(QPaintEvent *)
{
    QStylePainter p(this);
    QStyleOptionButton opt;
    initStyleOption(&opt);
    opt.text.clear();
    opt.icon = QIcon();
    p.drawControl(QStyle::CE_PushButtonBevel, opt);
    const QRect inner = rect().adjusted(3, 4, -3, -4);
    const QSize size = iconSize();
    const QRect iconRect(inner.center().x() - size.width() / 2, inner.top(), size.width(), size.height());
    icon().paint(&p, iconRect, Qt::AlignCenter, isEnabled() ? QIcon::Normal : QIcon::Disabled);
    const QRect textRect(inner.left(), iconRect.bottom() + 1, inner.width(), inner.bottom() - iconRect.bottom());
    p.drawItemText(textRect, Qt::AlignHCenter | Qt::AlignVCenter, palette(), isEnabled(), text(),
                   QPalette::ButtonText);
}

SourceLook sourceLook(int k, const HighlightState &s)
{
    SourceLook look;
    if (k < 1 || k > kSources)
        return look;
    const auto source = std::uint32_t(k);
    const bool settled = s.ichp == s.ichnp && s.ichp == s.ichm;
    if (source == s.ichm) {
        look.pressed = true;
        look.bold = true;
        // The same source on both outputs alternates between red and green.
        look.colour = settled && s.phase ? SourceLook::Green : SourceLook::Red;
        look.glyphSelected = k <= 8;
        return look;
    }
    const bool pendingElsewhere = s.ichnp != s.ichp && s.ichnp != s.ichm;
    if (pendingElsewhere && source == s.ichnp) {
        look.colour = s.phase ? SourceLook::Blue : SourceLook::WindowText;
        return look;
    }
    if (source == s.ichp) {
        // Without a preview output the preview source is the background: shown
        // only while an effect runs.
        if (!s.previewOutput && !s.effectRunning)
            return look;
        look.colour = SourceLook::Green;
        look.bold = s.ichp == s.ichnp;
        look.glyphSelected = k <= 8 && s.phase;
    }
    return look;
}

TInputSelection::TInputSelection(TVRK_610_d &driver, const Widgets &widgets, QObject *parent)
    : QObject(parent), m_driver(driver), m_w(widgets), m_features(modelFeatures(0))
{
    m_used.fill(true);
    m_switchTimer = new QTimer(this);
    m_switchTimer->setObjectName(QStringLiteral("timerSwitchRelease"));
    m_switchTimer->setSingleShot(true);
    m_switchTimer->setInterval(kSwitchReleaseMs);
    connect(m_switchTimer, &QTimer::timeout, this, &TInputSelection::releaseSwitches);

    for (int k = 1; k <= kSources; ++k) {
        QPushButton *b = m_w.sources[std::size_t(k)];
        // Pressed shows the device's state; a click does not keep its own toggle.
        b->setCheckable(true);
        if (k <= 8)
            b->setIcon(idleGlyph());
        connect(b, &QPushButton::clicked, this, [this, k] { sourcePressed(k); });
    }
    connect(m_w.sources[0], &QPushButton::clicked, this, &TInputSelection::blackPressed);
    m_w.sources[0]->setCheckable(true);
    for (int k = 1; k <= 8; ++k)
        if (QPushButton *l = m_w.logos[std::size_t(k)])
            connect(l, &QPushButton::clicked, this, [this, k] { logoPressed(k); });
    connect(m_w.freezeMain, &QPushButton::clicked, this, &TInputSelection::freezeMainPressed);
    connect(m_w.freezePreview, &QPushButton::clicked, this, &TInputSelection::freezePreviewPressed);
    for (QPushButton *s : {m_w.switchMain, m_w.switchPreview}) {
        s->setCheckable(true);
        s->setEnabled(false);  // until a window effect is on air
        connect(s, &QPushButton::clicked, this, &TInputSelection::switchPressed);
    }
    for (QPushButton *f : {m_w.freezeMain, m_w.freezePreview})
        f->setCheckable(true);
    render();
}

QColor TInputSelection::colour(SourceLook::Colour c, const QColor &windowText)
{
    switch (c) {
    case SourceLook::Red:
        return QColor(210, 0, 0);
    case SourceLook::Green:
        return QColor(0, 150, 0);
    case SourceLook::Blue:
        return QColor(0, 0, 230);
    case SourceLook::WindowText:
        break;
    }
    return windowText;
}

QIcon TInputSelection::idleGlyph()
{
    static const QIcon icon = monitorGlyph(false);
    return icon;
}

QIcon TInputSelection::selectedGlyph()
{
    static const QIcon icon = monitorGlyph(true);
    return icon;
}

void TInputSelection::setModel(int model)
{
    m_features = modelFeatures(model);
    for (int k = 1; k <= 8; ++k)
        if (QPushButton *l = m_w.logos[std::size_t(k)])
            l->setVisible(k <= m_features.inputs && m_features.anyLogo());
    for (int k = 1; k <= 8; ++k)
        if (QAction *a = m_syncLossItems[std::size_t(k)])
            a->setVisible(k <= m_features.inputs);
    for (int f = 1; f <= 4; ++f)
        if (QAction *a = m_syncLossItems[std::size_t(8 + f)])
            a->setVisible(f <= m_features.frames);
    if (m_page)
        m_page->setModel(m_features);
    render();
}

void TInputSelection::buildMenus(QAction *syncLoss, QAction *autolock)
{
    auto *owner = qobject_cast<QWidget *>(parent());
    auto *loss = new QMenu(QStringLiteral("Input Sync-Loss"), owner);
    loss->setObjectName(QStringLiteral("menuInputSyncLoss"));
    auto *lossGroup = new QActionGroup(loss);
    for (int v = 0; v <= kSources; ++v) {
        const QString caption = v == 0   ? QStringLiteral("Black")
                                : v <= 8 ? QStringLiteral("Input %1").arg(v)
                                         : QStringLiteral("Frame %1").arg(v - 8);
        QAction *a = loss->addAction(caption);
        a->setObjectName(QStringLiteral("actionSyncLoss%1").arg(v));
        a->setCheckable(true);
        lossGroup->addAction(a);
        connect(a, &QAction::triggered, this, [this, v] {
            syncLossReported();  // the check mark shows the device's value until it answers
            m_driver.setSYNCLOSS(std::uint32_t(v));
        });
        m_syncLossItems[std::size_t(v)] = a;
    }
    syncLoss->setMenu(loss);

    auto *lock = new QMenu(QStringLiteral("No input signal autolock"), owner);
    lock->setObjectName(QStringLiteral("menuAutolock"));
    auto *lockGroup = new QActionGroup(lock);
    m_autolockOn = lock->addAction(QStringLiteral("On"));
    m_autolockOn->setObjectName(QStringLiteral("actionAutolockOn"));
    m_autolockOff = lock->addAction(QStringLiteral("Off"));
    m_autolockOff->setObjectName(QStringLiteral("actionAutolockOff"));
    for (QAction *a : {m_autolockOn, m_autolockOff}) {
        a->setCheckable(true);
        lockGroup->addAction(a);
    }
    // EIPSIGP 0 means "On": switching to an input without signal is allowed.
    connect(m_autolockOn, &QAction::triggered, this, [this] {
        autolockReported();
        m_driver.setEIPSIGP(0);
    });
    connect(m_autolockOff, &QAction::triggered, this, [this] {
        autolockReported();
        m_driver.setEIPSIGP(1);
    });
    autolock->setMenu(lock);
    syncLossReported();
    autolockReported();
}

// --- operator actions --------------------------------------------------------------

bool TInputSelection::windowEffectOnAir() const
{
    const std::uint32_t effect = m_driver.EFFECT();
    return (effect == kEffectTitle || effect == kEffectPip) && m_driver.TAKE() == 1;
}

void TInputSelection::sourcePressed(int source)
{
    if (source < 1 || source > kSources)
        return;
    const auto k = std::uint32_t(source);
    if (windowEffectOnAir()) {
        const bool mainDown = m_w.switchMain->isChecked();
        if (mainDown) {
            m_driver.setICHNM(k);
            m_switchTimer->start();
        }
        if (m_w.switchPreview->isChecked()) {
            m_driver.setICHNP(k);
            m_switchTimer->start();
        }
        if ((!m_features.previewOutput || m_driver.TAKEAUTO() == 1) && !mainDown)
            m_driver.setICHNP(k);
    } else {
        m_driver.setICHNP(k);
    }
    render();
}

void TInputSelection::freezeMainPressed()
{
    const std::uint32_t v = m_driver.IFRZM() ? 0 : 1;
    m_driver.setIFRZM(v);
    if (!m_features.previewOutput)
        m_driver.setIFRZP(v);
    freezeReported();
}

void TInputSelection::freezePreviewPressed()
{
    m_driver.setIFRZP(m_driver.IFRZP() ? 0 : 1);
    freezeReported();
}

void TInputSelection::blackPressed()
{
    m_driver.setOBLACKM(m_driver.OBLACKM() ? 0 : 1);
    render();
}

void TInputSelection::switchPressed()
{
    m_switchTimer->start();
    const QColor text = m_w.switchMain->palette().color(QPalette::WindowText);
    for (QPushButton *s : {m_w.switchMain, m_w.switchPreview}) {
        QFont f = s->font();
        f.setBold(false);
        f.setItalic(false);
        s->setFont(f);
        QPalette pal = s->palette();
        pal.setColor(QPalette::ButtonText, text);
        s->setPalette(pal);
    }
}

void TInputSelection::releaseSwitches()
{
    m_switchTimer->stop();
    for (QPushButton *s : {m_w.switchMain, m_w.switchPreview})
        s->setChecked(false);
    switchPressed();
    m_switchTimer->stop();
}

void TInputSelection::logoPressed(int input)
{
    if (input < 1 || input > 8)
        return;
    m_driver.setPCHAN(std::uint32_t(input));
    m_driver.setLDISPLAY(m_cache.value(Reg::LDISPLAY, input) ? 0 : 1);
}

// --- reports -------------------------------------------------------------------------

void TInputSelection::mainSourceReported()
{
    const std::uint32_t ichm = m_driver.ICHM();
    if (isSource(ichm))
        m_w.switchMain->setToolTip(m_w.sources[ichm]->text());
    if (ichm <= 8)
        emit mainSourceChanged(int(ichm));
    render();
    emit pictureAvailabilityChanged();
}

void TInputSelection::previewSourceReported()
{
    const std::uint32_t ichp = m_driver.ICHP();
    if (ichp <= 8)
        emit previewSourceChanged(int(ichp));
    render();
    emit pictureAvailabilityChanged();
}

void TInputSelection::pendingReported()
{
    render();
    emit pictureAvailabilityChanged();
}

void TInputSelection::freezeReported()
{
    // Pressed while frozen; the main timer makes a frozen button blink.
    const std::pair<QPushButton *, bool> freezes[] = {{m_w.freezeMain, m_driver.IFRZM() == 1},
                                                      {m_w.freezePreview, m_driver.IFRZP() == 1}};
    for (const auto &[button, frozen] : freezes) {
        button->setChecked(frozen);
        if (frozen)
            continue;  // the main timer makes it blink
        QFont f = button->font();
        f.setBold(false);
        f.setItalic(false);
        button->setFont(f);
        QPalette pal = button->palette();
        pal.setColor(QPalette::ButtonText, button->palette().color(QPalette::WindowText));
        button->setPalette(pal);
    }
}

void TInputSelection::blackReported()
{
    m_blackPhase = false;
    render();
}

void TInputSelection::takeReported()
{
    const bool on = windowEffectOnAir();
    for (QPushButton *s : {m_w.switchMain, m_w.switchPreview}) {
        s->setEnabled(on);
        if (!on)
            s->setChecked(false);
    }
}

void TInputSelection::effectRunningReported()
{
    const std::uint32_t effect = m_driver.EFFECT();
    m_locked = m_driver.EFFON() == 1 && effect != kEffectTitle && effect != kEffectPip;
    render();
}

void TInputSelection::channelReported()
{
    emit channelChanged(int(m_driver.PCHAN()));
}

void TInputSelection::channelRegisterReported(Reg reg)
{
    const std::uint32_t pchan = m_driver.PCHAN();
    m_cache.store(reg, pchan, m_driver.ReadVar(reg));
    if (pchan > 8)
        return;  // frame channels carry no input controls
    const int channel = int(pchan);
    const int first = channel == 0 ? 1 : channel;
    const int last = channel == 0 ? 8 : channel;
    if (reg == Reg::PENA) {
        for (int k = first; k <= last; ++k)
            m_used[std::size_t(k)] = m_cache.value(Reg::PENA, k) != 0;
        if (channel == 0)
            m_framesUsed = m_cache.value(Reg::PENA, 0) != 0;
        applyEnabling();
    }
    if (reg == Reg::LDISPLAY)
        for (int k = first; k <= last; ++k)
            refreshLogoButton(k);
    if (m_page)
        m_page->refresh(reg, channel);
    if (reg == Reg::PRGBI)
        emit pictureAvailabilityChanged();
}

void TInputSelection::syncLossReported()
{
    const std::uint32_t v = m_driver.SYNCLOSS();
    if (v > std::uint32_t(kSources) || !m_syncLossItems[v])
        return;
    m_syncLossItems[v]->setChecked(true);
}

void TInputSelection::autolockReported()
{
    if (!m_autolockOn)
        return;
    (m_driver.EIPSIGP() != 0 ? m_autolockOff : m_autolockOn)->setChecked(true);
}

void TInputSelection::referenceReported()
{
    emit pictureAvailabilityChanged();
}

// --- display -------------------------------------------------------------------------

HighlightState TInputSelection::highlightState() const
{
    HighlightState s;
    s.ichm = m_driver.ICHM();
    s.ichp = m_driver.ICHP();
    s.ichnp = m_driver.ICHNP();
    s.previewOutput = m_features.previewOutput;
    s.effectRunning = m_driver.EFFON() == 1;
    s.phase = m_phase;
    return s;
}

void TInputSelection::tick()
{
    m_phase = !m_phase;
    if (m_driver.OBLACKM() == 1)
        m_blackPhase = !m_blackPhase;
    render();
}

void TInputSelection::applyLook(int source, const SourceLook &look)
{
    QPushButton *b = m_w.sources[std::size_t(source)];
    m_looks[std::size_t(source)] = look;
    b->setChecked(look.pressed);
    QFont f = b->font();
    f.setBold(look.bold);
    b->setFont(f);
    QPalette pal = b->palette();
    pal.setColor(QPalette::ButtonText, colour(look.colour, b->palette().color(QPalette::WindowText)));
    b->setPalette(pal);
    if (source <= 8)
        b->setIcon(look.glyphSelected ? selectedGlyph() : idleGlyph());

}

void TInputSelection::render()
{
    const HighlightState s = highlightState();
    for (int k = 1; k <= kSources; ++k) {
        applyLook(k, sourceLook(k, s));
        // What the colours say, for screen readers.
        const auto source = std::uint32_t(k);
        const bool main = source == s.ichm;
        const bool preview = source == s.ichp && (s.previewOutput || s.effectRunning);
        const bool requested = source == s.ichnp && s.ichnp != s.ichp;
        QStringList said;
        if (main)
            said << QStringLiteral("on main");
        if (preview)
            said << QStringLiteral("on preview");
        if (requested)
            said << QStringLiteral("requested for preview");
        m_w.sources[std::size_t(k)]->setAccessibleDescription(said.join(QStringLiteral(", ")));
    }
    // "Black": pressed while the main output is black, blinking bold red.
    SourceLook black;
    if (m_driver.OBLACKM() == 1) {
        black.pressed = true;
        black.bold = m_blackPhase;
        black.colour = m_blackPhase ? SourceLook::Red : SourceLook::WindowText;
    }
    QPushButton *b = m_w.sources[0];
    m_looks[0] = black;
    b->setChecked(black.pressed);
    QFont f = b->font();
    f.setBold(black.bold);
    b->setFont(f);
    QPalette pal = b->palette();
    pal.setColor(QPalette::ButtonText, colour(black.colour, b->palette().color(QPalette::WindowText)));
    b->setPalette(pal);
    applyEnabling();
}

void TInputSelection::applyEnabling()
{
    for (int k = 1; k <= kSources; ++k) {
        const bool used = k <= 8 ? m_used[std::size_t(k)] : m_framesUsed;
        m_w.sources[std::size_t(k)]->setEnabled(used && !m_locked);
    }
    m_w.sources[0]->setEnabled(!m_locked);
    for (int k = 1; k <= 8; ++k)
        if (QPushButton *l = m_w.logos[std::size_t(k)])
            l->setEnabled(!m_locked);
}

void TInputSelection::refreshLogoButton(int input)
{
    QPushButton *l = m_w.logos[std::size_t(input)];
    if (!l)
        return;
    const bool on = m_cache.value(Reg::LDISPLAY, input) != 0;
    l->setText(on ? QStringLiteral("ON") : QStringLiteral("OFF"));
    QPalette pal = l->palette();
    pal.setColor(QPalette::ButtonText, on ? l->palette().color(QPalette::WindowText) : QColor(210, 0, 0));
    l->setPalette(pal);
}

QString TInputSelection::notAvailableText(bool preview) const
{
    const std::uint32_t source = preview ? m_driver.ICHP() : m_driver.ICHM();
    const std::uint32_t ref = m_driver.REFSTAM();
    QString text;
    if ((source == 1 && ref == 9) || (source == 8 && ref == 10))
        text = QStringLiteral("Not available for the referenced input (SEAMLESS mode)");
    if (source >= 1 && source <= 8 && m_cache.value(Reg::PRGBI, int(source)) == kSignalTypeAudioOnly)
        text = QStringLiteral("     Not available for the audio input (SIGNAL TYPE)");
    return text;
}

bool TInputSelection::adjustmentVisible(bool preview, Adjustment a) const
{
    // The page shows the source requested next for its output.
    const std::uint32_t source = preview ? m_driver.ICHNP() : m_driver.ICHNM();
    const int type = source >= 1 && source <= 8 ? int(m_cache.value(Reg::PRGBI, int(source))) : -1;
    return adjustmentShown(type, preview ? m_driver.IFAMP() : m_driver.IFAMM(), a);
}

}  // namespace varnel::app
