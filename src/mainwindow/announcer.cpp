#include "mainwindow/announcer.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace quillfen {
namespace {

class NotificationAccessible final : public QAccessibleWidget
{
public:
    explicit NotificationAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::Notification) {}
    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name || t == QAccessible::Description ? widget()->accessibleName()
                                                                       : QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* notificationFactory(const QString&, QObject* object)
{
    auto* announcer = qobject_cast<Announcer*>(object);
    return announcer ? new NotificationAccessible(announcer) : nullptr;
}

void (*s_eventSink)(QAccessibleEvent*) = nullptr;

void post(Announcer* from, QAccessible::Event type)
{
    QAccessibleEvent event(from, type);
    if (s_eventSink)
        s_eventSink(&event);
    else
        QAccessible::updateAccessibility(&event);
}

} // namespace

void Announcer::setEventSink(void (*sink)(QAccessibleEvent*))
{
    s_eventSink = sink;
}

Announcer::Announcer(QWidget* parent) : QWidget(parent)
{
    static const bool installed = [] {
        QAccessible::installFactory(notificationFactory);
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
    setAccessibleName(text);
    // Shown anew: readers on Linux speak a notification that shows wherever the focus is, while the
    // accessibility bus drops alert events and a name change away from the focus goes unspoken. The
    // alert stays for platforms whose readers listen for it.
    post(this, QAccessible::ObjectShow);
    post(this, QAccessible::Alert);
    emit announced(text);
}

} // namespace quillfen
