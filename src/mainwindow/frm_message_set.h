#pragma once

#include "codecs/codec.h"
#include "conversion/message_set_run.h"
#include "platform/app_error.h"

#include <QDialog>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace quillfen {

// File, Convert Message Set: a CSV of messages made into the files one phone system plays, in a
// folder. The set runs beside the window with a progress box that cancels it; its outcome leaves
// as one line through `summarized`, a refusal of the set itself as a message box. The CSV, the
// system and the folder are remembered for the next time.
class frmMessageSet final : public QDialog
{
    Q_OBJECT
public:
    // `programDir` holds wavcat and the prompt set; empty means the running program's directory.
    explicit frmMessageSet(QString programDir, QWidget* parent = nullptr);

    void frmMessageSet_Auto_Init();
    void cmdBrowseCsv_Click();
    void cmdBrowseFolder_Click();
    // Runs the set; returns once it has ended, the window answering all the while.
    void cmdConvert_Click();

signals:
    // The outcome of a set that ran: what it wrote, or that it was cancelled or failed.
    void summarized(const QString& line);
    // Before each file of a running set and once more before they go into place.
    void progressed(int done, int total);

private:
    struct Finished
    {
        MessageSetOutcome outcome;
        std::optional<AppError> error;
        QStringList codecLines; // the codec check's findings, after the set is in place
    };

    void createControls();
    void layOutControls();
    // The set on a thread of its own, under a progress box whose Cancel stops it.
    Finished runSet(const QString& csv, const QString& system, const FormatChoice& choice,
                    const QString& folder);
    std::vector<codecs::Codec> chosenCodecs() const;
    QString chosenSystem() const;
    void systemChanged();
    void showSystemUse();
    void remember();

    QString m_programDir;
    QLabel* m_lblCsv = nullptr;
    QLineEdit* m_txtCsv = nullptr;
    QPushButton* m_cmdBrowseCsv = nullptr;
    QLabel* m_lblSystem = nullptr;
    QComboBox* m_cboSystem = nullptr;
    QLabel* m_lblSystemUse = nullptr;
    QLabel* m_lblEncoding = nullptr;
    QComboBox* m_cboEncoding = nullptr;
    QLabel* m_lblFolder = nullptr;
    QLineEdit* m_txtFolder = nullptr;
    QPushButton* m_cmdBrowseFolder = nullptr;
    QGroupBox* m_grpCodecCheck = nullptr;
    QPushButton* m_cmdConvert = nullptr;
    QDialogButtonBox* m_buttons = nullptr;
};

} // namespace quillfen
