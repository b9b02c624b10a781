#include "localization/open_forms.h"

#include <QObject>

#include <algorithm>

namespace quillfen {
namespace {

std::vector<OpenForm>& registry()
{
    static std::vector<OpenForm> forms;
    return forms;
}

} // namespace

void registerOpenForm(OpenForm form)
{
    QObject* object = form.form.data();
    if (!object)
        return;
    unregisterOpenForm(object);
    registry().push_back(std::move(form));
    QObject::connect(object, &QObject::destroyed, [object] { unregisterOpenForm(object); });
}

void unregisterOpenForm(QObject* form)
{
    auto& forms = registry();
    forms.erase(
        std::remove_if(forms.begin(), forms.end(),
                       [form](const OpenForm& f) { return f.form.isNull() || f.form.data() == form; }),
        forms.end());
}

std::vector<OpenForm> openForms()
{
    std::vector<OpenForm> alive;
    for (const OpenForm& f : registry())
        if (!f.form.isNull())
            alive.push_back(f);
    return alive;
}

} // namespace quillfen
