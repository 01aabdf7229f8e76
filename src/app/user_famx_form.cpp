#include "user_famx_form.h"

#include "input_tables.h"

#include <QGridLayout>
#include <QLabel>

namespace varnel::app {

TForm_UserFamx::TForm_UserFamx(QWidget *parent) : QWidget(parent, Qt::Tool)
{
    setObjectName(QStringLiteral("TForm_UserFamx"));
    setWindowTitle(QStringLiteral("Input Format"));
    QStringList items;
    for (std::string_view s : kInputFormats)
        items << QString::fromLatin1(s.data(), qsizetype(s.size()));
    auto *grid = new QGridLayout(this);
    auto *mainLabel = new QLabel(QStringLiteral("Main"), this);
    mainLabel->setObjectName(QStringLiteral("labelUserFamMain"));
    m_previewLabel = new QLabel(QStringLiteral("Preview"), this);
    m_previewLabel->setObjectName(QStringLiteral("labelUserFamPreview"));
    m_main = new picture::TSmallCombo(this);
    m_main->setObjectName(QStringLiteral("Combo_UserFamMain"));
    m_main->setAccessibleName(QStringLiteral("Input format, main"));
    m_preview = new picture::TSmallCombo(this);
    m_preview->setObjectName(QStringLiteral("Combo_UserFamPreview"));
    m_preview->setAccessibleName(QStringLiteral("Input format, preview"));
    for (auto *c : {m_main, m_preview}) {
        c->setItems(items);
        c->setItemIndex(0);
        c->setMinimumWidth(260);
    }
    mainLabel->setBuddy(m_main);
    m_previewLabel->setBuddy(m_preview);
    grid->addWidget(mainLabel, 0, 0);
    grid->addWidget(m_main, 0, 1);
    grid->addWidget(m_previewLabel, 1, 0);
    grid->addWidget(m_preview, 1, 1);
    grid->setRowStretch(2, 1);
    resize(360, 110);
}

void TForm_UserFamx::bind(TVRK_610_d &driver)
{
    m_driver = &driver;
    delete m_mainChoice;
    delete m_previewChoice;
    m_mainChoice = new picture::TRegisterChoice(driver, Reg::USERFAMM, m_main, this);
    m_previewChoice = new picture::TRegisterChoice(driver, Reg::USERFAMP, m_preview, this);
}

void TForm_UserFamx::formatReported(bool preview)
{
    if (auto *c = preview ? m_previewChoice : m_mainChoice)
        c->refresh();
}

void TForm_UserFamx::allowedReported(bool preview)
{
    if (!m_driver)
        return;
    const std::uint32_t mask = preview ? m_driver->FAMLISTP() : m_driver->FAMLISTM();
    picture::TSmallCombo *c = list(preview);
    for (int n = 0; n < c->count() && n < 16; ++n)
        c->setItemEnabled(n, (mask >> n) & 1u);
}

void TForm_UserFamx::setPreviewShown(bool shown)
{
    m_preview->setVisible(shown);
    m_previewLabel->setVisible(shown);
}

}  // namespace varnel::app
