#pragma once

#include <QPointer>
#include <QString>

#include <functional>
#include <vector>

namespace quillfen {

// The program's loaded forms, so that a language change can reach every open window without the
// localization code knowing any window. A form registers itself when it loads; it leaves the
// registry by itself when it is destroyed.
struct OpenForm
{
    QString name; // "frmMain", "frmAbout", ...
    QPointer<QObject> form;
    std::function<void()> autoInit; // the form's localization method, <name>_Auto_Init; may be empty
    std::function<void()> setFonts; // SetFormFonts on the form; may be empty
    std::function<void()> refresh;  // repaints every control now; may be empty
};

void registerOpenForm(OpenForm form);
void unregisterOpenForm(QObject* form);
// In the order the forms were loaded.
std::vector<OpenForm> openForms();

} // namespace quillfen
