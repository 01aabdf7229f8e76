#pragma once
// TForm_UserFamx: the "Input Format" window. Two lists force the input format of
// the main and the preview source (USERFAMM, USERFAMP); the device says which
// formats are allowed (bit n of FAMLISTM / FAMLISTP enables item n).

#include "register_choice.h"

#include <QWidget>

class QLabel;

namespace varnel::app {

class TForm_UserFamx : public QWidget {
    Q_OBJECT
public:
    explicit TForm_UserFamx(QWidget *parent = nullptr);

    /// Operator choices write to `driver` from now on.
    void bind(TVRK_610_d &driver);
    /// USERFAMM / USERFAMP reported.
    void formatReported(bool preview);
    /// FAMLISTM / FAMLISTP reported.
    void allowedReported(bool preview);
    /// The preview list and its label exist only on models with a preview output.
    void setPreviewShown(bool shown);

    picture::TSmallCombo *list(bool preview) const { return preview ? m_preview : m_main; }

private:
    TVRK_610_d *m_driver = nullptr;
    picture::TSmallCombo *m_main = nullptr;
    picture::TSmallCombo *m_preview = nullptr;
    QLabel *m_previewLabel = nullptr;
    picture::TRegisterChoice *m_mainChoice = nullptr;
    picture::TRegisterChoice *m_previewChoice = nullptr;
};

}  // namespace varnel::app
