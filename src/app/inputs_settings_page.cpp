#include "inputs_settings_page.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>

#include <span>

namespace varnel::app {

using picture::TRegisterChoice;
using picture::TRegisterToggle;
using picture::TSmallCombo;

namespace {

QStringList captions(std::span<const std::string_view> items)
{
    QStringList list;
    for (std::string_view s : items)
        list << QString::fromLatin1(s.data(), qsizetype(s.size()));
    return list;
}

void setBase(TSmallCombo *combo, const QColor &colour)
{
    QPalette pal = combo->editor()->palette();
    pal.setColor(QPalette::Base, colour);
    combo->editor()->setPalette(pal);
}

}  // namespace

TInputsSettingsPage::TInputsSettingsPage(TVRK_610_d &driver, const TChannelCache &cache, QWidget *parent)
    : QWidget(parent), m_driver(driver), m_cache(cache)
{
    setObjectName(QStringLiteral("TabSheet_InputsSettings"));
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(4, 6, 4, 6);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(6);
    grid->setHorizontalSpacing(6);
    // Each row names its "H. sync load" itself (greyed for unused inputs).
    const char *const headings[] = {"", "Used", "VCR", "Signal Type", "Standard", "", "", "Synchronized"};
    for (int column = 0; column < 8; ++column) {
        auto *l = new QLabel(QString::fromLatin1(headings[column]), this);
        l->setObjectName(QStringLiteral("labelHeading%1").arg(column));
        QFont f = l->font();
        f.setBold(true);
        l->setFont(f);
        grid->addWidget(l, 0, column, (column >= 1 && column <= 2) || column == 7 ? Qt::AlignHCenter : Qt::Alignment{});
    }

    const QStringList signalTypes = captions(kSignalTypes);
    const QStringList standards = captions(kStandards);
    for (int k = 1; k <= kInputs; ++k) {
        Row &r = m_rows[std::size_t(k)];
        const QString input = QStringLiteral("input %1").arg(k);
        auto channelFirst = [k](TVRK_610_d &d) { d.setPCHAN(std::uint32_t(k)); };

        r.name = new QLabel(QStringLiteral("Input %1").arg(k), this);
        r.name->setObjectName(QStringLiteral("labelInput%1").arg(k));

        auto toggle = [&](QCheckBox *&box, const char *stem, const QString &caption, Reg reg) {
            box = new QCheckBox(this);
            box->setObjectName(QStringLiteral("%1%2").arg(QLatin1String(stem)).arg(k));
            box->setAccessibleName(caption + QLatin1Char(' ') + input);
            box->setToolTip(caption);
            auto *t = new TRegisterToggle(driver, reg, box, this);
            t->beforeWrite = channelFirst;
            t->valueSource = [this, reg, k] { return m_cache.value(reg, k); };
            r.toggles.push_back(t);
        };
        auto choice = [&](TSmallCombo *&combo, const char *stem, const QString &caption, Reg reg,
                          const QStringList &items) {
            combo = new TSmallCombo(this);
            combo->setObjectName(QStringLiteral("%1%2").arg(QLatin1String(stem)).arg(k));
            combo->setAccessibleName(caption + QLatin1Char(' ') + input);
            combo->setItems(items);
            combo->setItemIndex(0);
            auto *c = new TRegisterChoice(driver, reg, combo, this);
            c->beforeWrite = channelFirst;
            c->valueSource = [this, reg, k] { return m_cache.value(reg, k); };
            r.choices.push_back(c);
        };
        toggle(r.used, "CheckBox_Used", QStringLiteral("Used"), Reg::PENA);
        toggle(r.vcr, "CheckBox_VCR", QStringLiteral("VCR"), Reg::PPROC);
        choice(r.signalType, "Combo_SignalType", QStringLiteral("Signal Type"), Reg::PRGBI, signalTypes);
        choice(r.standard, "Combo_Standard", QStringLiteral("Standard"), Reg::PISTD, standards);
        r.loadCaption = new QLabel(QStringLiteral("H. sync load"), this);
        r.loadCaption->setObjectName(QStringLiteral("labelSyncLoad%1").arg(k));
        choice(r.load, "Combo_SyncLoad", QStringLiteral("H. sync load"), Reg::PLOAD,
               {QStringLiteral("Hi-Z"), QStringLiteral("75 Ohms")});
        r.load->setFixedWidth(76);
        r.signalType->setFixedWidth(160);
        r.standard->setFixedWidth(170);
        toggle(r.synchronized, "CheckBox_Synchronized", QStringLiteral("Synchronized"), Reg::PVISC);
        // "Computer DVI" exists on input 1 only.
        if (k != 1)
            r.signalType->setItemEnabled(kSignalTypeDvi, false);

        grid->addWidget(r.name, k, 0);
        grid->addWidget(r.used, k, 1, Qt::AlignHCenter);
        grid->addWidget(r.vcr, k, 2, Qt::AlignHCenter);
        grid->addWidget(r.signalType, k, 3);
        grid->addWidget(r.standard, k, 4);
        grid->addWidget(r.loadCaption, k, 5);
        grid->addWidget(r.load, k, 6);
        grid->addWidget(r.synchronized, k, 7, Qt::AlignHCenter);
        refreshColours(k);
    }
    grid->setRowStretch(kInputs + 1, 1);
    grid->setColumnStretch(8, 1);
}

void TInputsSettingsPage::setModel(const ModelFeatures &features)
{
    for (int k = 1; k <= kInputs; ++k) {
        const Row &r = m_rows[std::size_t(k)];
        const bool shown = k <= features.inputs;
        for (QWidget *w : std::initializer_list<QWidget *>{r.name, r.used, r.vcr, r.signalType, r.standard,
                                                           r.loadCaption, r.load, r.synchronized})
            w->setVisible(shown);
        r.signalType->setItemVisible(kSignalTypeDvi, features.dvi);
    }
}

void TInputsSettingsPage::refresh(Reg reg, int channel)
{
    if (channel < 0 || channel > kInputs)
        return;
    if (channel == 0) {
        for (int k = 1; k <= kInputs; ++k)
            refreshInput(reg, k);
    } else {
        refreshInput(reg, channel);
    }
}

void TInputsSettingsPage::refreshInput(Reg reg, int input)
{
    const Row &r = m_rows[std::size_t(input)];
    switch (reg) {
    case Reg::PENA:
        r.toggles[0]->refresh();
        refreshColours(input);
        break;
    case Reg::PPROC:
        r.toggles[1]->refresh();
        break;
    case Reg::PVISC:
        r.toggles[2]->refresh();
        break;
    case Reg::PRGBI:
        r.choices[0]->refresh();
        refreshColours(input);
        break;
    case Reg::PISTD:
        r.choices[1]->refresh();
        break;
    case Reg::PLOAD:
        r.choices[2]->refresh();
        break;
    default:
        break;
    }
}

void TInputsSettingsPage::refreshColours(int input)
{
    const Row &r = m_rows[std::size_t(input)];
    const bool used = m_cache.value(Reg::PENA, input) != 0;
    QPalette pal = r.loadCaption->palette();
    pal.setColor(QPalette::WindowText, used ? QColor(Qt::black) : QColor(Qt::gray));
    r.loadCaption->setPalette(pal);
    const QColor background = used ? usedBackground() : unusedBackground();
    setBase(r.signalType, background);
    // The standard matters for composite and Y/C signals only.
    const std::uint32_t type = m_cache.value(Reg::PRGBI, input);
    setBase(r.standard, type <= 1 ? background : inactiveCaptionText());
}

}  // namespace varnel::app
