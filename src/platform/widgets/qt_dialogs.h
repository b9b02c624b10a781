#pragma once

#include "platform/messages.h"
#include "platform/open_dialog.h"
#include "platform/save_dialog.h"

#include <memory>

class QMessageBox;
class QWidget;

namespace quillfen {

// The box QtMessages shows, built but not yet shown: an empty title means the application's, and
// OK is the default button.
std::unique_ptr<QMessageBox> makeMessageBox(const QString& text, MessageButtons buttons, const QString& title,
                                            QWidget* parent = nullptr);

// Message boxes as real modal boxes over the active window.
class QtMessages final : public Messages
{
public:
    MessageResult show(const QString& text, MessageButtons buttons, const QString& title) override;
};

// The extensions a filter names, in order: "µ-law raw (*.ulaw *.ul)" -> "ulaw", "ul".
QStringList filterSuffixes(const QString& filter);

// The platform's save-file dialog; it never asks about overwriting, as the Browse command wants.
class QtSaveDialog final : public SaveDialog
{
public:
    QString ShowSave(const SaveDialogRequest& request) override;
};

// The platform's open-file dialog, for one or more existing files or one folder.
class QtOpenDialog final : public OpenDialog
{
public:
    QStringList ShowOpen(const OpenDialogRequest& request) override;
};

} // namespace quillfen
