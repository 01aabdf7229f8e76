#include "settings_pages.h"

#include "gestion_slide.h"
#include "inputs_settings_page.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

namespace varnel::app {

TReferenceDisplay::TReferenceDisplay(TVRK_610_d &driver, QWidget *page) : QObject(page), m_driver(driver)
{
    auto *group = new QGroupBox(QStringLiteral("Reference"), page);
    group->setObjectName(QStringLiteral("groupReference"));
    auto *grid = new QGridLayout(group);
    auto *caption = new QLabel(QStringLiteral("Frame freq:"), group);
    caption->setObjectName(QStringLiteral("labelFrameFreq"));
    m_list = new picture::TSmallCombo(group);
    m_list->setObjectName(QStringLiteral("Combo_Reference"));
    m_list->setAccessibleName(QStringLiteral("Frame freq"));
    caption->setBuddy(m_list);
    QStringList items;
    for (int v = 0; v < kReferenceCount; ++v) {
        const std::string_view s = referenceCaption(v);
        items << QString::fromLatin1(s.data(), qsizetype(s.size()));
    }
    m_list->setItems(items);
    // "Error" is shown when the device reports it, never offered.
    m_list->setItemVisible(kReferenceError, false);
    m_list->setItemEnabled(kReferenceError, false);
    m_list->setItemIndex(0);
    m_choice = new picture::TRegisterChoice(driver, Reg::REFREQM, m_list, this);
    m_text = new QLabel(group);
    m_text->setObjectName(QStringLiteral("labelReference"));
    m_warning = new QLabel(group);
    m_warning->setObjectName(QStringLiteral("labelReferenceWarning"));
    QPalette pal = m_warning->palette();
    pal.setColor(QPalette::WindowText, QColor(210, 0, 0));
    m_warning->setPalette(pal);
    m_warning->setWordWrap(true);
    m_warning->hide();
    grid->addWidget(caption, 0, 0);
    grid->addWidget(m_list, 0, 1);
    grid->addWidget(m_text, 1, 0, 1, 2);
    grid->addWidget(m_warning, 2, 0, 1, 2);
    if (auto *layout = qobject_cast<QVBoxLayout *>(page->layout()))
        layout->addWidget(group);
}

QString TReferenceDisplay::referenceName(int value) const
{
    if (value >= 1 && value <= 8 && inputName)
        return inputName(value);
    const std::string_view s = referenceCaption(value);
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
}

void TReferenceDisplay::refresh()
{
    m_choice->refresh();
    const std::uint32_t wanted = m_driver.REFREQM();
    const std::uint32_t actual = m_driver.REFSTAM();
    m_text->setText(referenceName(int(actual)));
    if (wanted == actual) {
        m_warning->hide();
    } else {
        m_warning->setText(QStringLiteral("No signal or incompatible signal") + QStringLiteral(" on ") +
                           referenceName(int(wanted)));
    }
}

void TReferenceDisplay::tick()
{
    if (m_driver.REFREQM() != m_driver.REFSTAM())
        m_warning->setVisible(m_warning->isHidden());
}

void TReferenceDisplay::setInputs(int inputs, bool anyEffect)
{
    for (int k = 1; k <= 8; ++k)
        m_list->setItemVisible(k, k <= inputs);
    m_list->setItemVisible(10, inputs >= 8);  // "Seamless Computer 8"
    m_list->setItemVisible(9, anyEffect);     // "Seamless Computer 1"
}

namespace {

QWidget *addPage(QTabWidget *pages, const QString &caption, const char *name)
{
    auto *page = new QWidget;
    page->setObjectName(QString::fromLatin1(name));
    new QVBoxLayout(page);
    pages->addTab(page, caption);
    return page;
}

QLabel *notAvailablePanel(QWidget *host, const char *name)
{
    auto *l = new QLabel(host);
    l->setObjectName(QString::fromLatin1(name));
    l->setAlignment(Qt::AlignCenter);
    l->setWordWrap(true);
    l->setAutoFillBackground(true);
    l->setFrameShape(QFrame::Box);
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
    l->hide();
    return l;
}

}  // namespace

SettingsPages buildSettingsPages(TVRK_610_d &driver, const TChannelCache &cache, QWidget *owner)
{
    SettingsPages s;
    s.pages = new QTabWidget(owner);
    s.pages->setObjectName(QStringLiteral("PageControl_Settings"));
    s.pages->hide();
    s.inputs = new TInputsSettingsPage(driver, cache);
    s.pages->addTab(s.inputs, QStringLiteral("Inputs Settings"));

    QWidget *output = addPage(s.pages, QStringLiteral("Output"), "TabSheet_Output");
    s.reference = new TReferenceDisplay(driver, output);
    qobject_cast<QVBoxLayout *>(output->layout())->addStretch(1);

    QWidget *image = addPage(s.pages, QStringLiteral("Image"), "TabSheet_Image");
    auto *outputs = new QTabWidget(image);
    outputs->setObjectName(QStringLiteral("PageControl_Image"));
    const char *const tabNames[2] = {"TabSheet_ImageMain", "TabSheet_ImagePreview"};
    const char *const panelNames[2] = {"panelNotAvailableMain", "panelNotAvailablePreview"};
    for (int i = 0; i < 2; ++i) {
        auto *tab = new QWidget;
        tab->setObjectName(QString::fromLatin1(tabNames[i]));
        auto *l = new QVBoxLayout(tab);
        s.notAvailable[std::size_t(i)] = notAvailablePanel(tab, panelNames[i]);
        l->addWidget(s.notAvailable[std::size_t(i)]);
        l->addStretch(1);
        outputs->addTab(tab, i == 0 ? QStringLiteral("Main") : QStringLiteral("Preview"));
    }
    image->layout()->addWidget(outputs);

    addPage(s.pages, QStringLiteral("Logo && Frame"), "TabSheet_LogoFrame");
    addPage(s.pages, QStringLiteral("Audio"), "TabSheet_Audio");
    addPage(s.pages, QStringLiteral("Transition"), "TabSheet_Transition");
    return s;
}

picture::TGestionSlide *installSettingsPages(QWidget *settingsWindow, QTabWidget *pages)
{
    settingsWindow->setWindowFlag(Qt::Tool, true);
    settingsWindow->setWindowTitle(QStringLiteral("Settings"));
    settingsWindow->setFixedSize(894, 397);
    auto *slide = new picture::TGestionSlide(settingsWindow);
    slide->setObjectName(QStringLiteral("GestionSlide_Settings"));
    slide->setGeometry(0, 0, 894, 397);
    slide->setupAsSettingsPages(pages);
    return slide;
}

}  // namespace varnel::app
