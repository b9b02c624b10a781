#pragma once

#include "conversion/spoken_part.h"

#include <QDialog>

#include <optional>

class QLabel;
class QPushButton;

namespace quillfen {

// File, Spoken Part: a recording to say in voice before the tones, after them, both or neither,
// each shown by its file name. OK takes the choice; Cancel, Escape or closing the box keeps the old.
class frmSpokenPart final : public QDialog
{
    Q_OBJECT
public:
    explicit frmSpokenPart(const SpokenParts& current, QWidget* parent = nullptr);

    void frmSpokenPart_Auto_Init();
    SpokenParts chosen() const { return m_chosen; }

private:
    // Asks the open dialog for a recording for one place; Cancel leaves the place as it was.
    void choose(QString& place);
    void showChoice();

    SpokenParts m_chosen;
    QLabel* m_lblSpokenPartUse = nullptr;
    QLabel* m_lblBefore = nullptr;
    QLabel* m_lblBeforeFile = nullptr;
    QPushButton* m_cmdChooseBefore = nullptr;
    QPushButton* m_cmdNoneBefore = nullptr;
    QLabel* m_lblAfter = nullptr;
    QLabel* m_lblAfterFile = nullptr;
    QPushButton* m_cmdChooseAfter = nullptr;
    QPushButton* m_cmdNoneAfter = nullptr;
    QPushButton* m_cmdOK = nullptr;
    QPushButton* m_cmdCancel = nullptr;
};

// The box, modal over `parent`; the choice when OK was pressed.
std::optional<SpokenParts> askSpokenParts(const SpokenParts& current, QWidget* parent);

// The recordings last chosen in the box, from the settings store; none when nothing is stored.
SpokenParts storedSpokenParts();
// Remembers the choice in the settings store; throws AppError when it cannot be written.
void storeSpokenParts(const SpokenParts& parts);

} // namespace quillfen
