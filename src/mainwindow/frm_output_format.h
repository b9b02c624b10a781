#pragma once

#include "conversion/output_format.h"

#include <QDialog>

#include <optional>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;

namespace quillfen {

// What the box chooses: the format, and whether the text is spelt in plain letters (by the rule of
// the window's language) where a text telephone cannot print it.
struct OutputChoice
{
    OutputFormat format;
    bool transliterate = false;

    friend bool operator==(const OutputChoice&, const OutputChoice&) = default;
};

// File, Output Format: the encoding, rate, level and baud of the files the window makes, with one
// line on what the choice is good for, and the switch for spelling accented letters in plain
// letters. OK takes the choice; Escape or closing the box keeps the old one.
class frmOutputFormat final : public QDialog
{
    Q_OBJECT
public:
    explicit frmOutputFormat(const OutputFormat& current, QWidget* parent = nullptr);
    frmOutputFormat(const OutputChoice& current, QWidget* parent);

    void frmOutputFormat_Auto_Init();
    OutputFormat chosen() const;
    OutputChoice choice() const;

private:
    void showUse();

    QLabel* m_lblEncoding = nullptr;
    QComboBox* m_cboEncoding = nullptr;
    QLabel* m_lblSampleRate = nullptr;
    QComboBox* m_cboSampleRate = nullptr;
    QLabel* m_lblLevel = nullptr;
    QDoubleSpinBox* m_txtLevel = nullptr;
    QLabel* m_lblBaud = nullptr;
    QComboBox* m_cboBaud = nullptr;
    QCheckBox* m_chkTransliterate = nullptr;
    QLabel* m_lblFormatUse = nullptr;
    QPushButton* m_cmdOK = nullptr;
};

// The box, modal over `parent`; the choice when OK was pressed.
std::optional<OutputChoice> askOutputChoice(const OutputChoice& current, QWidget* parent);

// The choice last made in the box, from the settings store; a value missing or not one the box
// offers is the standard one's (and no transliteration).
OutputChoice storedOutputChoice();
// Remembers the choice in the settings store; throws AppError when it cannot be written.
void storeOutputChoice(const OutputChoice& choice);

} // namespace quillfen
