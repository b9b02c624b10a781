#include "mainwindow/announcer.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace quillfen {
namespace {

class AlertAccessible final : public QAccessibleWidget
{
public:
    explicit AlertAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::AlertMessage) {}
    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name || t == QAccessible::Description ? widget()->accessibleName()
                                                                       : QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* alertFactory(const QString&, QObject* object)
{
    auto* announcer = qobject_cast<Announcer*>(object);
    return announcer ? new AlertAccessible(announcer) : nullptr;
}

} // namespace

Announcer::Announcer(QWidget* parent) : QWidget(parent)
{
    static const bool installed = [] {
        QAccessible::installFactory(alertFactory);
        return true;
    }();
    (void)installed;
    setObjectName(QStringLiteral("announcer"));
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGeometry(0, 0, 0, 0);
}

void Announcer::announce(const QString& text)
{
    setAccessibleName(text); // itself a NameChanged event, which some readers speak
    QAccessibleEvent alert(this, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
    emit announced(text);
}

} // namespace quillfen
