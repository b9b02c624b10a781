#pragma once

#include <QString>
#include <QStringList>

namespace quillfen {

// What the open-file dialog is asked: its title and its file-type filters, each "Name (*.a *.b)";
// the first is chosen at first.
struct OpenDialogRequest
{
    QString title;
    QStringList filters;
    QString directory; // where the dialog opens
    // A folder instead of files: the answer is the one folder chosen, and the filters go unused.
    bool folder = false;
};

// The open-file dialog, for one or more existing files or one folder. The window program installs the real
// one; tests install one that answers.
class OpenDialog
{
public:
    virtual ~OpenDialog() = default;
    // The chosen files, at least one, or the chosen folder. Cancel is an error: cancelError()
    // (save_dialog.h).
    virtual QStringList ShowOpen(const OpenDialogRequest& request) = 0;
};

OpenDialog& openDialog();
// The caller keeps ownership; nullptr restores the default, which cancels.
void setOpenDialog(OpenDialog* dialog);

} // namespace quillfen
