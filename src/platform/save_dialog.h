#pragma once

#include "platform/app_error.h"

#include <QString>
#include <QStringList>

namespace quillfen {

// What the save-file dialog is asked: the title, the default extension (".WAV") added to a name
// without one, and the name shown at first. Optionally the file types it offers, each
// "Name (*.a *.b)", and the one chosen at first; while another type is chosen, a name without an
// extension gets that type's first one instead of the default.
struct SaveDialogRequest
{
    QString title;
    QString defaultExt;
    QString fileName;
    // Initialised here, so a request brace-initialised with the first three alone stays warning-free.
    QStringList filters{};
    QString selectedFilter{};
};

// The save-file dialog. The window program installs the real one; tests install one that answers.
class SaveDialog
{
public:
    virtual ~SaveDialog() = default;
    // The chosen file name. Cancel is an error: cancelError().
    virtual QString ShowSave(const SaveDialogRequest& request) = 0;
};

SaveDialog& saveDialog();
// The caller keeps ownership; nullptr restores the default, which cancels.
void setSaveDialog(SaveDialog* dialog);

constexpr int kCancelErrorNumber = 32755;
// What a dialog throws when the user cancels it: AppError 32755, "Cancel was selected.".
AppError cancelError();

} // namespace quillfen
