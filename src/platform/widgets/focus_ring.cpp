#include "platform/widgets/focus_ring.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFrame>
#include <QPainter>
#include <QPen>
#include <QWidget>

#include <algorithm>

namespace quillfen {
namespace {

class FocusRing final : public QObject
{
public:
    explicit FocusRing(QWidget* control) : QObject(control), m_control(control)
    {
        control->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != m_control)
            return false;
        switch (event->type()) {
        case QEvent::FocusIn:
        case QEvent::FocusOut:
            m_control->update();
            return false;
        case QEvent::Paint:
            if (m_painting || !m_control->hasFocus())
                return false;
            // The control paints itself first, the ring goes over its edge.
            m_painting = true;
            QCoreApplication::sendEvent(m_control, event);
            m_painting = false;
            paintRing();
            return true;
        default:
            return false;
        }
    }

private:
    void paintRing()
    {
        // A frame's own width, the part of a text box that its text area and scroll bars leave
        // uncovered; two pixels round anything else.
        const auto* frame = qobject_cast<QFrame*>(m_control);
        const int width = frame ? std::max(1, frame->frameWidth()) : 2;
        QPainter painter(m_control);
        painter.setPen(QPen(m_control->palette().color(QPalette::Highlight), 1));
        painter.setBrush(Qt::NoBrush);
        const QRect outer = m_control->rect().adjusted(0, 0, -1, -1);
        for (int i = 0; i < width; ++i)
            painter.drawRect(outer.adjusted(i, i, -i, -i));
    }

    QWidget* m_control;
    bool m_painting = false;
};

class FocusOnOpening final : public QObject
{
public:
    explicit FocusOnOpening(QWidget* window) : QObject(window) { window->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == parent() && event->type() == QEvent::Show)
            static_cast<QWidget*>(watched)->setAttribute(Qt::WA_KeyboardFocusChange);
        return false;
    }
};

} // namespace

void showFocusRing(QWidget* control)
{
    new FocusRing(control);
}

void showFocusOnOpening(QWidget* window)
{
    new FocusOnOpening(window);
}

} // namespace quillfen
