#pragma once

#include "conversion/output_format.h"

#include <QDialog>

#include <optional>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;

namespace quillfen {

// File, Output Format: the encoding, rate and level of the files the window makes, with one line
// on what the choice is good for. OK takes the choice; Escape or closing the box keeps the old one.
class frmOutputFormat final : public QDialog
{
    Q_OBJECT
public:
    explicit frmOutputFormat(const OutputFormat& current, QWidget* parent = nullptr);

    void frmOutputFormat_Auto_Init();
    OutputFormat chosen() const;

private:
    void showUse();

    QLabel* m_lblEncoding = nullptr;
    QComboBox* m_cboEncoding = nullptr;
    QLabel* m_lblSampleRate = nullptr;
    QComboBox* m_cboSampleRate = nullptr;
    QLabel* m_lblLevel = nullptr;
    QDoubleSpinBox* m_txtLevel = nullptr;
    QLabel* m_lblFormatUse = nullptr;
    QPushButton* m_cmdOK = nullptr;
};

// The box, modal over `parent`; the choice when OK was pressed.
std::optional<OutputFormat> askOutputFormat(const OutputFormat& current, QWidget* parent);

// The format last chosen in the box, from the settings store; a value missing or not one the box
// offers is the standard one's.
OutputFormat storedOutputFormat();
// Remembers the choice in the settings store; throws AppError when it cannot be written.
void storeOutputFormat(const OutputFormat& format);

} // namespace quillfen
